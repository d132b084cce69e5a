// The serial line and the clock of the platform layer, replaced for the
// answer fuzzer: this file defines every symbol the library takes from
// platform/serial.cpp and platform/tick.cpp, so the linker never pulls those
// in. Reads are served from the answers of the run and the clock is virtual:
// a pause or a read time-out only moves it on, so no input waits.

#include <algorithm>
#include <cstring>
#include <deque>

#include "answer_line.h"
#include "platform/serial.h"
#include "platform/tick.h"

namespace {

struct Seam {
  std::uint32_t now = 0;
  std::deque<std::uint8_t> line;  // bytes waiting for the reader
  std::vector<answerline::Bytes> answers;
  std::size_t next = 0;
  answerline::Bytes out;  // request bytes not yet a whole frame
  std::vector<answerline::Bytes> requests;
};

Seam seam;

}  // namespace

namespace answerline {

std::string Setup() { return "COM7"; }
std::size_t MaxAnswers() { return 2000; }
// Room for answers that announce more than the receive area holds.
std::size_t MaxAnswerSize() { return 70000; }

void Begin(const std::vector<Bytes>& answers, std::size_t early, kalvo_lorim::SerialPortLorimProtocol&,
           std::uint32_t clockStart) {
  seam.now = clockStart;
  seam.line.clear();
  seam.answers = answers;
  for (seam.next = 0; seam.next < early && seam.next < answers.size(); ++seam.next) {
    seam.line.insert(seam.line.end(), answers[seam.next].begin(), answers[seam.next].end());
  }
  seam.out.clear();
  seam.requests.clear();
}

void End(std::vector<Bytes>& requests, Bytes& rest) {
  requests.swap(seam.requests);
  rest.swap(seam.out);
  seam.requests.clear();
  seam.out.clear();
  seam.line.clear();
}

}  // namespace answerline

namespace platform {

std::uint32_t GetTickCount() { return seam.now; }

void Sleep(std::uint32_t milliseconds) { seam.now += milliseconds; }

SerialLine::SerialLine() { wakeFd_ = -1; }
SerialLine::~SerialLine() = default;

bool SerialLine::Open(const std::string& name) {
  fd_ = name.empty() ? -1 : 0;
  return fd_ >= 0;
}

void SerialLine::Close() { fd_ = -1; }

bool SerialLine::SelectReceiveEvent() { return fd_ >= 0; }

bool SerialLine::GetConfig(LineConfig& config) const {
  if (fd_ < 0) return false;
  config = LineConfig();
  config.nullStrip = nullStrip_;
  return true;
}

bool SerialLine::SetConfig(const LineConfig& config) {
  if (fd_ < 0) return false;
  nullStrip_ = config.nullStrip;
  return true;
}

bool SerialLine::SetTimeouts(const LineTimeouts& timeouts) {
  if (fd_ < 0) return false;
  timeouts_ = timeouts;
  return true;
}

bool SerialLine::GetTimeouts(LineTimeouts& timeouts) const {
  if (fd_ < 0) return false;
  timeouts = timeouts_;
  return true;
}

bool SerialLine::ClearError() { return fd_ >= 0; }

bool SerialLine::DiscardInput() {
  if (fd_ < 0) return false;
  seam.line.clear();
  return true;
}

// As the real line: what is there at once, then the interval time-out after
// the last byte, or the total time-out when nothing came.
std::size_t SerialLine::Read(void* buffer, std::size_t n) {
  if (fd_ < 0 || n == 0) return 0;
  auto* p = static_cast<std::uint8_t*>(buffer);
  std::size_t count = 0;
  while (count < n && !seam.line.empty()) {
    const std::uint8_t b = seam.line.front();
    seam.line.pop_front();
    if (nullStrip_ && b == 0) continue;
    p[count++] = b;
  }
  if (count < n && !ReadsInterrupted()) {
    const std::uint64_t total =
        static_cast<std::uint64_t>(timeouts_.readTotalConstant) + std::uint64_t{timeouts_.readTotalMultiplier} * n;
    std::uint64_t wait = total;
    if (count > 0 && timeouts_.readInterval != 0) wait = std::min<std::uint64_t>(wait, timeouts_.readInterval + 1);
    seam.now += static_cast<std::uint32_t>(wait);
  }
  return count;
}

bool SerialLine::Write(const void* buffer, std::size_t n, std::size_t& written) {
  written = 0;
  if (fd_ < 0) return false;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  seam.out.insert(seam.out.end(), p, p + n);
  written = n;
  const std::size_t done = answerline::TakeFrames(seam.out, seam.requests);
  for (std::size_t k = 0; k < done && seam.next < seam.answers.size(); ++k) {
    const answerline::Bytes& answer = seam.answers[seam.next++];
    seam.line.insert(seam.line.end(), answer.begin(), answer.end());
  }
  return true;
}

bool SerialLine::Flush() { return fd_ >= 0; }

void SerialLine::InterruptReads() { interrupted_.store(true, std::memory_order_release); }
void SerialLine::ResumeReads() { interrupted_.store(false, std::memory_order_release); }

}  // namespace platform
