// The answer fuzzer's line on a pseudo-terminal: the library runs on the real
// serial line and clock, and a responder thread on the master side writes
// answer k when request k is complete. Once the answers are used up, the
// library's reads are interrupted so that its repetitions end at once.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "answer_line.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pty.h"

namespace {

struct PtyLine {
  std::unique_ptr<testsupport::PtyPair> pty;
  std::unique_ptr<testsupport::PortFolder> ports;
  int slave = -1;  // for emptying the slave's queues between runs
  std::thread responder;
  std::atomic<bool> stop{false};
  std::vector<answerline::Bytes> answers;
  std::size_t early = 0;
  std::vector<answerline::Bytes> requests;
  answerline::Bytes out;
  kalvo_lorim::SerialPortLorimProtocol* protocol = nullptr;
};

PtyLine line;

void Drain(int fd) {
  std::uint8_t buf[4096];
  while (::read(fd, buf, sizeof buf) > 0) {
  }
}

// A write that gives up when the run ends: the library may stop reading
// while an answer is still being written.
void WriteAnswer(int fd, const answerline::Bytes& answer) {
  std::size_t done = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (done < answer.size() && !line.stop.load()) {
    const ssize_t w = ::write(fd, answer.data() + done, answer.size() - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return;
    if (std::chrono::steady_clock::now() > deadline) return;
    pollfd pfd{fd, POLLOUT, 0};
    poll(&pfd, 1, 5);
  }
}

// An answer that announces more than it brings would hold the library in
// its reads for up to a minute per attempt; after a quiet spell the line is
// taken as dead for a moment: the reads are interrupted, which ends the
// exchange, and resumed a little later.
constexpr auto kQuiet = std::chrono::milliseconds(300);
constexpr auto kDead = std::chrono::milliseconds(50);

void Respond() {
  const int fd = line.pty->Master();
  std::size_t next = 0;
  for (; next < line.early && next < line.answers.size(); ++next) WriteAnswer(fd, line.answers[next]);
  bool interrupted = false;
  bool exhausted = false;
  auto lastActivity = std::chrono::steady_clock::now();
  while (!line.stop.load()) {
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, 5) <= 0) {
      const auto now = std::chrono::steady_clock::now();
      if (!interrupted && now - lastActivity > kQuiet) {
        line.protocol->InterruptReads();
        interrupted = true;
        lastActivity = now;
      } else if (interrupted && !exhausted && now - lastActivity > kDead) {
        line.protocol->ResumeReads();
        interrupted = false;
        lastActivity = now;
      }
      continue;
    }
    std::uint8_t buf[4096];
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r <= 0) continue;
    line.out.insert(line.out.end(), buf, buf + r);
    const std::size_t done = answerline::TakeFrames(line.out, line.requests);
    for (std::size_t k = 0; k < done; ++k) {
      if (next < line.answers.size()) {
        if (interrupted) {
          line.protocol->ResumeReads();
          interrupted = false;
        }
        WriteAnswer(fd, line.answers[next++]);
      } else if (!exhausted) {
        // Nothing more to say: the rest of the run fails at once.
        line.protocol->InterruptReads();
        interrupted = exhausted = true;
      }
    }
    if (done > 0) lastActivity = std::chrono::steady_clock::now();
  }
}

}  // namespace

namespace answerline {

std::string Setup() {
  line.pty.reset(new testsupport::PtyPair);
  line.ports.reset(new testsupport::PortFolder);
  line.ports->Link("COM7", line.pty->SlavePath());
  line.slave = ::open(line.pty->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (line.slave < 0) {
    std::perror("pty slave");
    std::abort();
  }
  return "COM7";
}

// Every answer a run does not complete costs the library's real time-outs.
std::size_t MaxAnswers() { return 12; }
std::size_t MaxAnswerSize() { return 4096; }

void Begin(const std::vector<Bytes>& answers, std::size_t early, kalvo_lorim::SerialPortLorimProtocol& protocol,
           std::uint32_t) {
  tcflush(line.slave, TCIOFLUSH);
  Drain(line.pty->Master());
  line.answers = answers;
  line.early = early;
  line.requests.clear();
  line.out.clear();
  line.protocol = &protocol;
  line.stop.store(false);
  line.responder = std::thread(Respond);
}

void End(std::vector<Bytes>& requests, Bytes& rest) {
  // Requests already written are still picked up before the thread ends.
  line.stop.store(true);
  line.responder.join();
  std::uint8_t buf[4096];
  ssize_t r;
  while ((r = ::read(line.pty->Master(), buf, sizeof buf)) > 0) line.out.insert(line.out.end(), buf, buf + r);
  TakeFrames(line.out, line.requests);
  requests.swap(line.requests);
  rest.swap(line.out);
  line.protocol = nullptr;
}

}  // namespace answerline
