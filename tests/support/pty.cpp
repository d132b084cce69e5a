#include "pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) Fail("tcgetattr");
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  if (tcsetattr(fd, TCSANOW, &t) != 0) Fail("tcsetattr");
}

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) Fail("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("grantpt/unlockpt");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) Fail("ptsname_r");
  slavePath_ = name;
  slaveKeeper_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeeper_ < 0) Fail("open slave");
  MakeRaw(slaveKeeper_);
  MakeRaw(master_);
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  if (slaveKeeper_ >= 0) close(slaveKeeper_);
  if (master_ >= 0) close(master_);
}

void PtyPair::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (n > 0) {
    const ssize_t w = ::write(master_, p, n);
    if (w > 0) {
      p += w;
      n -= static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) Fail("write to pty master");
    if (MsLeft(deadline) == 0) throw std::runtime_error("write to pty master timed out");
    pollfd pfd{master_, POLLOUT, 0};
    poll(&pfd, 1, 50);
  }
}

std::vector<std::uint8_t> PtyPair::Read(std::size_t n, int timeoutMs) {
  std::vector<std::uint8_t> out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < n) {
    std::uint8_t buf[4096];
    const ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
    if (r > 0) {
      out.insert(out.end(), buf, buf + r);
      continue;
    }
    if (r < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) Fail("read from pty master");
    const int left = MsLeft(deadline);
    if (left == 0) break;
    pollfd pfd{master_, POLLIN, 0};
    poll(&pfd, 1, left);
  }
  return out;
}

std::vector<std::uint8_t> PtyPair::ReadUntilQuiet(int quietMs, int timeoutMs) {
  std::vector<std::uint8_t> out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int left = MsLeft(deadline);
    if (left == 0) break;
    pollfd pfd{master_, POLLIN, 0};
    if (poll(&pfd, 1, std::min(left, quietMs)) <= 0) break;
    std::uint8_t buf[4096];
    const ssize_t r = ::read(master_, buf, sizeof buf);
    if (r > 0) out.insert(out.end(), buf, buf + r);
  }
  return out;
}

PortFolder::PortFolder() {
  char tmpl[] = "/tmp/kalvo-ports-XXXXXX";
  if (!mkdtemp(tmpl)) Fail("mkdtemp");
  path_ = tmpl;
  if (const char* old = std::getenv("KALVO_PORTS")) {
    hadOld_ = true;
    old_ = old;
  }
  setenv("KALVO_PORTS", path_.c_str(), 1);
}

PortFolder::~PortFolder() {
  for (const auto& l : links_) unlink(l.c_str());
  rmdir(path_.c_str());
  if (hadOld_) {
    setenv("KALVO_PORTS", old_.c_str(), 1);
  } else {
    unsetenv("KALVO_PORTS");
  }
}

std::string PortFolder::Link(const std::string& name, const std::string& target) {
  const std::string link = path_ + "/" + name;
  unlink(link.c_str());
  if (symlink(target.c_str(), link.c_str()) != 0) Fail("symlink " + link);
  links_.push_back(link);
  return link;
}

}  // namespace testsupport
