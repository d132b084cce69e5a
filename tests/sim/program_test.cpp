#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pointsim.h"
#include "pty.h"

namespace {

using pointsim::Address;
using pointsim::Bytes;
using pointsim::Frame;
using Clock = std::chrono::steady_clock;

// The program as an operator runs it, with its output on a pipe.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    std::vector<char*> argv{const_cast<char*>(POINTSIM_PROGRAM)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(out[1], 2);
      close(out[0]);
      execv(POINTSIM_PROGRAM, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // Output until it holds `text`, or the time limit passed.
  bool WaitForOutput(const std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd pfd{out_, POLLIN, 0};
      if (poll(&pfd, 1, int(left)) <= 0) continue;
      char buf[512];
      const ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) return false;
      output_.append(buf, std::size_t(n));
    }
    return true;
  }

  // Exit code, or -1 when it did not end within the time limit.
  int WaitForExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      // The output pipe closes when the program ends; wait on it instead of sleeping.
      pollfd pfd{out_, POLLIN, 0};
      if (poll(&pfd, 1, 20) > 0) {
        char buf[512];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n > 0) output_.append(buf, std::size_t(n));
      }
    }
    return -1;
  }

  pid_t Pid() const { return pid_; }
  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool reaped_ = false;
  std::string output_;
};

Frame Ask(int fd, const Frame& request) {
  const Bytes b = pointsim::Encode(request);
  EXPECT_EQ(write(fd, b.data(), b.size()), ssize_t(b.size()));
  Bytes in;
  Frame f;
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (Clock::now() < deadline) {
    std::size_t used = 0;
    if (pointsim::Decode(in, f, used) == pointsim::DecodeResult::Ok) return f;
    pollfd pfd{fd, POLLIN, 0};
    poll(&pfd, 1, 50);
    std::uint8_t buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) in.insert(in.end(), buf, buf + n);
  }
  ADD_FAILURE() << "no answer";
  return f;
}

TEST(PointSimProgram, ServesItsPointsThroughThePortFolderUntilInterrupted) {
  testsupport::PortFolder ports;
  Program program({"--ports", ports.Path(), "--port", "COM7", "--address", "4.5.6", "--fault",
                   "error,var=30,value=4", "--address", "7.8.9"});
  ASSERT_TRUE(program.WaitForOutput("Ctrl-C", 10000)) << program.Output();
  const std::string link = ports.Path() + "/COM7";
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);

  // The fault belongs to the point given before it.
  EXPECT_EQ(Ask(fd, pointsim::ReadRequest(Address(4, 5, 6), 30, 29)).data, (Bytes{30, 4}));
  EXPECT_EQ(Ask(fd, pointsim::ReadRequest(Address(7, 8, 9), 30, 29)).kind, pointsim::kind::Read);
  close(fd);

  kill(program.Pid(), SIGINT);
  EXPECT_EQ(program.WaitForExit(10000), 0) << program.Output();
  EXPECT_NE(program.Output().find("2 requests"), std::string::npos) << program.Output();
  EXPECT_EQ(access(link.c_str(), F_OK), -1) << "link left behind";
}

TEST(PointSimProgram, StatusAndAlgorithmOptionsShapeThePoints) {
  testsupport::PortFolder ports;
  // Before any --address the options hold for every point; after one, for that point alone.
  Program program({"--ports", ports.Path(), "--status", "0x0021", "--algorithm", "Humidity:%:45.5",
                   "--address", "4.5.6", "--address", "7.8.9", "--status", "512", "--algorithm",
                   "Flow::-2.25"});
  ASSERT_TRUE(program.WaitForOutput("Ctrl-C", 10000)) << program.Output();
  const int fd = open((ports.Path() + "/COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);

  struct Case {
    Address point;
    std::uint16_t status;
    std::uint8_t algorithms;
  };
  for (const Case& c : {Case{Address(4, 5, 6), 0x0021, 3}, Case{Address(7, 8, 9), 512, 4}}) {
    SCOPED_TRACE(int(c.point.c));
    EXPECT_EQ(Ask(fd, pointsim::ReadRequest(c.point, 24, 5)).data, (Bytes{24, std::uint8_t(c.status), std::uint8_t(c.status >> 8)}));
    // The current measure carries the same word.
    const Frame measure = Ask(fd, pointsim::ReadRequest(c.point, 15, 1));
    ASSERT_EQ(measure.data.size(), 8u);
    EXPECT_EQ(pointsim::ReadU16(measure.data, 5), c.status);
    EXPECT_EQ(Ask(fd, pointsim::ReadRequest(c.point, 22, 1)).data, (Bytes{22, c.algorithms}));
    // The third algorithm (index 2: variables 42..46) comes from the common option.
    EXPECT_EQ(pointsim::FromUtf16(Ask(fd, pointsim::ReadRequest(c.point, 42, 29)).Value()), "Humidity");
    EXPECT_EQ(pointsim::FromUtf16(Ask(fd, pointsim::ReadRequest(c.point, 43, 29)).Value()), "%");
    EXPECT_EQ(pointsim::ReadF32(Ask(fd, pointsim::ReadRequest(c.point, 44, 25)).Value(), 0), 45.5f);
  }
  EXPECT_EQ(pointsim::FromUtf16(Ask(fd, pointsim::ReadRequest(Address(7, 8, 9), 48, 29)).Value()), "");
  EXPECT_EQ(pointsim::ReadF32(Ask(fd, pointsim::ReadRequest(Address(7, 8, 9), 49, 25)).Value(), 0), -2.25f);
  close(fd);
  kill(program.Pid(), SIGTERM);
  EXPECT_EQ(program.WaitForExit(10000), 0) << program.Output();
}

TEST(PointSimProgram, RefusesBadOptions) {
  const std::vector<std::vector<std::string>> cases = {
      {"--address", "1.2.300"}, {"--fault", "error"}, {"--parity", "O"},
      {"--baud", "fast"},       {"--bogus"},          {"--port", "a/b"},
      {"--status", "0x10000"},  {"--status", "-1"},   {"--status", "12x"},
      {"--algorithm", "Flow:l/s"}, {"--algorithm", ":l/s:1"}, {"--algorithm", "Flow:l/s:many"},
  };
  for (const auto& args : cases) {
    Program program(args);
    EXPECT_EQ(program.WaitForExit(10000), 2) << args[0] << ": " << program.Output();
  }
}

}  // namespace
