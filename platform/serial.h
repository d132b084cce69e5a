#pragma once
// A serial line on POSIX termios, one operation per call that the serial port
// class needs: open, read and apply the line configuration and the time-outs,
// clear the error state, read, write, flush, close.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct termios;

namespace platform {

enum class LineParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class LineStopBits : std::uint8_t { One, OneAndHalf, Two };
enum class DtrControl : std::uint8_t { Disable, Enable, Handshake };

// The line configuration, edited field by field and applied whole.
struct LineConfig {
  std::uint32_t baudRate = 9600;
  bool parityCheck = false;  // check the parity of received bytes
  LineParity parity = LineParity::None;
  std::uint8_t byteSize = 8;  // 5..8
  LineStopBits stopBits = LineStopBits::One;
  bool ctsFlow = false;  // hold output while CTS is low
  DtrControl dtrControl = DtrControl::Enable;
  bool xonInput = false;   // send XOFF/XON as the input buffer fills and drains
  bool xonOutput = false;  // stop output on a received XOFF until XON
  bool binary = true;      // always true here: no end-of-file byte
  bool abortOnError = false;
  bool nullStrip = false;  // drop received zero bytes
};

// Read and write time-outs in milliseconds. A read of n bytes returns when all
// have come, when more than readInterval passes between two bytes (0: unused),
// or after readTotalConstant + n * readTotalMultiplier (both 0: no limit).
// A write of n bytes is given writeTotalConstant + n * writeTotalMultiplier.
struct LineTimeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;
};

// The device path a port name stands for: a name with "/" is a path; any
// other name is looked up in the port folder ($KALVO_PORTS, else "ports"
// under the working directory); "COMn" without an entry there is /dev/ttyS<n-1>.
// Empty when the name stands for nothing.
std::string ResolvePortName(const std::string& name);

class SerialLine {
 public:
  SerialLine();
  ~SerialLine();
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // Opens the named port for reading and writing, for this line alone: a
  // second open of the same device, also by another process, fails.
  bool Open(const std::string& name);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  // Selects the received-character event; nothing waits for it here.
  bool SelectReceiveEvent();
  bool GetConfig(LineConfig& config) const;
  // Applies the whole configuration. A baud rate the line refuses is
  // reported on stderr and leaves the rate as it was; the rest still applies.
  bool SetConfig(const LineConfig& config);
  bool SetTimeouts(const LineTimeouts& timeouts);
  bool GetTimeouts(LineTimeouts& timeouts) const;
  // There is no sticky error state on a POSIX line; received bytes stay.
  bool ClearError();
  // Drops every received byte not read yet.
  bool DiscardInput();

  // Reads up to n bytes within the time-outs; returns the count read (0 on
  // a closed line). Returns at once with what it has while interrupted.
  std::size_t Read(void* buffer, std::size_t n);
  // Writes all n bytes within the write time-out; false when the line
  // failed or the time-out passed first. `written` tells how many went out.
  bool Write(const void* buffer, std::size_t n, std::size_t& written);
  // Waits until all output has been sent.
  bool Flush();

  // From any thread: makes the running read and every later one return at
  // once, until ResumeReads.
  void InterruptReads();
  void ResumeReads();
  bool ReadsInterrupted() const { return interrupted_.load(std::memory_order_acquire); }

 private:
  int fd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> interrupted_{false};
  LineTimeouts timeouts_;
  bool nullStrip_ = false;
};

// Writes the configuration into a termios record: raw mode, CLOCAL|CREAD,
// the standard baud rates. False when the byte size is not 5..8 (8 is used).
bool ApplyLineConfig(const LineConfig& config, ::termios& t);

// Applies a baud rate through termios2 (any rate the driver takes) and reads
// the rate back; kept apart because its headers clash with <termios.h>.
bool SetLineSpeedAny(int fd, std::uint32_t rate);
bool GetLineSpeed(int fd, std::uint32_t& rate);

}  // namespace platform
