#include "platform/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

std::uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

// A pseudo-terminal or an adapter without modem lines answers these.
bool IsNoModemLines(int err) { return err == ENOTTY || err == EINVAL; }

struct SpeedEntry {
  std::uint32_t rate;
  speed_t code;
};

constexpr SpeedEntry kStandardSpeeds[] = {
    {50, B50},       {75, B75},       {110, B110},     {134, B134},       {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool StandardSpeed(std::uint32_t rate, speed_t& code) {
  for (const auto& e : kStandardSpeeds) {
    if (e.rate == rate) {
      code = e.code;
      return true;
    }
  }
  return false;
}

bool ParseComNumber(const std::string& name, unsigned long& n) {
  if (name.size() < 4) return false;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
  }
  if (name.size() > 12) return false;
  n = std::strtoul(name.c_str() + 3, nullptr, 10);
  return n >= 1;
}

void SetDtr(int fd, bool on) {
  int bit = TIOCM_DTR;
  if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !IsNoModemLines(errno)) {
    std::fprintf(stderr, "serial line: cannot %s DTR: %s\n", on ? "raise" : "lower", std::strerror(errno));
  }
}

}  // namespace

std::string ResolvePortName(const std::string& name) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return name;
  const char* folder = std::getenv("KALVO_PORTS");
  std::string entry = std::string(folder && *folder ? folder : "ports") + "/" + name;
  struct stat st{};
  if (lstat(entry.c_str(), &st) == 0) return entry;
  unsigned long n = 0;
  if (ParseComNumber(name, n)) return "/dev/ttyS" + std::to_string(n - 1);
  return std::string();
}

SerialLine::SerialLine() {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

SerialLine::~SerialLine() {
  Close();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool SerialLine::Open(const std::string& name) {
  Close();
  const std::string path = ResolvePortName(name);
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  // flock also keeps out root and other processes that ignore TIOCEXCL.
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    ::close(fd);
    return false;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    ioctl(fd, TIOCNXCL);
    ::close(fd);
    return false;
  }
  // Raw from the start, so that nothing is echoed or translated before the
  // configuration is applied.
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &t);
  fd_ = fd;
  nullStrip_ = false;
  return true;
}

