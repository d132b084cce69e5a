#include "kalvo_lorim/serialport.h"

#include "kalvo_lorim/error.h"
#include "platform/serial.h"
#include "platform/tick.h"

namespace kalvo_lorim {

namespace {

constexpr int kNoAnswer = static_cast<int>(Error::NoAnswer);
constexpr int kWriteError = static_cast<int>(Error::WriteError);
constexpr int kPortError = static_cast<int>(Error::SerialPortError);

bool StopBitsCode(int code, platform::LineStopBits& bits) {
  switch (code) {
    case SerialPort::OneStopBit: bits = platform::LineStopBits::One; return true;
    case SerialPort::OneAndHalfStopBits: bits = platform::LineStopBits::OneAndHalf; return true;
    case SerialPort::TwoStopBits: bits = platform::LineStopBits::Two; return true;
    default: return false;
  }
}

}  // namespace

SerialPort::SerialPort() : line_(new platform::SerialLine), config_(new platform::LineConfig) {}

SerialPort::SerialPort(const char* portName, const Settings& settings)
    : flowControl_(settings.flowControl),
      parity_(settings.parity),
      dataBits_(settings.dataBits),
      stopBits_(settings.stopBits),
      baudRate_(settings.baudRate),
      timeout1_(settings.timeout1),
      timeout2_(settings.timeout2),
      line_(new platform::SerialLine),
      config_(new platform::LineConfig) {
  if (Open(portName, settings.baudRate, settings.parity, settings.dataBits, settings.stopBits)) {
    SetTimeouts(settings.timeout1, settings.timeout2);
  }
}

SerialPort::~SerialPort() { Close(); }

void SerialPort::WriteConfig() { line_->SetConfig(*config_); }

bool SerialPort::SetFlowControl(int flowControl) {
  flowControl_ = flowControl;
  if (!open_) return true;
  switch (flowControl) {
    case FlowNone:
      config_->ctsFlow = false;
      config_->dtrControl = platform::DtrControl::Disable;
      config_->xonInput = false;
      config_->xonOutput = false;
      break;
    case FlowCtsDtr:
      config_->ctsFlow = true;
      config_->dtrControl = platform::DtrControl::Handshake;
      config_->xonInput = false;
      config_->xonOutput = false;
      break;
    case FlowXonXoff:
      config_->ctsFlow = false;
      config_->dtrControl = platform::DtrControl::Disable;
      config_->xonInput = true;
      config_->xonOutput = true;
      break;
    default:
      break;
  }
  WriteConfig();
  return true;
}

bool SerialPort::SetParity(int parity) {
  parity_ = parity;
  if (!open_) return true;
  switch (parity) {
    case 'N':
      config_->parity = platform::LineParity::None;
      config_->parityCheck = false;
      break;
    case 'E':
      config_->parity = platform::LineParity::Even;
      config_->parityCheck = true;
      break;
    case 'F':
      config_->parity = platform::LineParity::Odd;
      config_->parityCheck = true;
      break;
    case 'G':
      config_->parity = platform::LineParity::Mark;
      config_->parityCheck = true;
      break;
    case 'H':
      config_->parity = platform::LineParity::Space;
      config_->parityCheck = true;
      break;
    default:
      break;
  }
  WriteConfig();
  return true;
}

bool SerialPort::SetByteSize(int dataBits) {
  if ((stopBits_ == TwoStopBits && dataBits == 5) || (stopBits_ == OneAndHalfStopBits && dataBits != 5)) {
    return false;
  }
  dataBits_ = dataBits;
  if (!open_) return true;
  if (dataBits >= 5 && dataBits <= 8) config_->byteSize = static_cast<std::uint8_t>(dataBits);
  WriteConfig();
  return true;
}

bool SerialPort::SetStopBits(int stopBits) {
  if ((stopBits == TwoStopBits && dataBits_ == 5) || (stopBits == OneAndHalfStopBits && dataBits_ != 5)) {
    return false;
  }
  stopBits_ = stopBits;
  if (!open_) return true;
  StopBitsCode(stopBits, config_->stopBits);
  WriteConfig();
  return true;
}

void SerialPort::SetTimeouts(int value1, int value2) {
  timeout1_ = value1;
  timeout2_ = value2;
  if (!open_) return;
  Timeouts t;
  t.readInterval = ReadIntervalTimeout;
  t.readTotalMultiplier = ReadTotalTimeoutMultiplier;
  t.readTotalConstant = ReadTotalTimeoutConstant;
  t.writeTotalMultiplier = WriteTotalTimeoutMultiplier;
  t.writeTotalConstant = WriteTotalTimeoutConstant;
  line_->SetTimeouts(t);
}

bool SerialPort::Open(const char* portName, int baudRate, int parity, int dataBits, int stopBits) {
  if (open_) Close();
  portName_ = portName ? portName : "";
  baudRate_ = baudRate;
  parity_ = parity;
  dataBits_ = dataBits;
  stopBits_ = stopBits;

  wxCriticalSectionLocker locker(lock_);
  if (!line_->Open(portName_)) {
    lastError_ = kPortError;
    return open_;
  }
  line_->SelectReceiveEvent();
  line_->GetConfig(*config_);

  if (baudRate > 0) config_->baudRate = static_cast<std::uint32_t>(baudRate);
  config_->binary = true;
  config_->xonInput = false;
  config_->xonOutput = false;
  config_->abortOnError = false;
  config_->nullStrip = false;
  config_->parityCheck = false;
  StopBitsCode(stopBits, config_->stopBits);
  // Sizes the line cannot take leave the field as it was.
  if (dataBits >= 5 && dataBits <= 8) config_->byteSize = static_cast<std::uint8_t>(dataBits);
  line_->SetConfig(*config_);

  open_ = true;

  SetTimeouts(timeout1_, timeout2_);
  SetByteSize(dataBits_);
  SetParity(parity_);
  SetFlowControl(flowControl_);
  SetStopBits(stopBits_);
  return open_;
}

void SerialPort::Close() {
  if (!open_) return;
  wxCriticalSectionLocker locker(lock_);
  line_->Close();
  open_ = false;
}

bool SerialPort::Flush() {
  if (!open_) return false;
  wxCriticalSectionLocker locker(lock_);
  return line_->Flush();
}

bool SerialPort::ClearError() { return line_->ClearError(); }

bool SerialPort::DiscardInput() { return line_->DiscardInput(); }

bool SerialPort::Write(const void* buffer, std::uint32_t count) {
  if (!open_) {
    lastError_ = kPortError;
    return false;
  }
  wxCriticalSectionLocker locker(lock_);
  std::size_t written = 0;
  // A short POSIX write is carried on until all is out or the write time-out
  // has passed; only all bytes out is success.
  if (line_->Write(buffer, count, written)) {
    lastError_ = 0;
    return true;
  }
  lastError_ = kWriteError;
  return false;
}

int SerialPort::Read(void* buffer, std::uint32_t count) {
  if (!line_->ReadsInterrupted()) platform::Sleep(ReadPause);
  const std::size_t got = line_->Read(buffer, count);
  if (got == count) {
    lastError_ = 0;
  } else if (got == 0) {
    lastError_ = kNoAnswer;
  }
  return static_cast<int>(got);
}

void SerialPort::InterruptReads() { line_->InterruptReads(); }
void SerialPort::ResumeReads() { line_->ResumeReads(); }
bool SerialPort::ReadsInterrupted() const { return line_->ReadsInterrupted(); }

bool SerialPort::GetTimeouts(Timeouts& timeouts) const { return line_->GetTimeouts(timeouts); }

}  // namespace kalvo_lorim
