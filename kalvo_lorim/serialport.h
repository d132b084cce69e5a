#pragma once
// One serial line with its stored settings and fixed line time-outs. The
// bus protocol derives from it; the line itself is reached through the
// platform layer.

#include <cstdint>
#include <memory>
#include <string>

#include <wx/thread.h>

// The platform's line stays out of sight of the includers.
namespace platform {
class SerialLine;
struct LineConfig;
struct LineTimeouts;
}  // namespace platform

namespace kalvo_lorim {

class SerialPort {
 public:
  // Flow control codes.
  static constexpr int FlowNone = 0;
  static constexpr int FlowCtsDtr = 1;
  static constexpr int FlowXonXoff = 2;
  // Stop-bit codes.
  static constexpr int OneStopBit = 0;
  static constexpr int OneAndHalfStopBits = 1;
  static constexpr int TwoStopBits = 2;

  // The line time-outs every open port runs with, in milliseconds.
  static constexpr std::uint32_t ReadIntervalTimeout = 6;
  static constexpr std::uint32_t ReadTotalTimeoutMultiplier = 1;
  static constexpr std::uint32_t ReadTotalTimeoutConstant = 500;
  static constexpr std::uint32_t WriteTotalTimeoutMultiplier = 25;
  static constexpr std::uint32_t WriteTotalTimeoutConstant = 1;
  // Pause before every read, in milliseconds.
  static constexpr std::uint32_t ReadPause = 20;

  using Timeouts = platform::LineTimeouts;

  struct Settings {
    int flowControl = FlowNone;
    int parity = 'N';
    int dataBits = 8;
    int stopBits = OneStopBit;
    int baudRate = 38400;
    int timeout1 = 0;
    int timeout2 = 500;
  };

  SerialPort();
  SerialPort(const char* portName, const Settings& settings);
  virtual ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // The line setters store the value unless refused and, while open, write
  // the whole line configuration back. They return false when refused.
  virtual bool SetFlowControl(int flowControl);
  virtual bool SetParity(int parity);
  virtual bool SetByteSize(int dataBits);
  virtual bool SetStopBits(int stopBits);
  // Stores the two values; while open, programs the fixed line time-outs.
  virtual void SetTimeouts(int value1, int value2);
  virtual bool Open(const char* portName, int baudRate, int parity, int dataBits, int stopBits);
  virtual void Close();
  virtual bool Flush();
  virtual bool ClearError();
  virtual bool Write(const void* buffer, std::uint32_t count);
  // Drops what was received and not read yet. No lock, as a read.
  bool DiscardInput();

  // Pauses, then reads up to count bytes within the line time-outs. Last
  // error: 0 when all came, 0xF00 when none did, else unchanged.
  int Read(void* buffer, std::uint32_t count);

  bool IsOpen() const { return open_; }
  int GetLastError() const { return lastError_; }
  int GetBaudRate() const { return baudRate_; }
  int GetParity() const { return parity_; }
  int GetByteSize() const { return dataBits_; }
  int GetStopBits() const { return stopBits_; }
  int GetFlowControl() const { return flowControl_; }
  const std::string& GetPortName() const { return portName_; }
  // The line configuration as last written to the line.
  const platform::LineConfig& GetLineConfig() const { return *config_; }
  // The time-outs the line holds now; false while closed.
  bool GetTimeouts(Timeouts& timeouts) const;
  // The stored time-out values of the last SetTimeouts.
  int GetTimeoutValue1() const { return timeout1_; }
  int GetTimeoutValue2() const { return timeout2_; }

  // From any thread: makes a running read, and every later one, return at
  // once with what it has, until ResumeReads. Lets a stalled device thread
  // be abandoned.
  void InterruptReads();
  void ResumeReads();
  bool ReadsInterrupted() const;

 protected:
  void SetLastError(int code) { lastError_ = code; }

 private:
  void WriteConfig();

  std::string portName_;
  int flowControl_ = FlowNone;
  int parity_ = 'N';
  int dataBits_ = 8;
  int stopBits_ = OneStopBit;
  int baudRate_ = 38400;
  int timeout1_ = 0;
  int timeout2_ = 500;
  bool open_ = false;
  int lastError_ = 0;
  wxCriticalSection lock_;
  std::unique_ptr<platform::SerialLine> line_;
  std::unique_ptr<platform::LineConfig> config_;
};

}  // namespace kalvo_lorim