void SerialLine::Close() {
  if (fd_ < 0) return;
  // The exclusive mark outlives this descriptor while others hold the tty.
  ioctl(fd_, TIOCNXCL);
  flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool SerialLine::SelectReceiveEvent() { return fd_ >= 0; }

bool SerialLine::GetConfig(LineConfig& config) const {
  if (fd_ < 0) return false;
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return false;
  LineConfig c;
  std::uint32_t rate = 0;
  if (GetLineSpeed(fd_, rate)) c.baudRate = rate;
  switch (t.c_cflag & CSIZE) {
    case CS5: c.byteSize = 5; break;
    case CS6: c.byteSize = 6; break;
    case CS7: c.byteSize = 7; break;
    default: c.byteSize = 8; break;
  }
  if (t.c_cflag & CSTOPB) {
    c.stopBits = c.byteSize == 5 ? LineStopBits::OneAndHalf : LineStopBits::Two;
  } else {
    c.stopBits = LineStopBits::One;
  }
  if (!(t.c_cflag & PARENB)) {
    c.parity = LineParity::None;
  } else if (t.c_cflag & CMSPAR) {
    c.parity = (t.c_cflag & PARODD) ? LineParity::Mark : LineParity::Space;
  } else {
    c.parity = (t.c_cflag & PARODD) ? LineParity::Odd : LineParity::Even;
  }
  c.parityCheck = (t.c_iflag & INPCK) != 0;
  c.ctsFlow = (t.c_cflag & CRTSCTS) != 0;
  int lines = 0;
  if (ioctl(fd_, TIOCMGET, &lines) == 0) {
    c.dtrControl = (lines & TIOCM_DTR) ? DtrControl::Enable : DtrControl::Disable;
  }
  c.xonInput = (t.c_iflag & IXOFF) != 0;
  c.xonOutput = (t.c_iflag & IXON) != 0;
  c.binary = true;
  c.abortOnError = false;
  c.nullStrip = nullStrip_;
  config = c;
  return true;
}

bool ApplyLineConfig(const LineConfig& config, termios& t) {
  bool ok = true;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_iflag &= ~(IXOFF | IXANY | INPCK | IGNPAR);

  t.c_cflag &= ~CSIZE;
  switch (config.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: t.c_cflag |= CS8; ok = false; break;
  }
  // With 5 data bits the UART sends one and a half stop bits for CSTOPB.
  if (config.stopBits == LineStopBits::One) {
    t.c_cflag &= ~CSTOPB;
  } else {
    t.c_cflag |= CSTOPB;
  }
  t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  switch (config.parity) {
    case LineParity::None: break;
    case LineParity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case LineParity::Even: t.c_cflag |= PARENB; break;
    case LineParity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case LineParity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  if (config.parityCheck && config.parity != LineParity::None) t.c_iflag |= INPCK;
  if (config.ctsFlow) {
    t.c_cflag |= CRTSCTS;
  } else {
    t.c_cflag &= ~CRTSCTS;
  }
  if (config.xonInput) t.c_iflag |= IXOFF;
  if (config.xonOutput) t.c_iflag |= IXON;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  speed_t code{};
  if (StandardSpeed(config.baudRate, code)) {
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
  }
  return ok;
}

bool SerialLine::SetConfig(const LineConfig& config) {
  if (fd_ < 0) return false;
  termios t{};
  if (tcgetattr(fd_, &t) != 0) return false;
  bool ok = ApplyLineConfig(config, t);
  if (!ok) std::fprintf(stderr, "serial line: %u data bits not possible, 8 used\n", config.byteSize);
  // The kernel takes what the line can hold and keeps the rest as it was (a
  // pseudo-terminal always has 8 bits without parity); the C library then
  // reports EINVAL. Say what did not hold and go on with the rest.
  const int rc = tcsetattr(fd_, TCSANOW, &t);
  const int err = errno;
  termios held{};
  if (tcgetattr(fd_, &held) != 0) {
    ok = false;
  } else if ((held.c_cflag & (CSIZE | PARENB)) != (t.c_cflag & (CSIZE | PARENB))) {
    std::fprintf(stderr, "serial line: data bits or parity not held by this line\n");
    ok = false;
  } else if (rc != 0) {
    std::fprintf(stderr, "serial line: configuration refused: %s\n", std::strerror(err));
    ok = false;
  }
  speed_t code{};
  if (!StandardSpeed(config.baudRate, code) && !SetLineSpeedAny(fd_, config.baudRate)) {
    std::fprintf(stderr, "serial line: baud rate %u refused, the line keeps its rate\n", config.baudRate);
    ok = false;
  }
  SetDtr(fd_, config.dtrControl != DtrControl::Disable);
  nullStrip_ = config.nullStrip;
  return ok;
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
  return tcflush(fd_, TCIFLUSH) == 0;
}

std::size_t SerialLine::Read(void* buffer, std::size_t n) {
  const int fd = fd_;
  if (fd < 0 || n == 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::uint64_t start = NowMs();
  const std::uint64_t totalMs =
      static_cast<std::uint64_t>(timeouts_.readTotalConstant) +
      static_cast<std::uint64_t>(timeouts_.readTotalMultiplier) * n;
  const bool hasTotal = timeouts_.readTotalConstant != 0 || timeouts_.readTotalMultiplier != 0;
  std::size_t count = 0;
  std::uint64_t lastByte = 0;
  while (count < n) {
    const ssize_t r = ::read(fd, out + count, n - count);
    if (r > 0) {
      std::size_t got = static_cast<std::size_t>(r);
      if (nullStrip_) {
        std::uint8_t* p = out + count;
        got = static_cast<std::size_t>(std::remove(p, p + got, std::uint8_t{0}) - p);
      }
      count += got;
      if (got > 0) lastByte = NowMs();
      continue;
    }
    if (r < 0 && errno != EAGAIN && errno != EINTR) break;
    if (interrupted_.load(std::memory_order_acquire)) break;
    const std::uint64_t now = NowMs();
    std::int64_t wait = -1;
    if (hasTotal) {
      if (now - start >= totalMs) break;
      wait = static_cast<std::int64_t>(totalMs - (now - start));
    }
    if (count > 0 && timeouts_.readInterval != 0) {
      if (now - lastByte > timeouts_.readInterval) break;
      const auto left = static_cast<std::int64_t>(timeouts_.readInterval - (now - lastByte)) + 1;
      wait = wait < 0 ? left : std::min(wait, left);
    }
    pollfd pfds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int rc = poll(pfds, wakeFd_ >= 0 ? 2 : 1, wait < 0 ? -1 : static_cast<int>(wait));
    if (rc < 0 && errno != EINTR) break;
    if (rc > 0 && (pfds[0].revents & (POLLERR | POLLNVAL))) break;
    // A hang-up with nothing left to read ends the read; otherwise poll would spin.
    if (rc > 0 && (pfds[0].revents & POLLHUP) && !(pfds[0].revents & POLLIN)) break;
  }
  return count;
}

bool SerialLine::Write(const void* buffer, std::size_t n, std::size_t& written) {
  written = 0;
  const int fd = fd_;
  if (fd < 0) return false;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  const std::uint64_t start = NowMs();
  const std::uint64_t totalMs =
      static_cast<std::uint64_t>(timeouts_.writeTotalConstant) +
      static_cast<std::uint64_t>(timeouts_.writeTotalMultiplier) * n;
  const bool hasTotal = timeouts_.writeTotalConstant != 0 || timeouts_.writeTotalMultiplier != 0;
  while (written < n) {
    const ssize_t w = ::write(fd, in + written, n - written);
    if (w > 0) {
      written += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
    int wait = -1;
    if (hasTotal) {
      const std::uint64_t elapsed = NowMs() - start;
      if (elapsed >= totalMs) return false;
      wait = static_cast<int>(std::min<std::uint64_t>(totalMs - elapsed, 1u << 30));
    }
    pollfd pfd{fd, POLLOUT, 0};
    const int rc = poll(&pfd, 1, wait);
    if (rc < 0 && errno != EINTR) return false;
    if (rc > 0 && (pfd.revents & (POLLERR | POLLNVAL | POLLHUP)) && !(pfd.revents & POLLOUT)) return false;
  }
  return true;
}

bool SerialLine::Flush() {
  if (fd_ < 0) return false;
  return tcdrain(fd_) == 0;
}

void SerialLine::InterruptReads() {
  interrupted_.store(true, std::memory_order_release);
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored;
  }
}

void SerialLine::ResumeReads() {
  interrupted_.store(false, std::memory_order_release);
  if (wakeFd_ >= 0) {
    std::uint64_t value = 0;
    ssize_t ignored = ::read(wakeFd_, &value, sizeof value);
    (void)ignored;
  }
}

}  // namespace platform
