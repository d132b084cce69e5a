// termios2 lets a line run at rates that have no Bnnn constant. Its header
// clashes with <termios.h>, so it lives alone in this file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace platform {

bool SetLineSpeedAny(int fd, std::uint32_t rate) {
  if (rate == 0) return false;
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~CBAUD;
  t.c_cflag |= BOTHER;
  t.c_cflag &= ~(CBAUD << IBSHIFT);
  t.c_cflag |= BOTHER << IBSHIFT;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  if (ioctl(fd, TCSETS2, &t) != 0) return false;
  // Drivers round to what their clock allows; take it only when close.
  struct termios2 back {};
  if (ioctl(fd, TCGETS2, &back) != 0) return false;
  const std::uint32_t got = back.c_ospeed;
  const std::uint32_t diff = got > rate ? got - rate : rate - got;
  return diff * 50 <= rate;
}

bool GetLineSpeed(int fd, std::uint32_t& rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  rate = t.c_ospeed;
  return true;
}

}  // namespace platform
