#include "kalvo_lorim/serialportlorimprotocol.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include <wx/intl.h>

#include "kalvo_lorim/bytes.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/protocol_fail.h"
#include "platform/tick.h"


namespace kalvo_lorim {

namespace {

constexpr int kBaudRates[] = {50,   75,   110,   134,   150,   200,   300,   600,    1200,   1800,   2400,
                              4800, 9600, 14400, 19200, 38400, 56000, 57600, 76800, 115200, 128000, 256000};
constexpr int kParities[] = {'N', 'E', 'F', 'G', 'H'};
constexpr int kDataBits[] = {5, 6, 7, 8};
constexpr int kStopBits[] = {0, 1, 2};

constexpr int kNoAnswer = static_cast<int>(Error::NoAnswer);
constexpr int kIncomplete = static_cast<int>(Error::IncompleteAnswer);
constexpr int kUnsupportedFormat = static_cast<int>(Error::UnsupportedDataFormat);
constexpr int kHeaderCorrupted = static_cast<int>(Error::HeaderCorrupted);
constexpr int kDataCorrupted = static_cast<int>(Error::DataCorrupted);
constexpr int kUnknownError = static_cast<int>(Error::UnknownError);
constexpr int kBufferOverflow = static_cast<int>(Error::BufferOverflow);

template <std::size_t N>
bool Contains(const int (&set)[N], int value) {
  return std::find(std::begin(set), std::end(set), value) != std::end(set);
}

}  // namespace

SerialPortLorimProtocol::ConfiguratorException::ConfiguratorException() : message_(_("Wrong parameter")) {}

SerialPortLorimProtocol::Configurator::Configurator(const char* portName, unsigned replyTimeout, unsigned retries,
                                                    int baudRate, int parity, int dataBits, int stopBits) {
  SetPortName(portName);
  SetReplyTimeout(replyTimeout);
  SetRetries(retries);
  SetBaudRate(baudRate);
  SetParity(parity);
  SetDataBits(dataBits);
  SetStopBits(stopBits);
}

void SerialPortLorimProtocol::Configurator::SetPortName(const char* portName) {
  const char* name = portName ? portName : "";
  if (std::strlen(name) >= PortNameCapacity) throw ConfiguratorException();
  portName_ = name;
}

void SerialPortLorimProtocol::Configurator::SetReplyTimeout(unsigned replyTimeout) {
  if (replyTimeout < MinReplyTimeout) throw ConfiguratorException();
  replyTimeout_ = replyTimeout;
}

void SerialPortLorimProtocol::Configurator::SetRetries(unsigned retries) {
  if (retries < MinRetries) throw ConfiguratorException();
  retries_ = retries;
}

void SerialPortLorimProtocol::Configurator::SetBaudRate(int baudRate) {
  if (!IsAllowedBaudRate(baudRate)) throw ConfiguratorException();
  baudRate_ = baudRate;
}

void SerialPortLorimProtocol::Configurator::SetParity(int parity) {
  if (!IsAllowedParity(parity)) throw ConfiguratorException();
  parity_ = parity;
}

void SerialPortLorimProtocol::Configurator::SetDataBits(int dataBits) {
  if (!IsAllowedDataBits(dataBits)) throw ConfiguratorException();
  dataBits_ = dataBits;
}

void SerialPortLorimProtocol::Configurator::SetStopBits(int stopBits) {
  if (!IsAllowedStopBits(stopBits)) throw ConfiguratorException();
  stopBits_ = stopBits;
}

bool SerialPortLorimProtocol::Configurator::IsAllowedBaudRate(int baudRate) { return Contains(kBaudRates, baudRate); }
bool SerialPortLorimProtocol::Configurator::IsAllowedParity(int parity) { return Contains(kParities, parity); }
bool SerialPortLorimProtocol::Configurator::IsAllowedDataBits(int dataBits) { return Contains(kDataBits, dataBits); }
bool SerialPortLorimProtocol::Configurator::IsAllowedStopBits(int stopBits) { return Contains(kStopBits, stopBits); }

SerialPortLorimProtocol::SerialPortLorimProtocol(const Configurator& configurator) {
  Init(configurator.GetReplyTimeout(), configurator.GetRetries());
  Open(configurator.GetPortName(), configurator.GetBaudRate(), configurator.GetParity(), configurator.GetDataBits(),
       configurator.GetStopBits());
}

SerialPortLorimProtocol::SerialPortLorimProtocol(const char* portName, bool slow)
    : SerialPortLorimProtocol(portName, slow, 9600, 'N', 8, 0) {}

SerialPortLorimProtocol::SerialPortLorimProtocol(const char* portName, bool slow, int baudRate, int parity,
                                                 int dataBits, int stopBits) {
  Init(slow ? SlowReplyTimeout : FastReplyTimeout, 6);
  Open(portName, baudRate, parity, dataBits, stopBits);
}

SerialPortLorimProtocol::~SerialPortLorimProtocol() = default;

void SerialPortLorimProtocol::Init(std::uint32_t replyTimeout, std::uint32_t retries) {
  ownAddress_ = OwnAddress();
  replyTimeout_ = replyTimeout;
  retries_ = retries;
  SetLastError(0);
  reading_.store(false, std::memory_order_relaxed);
  keptValid_ = false;
  keptLength_ = 0;
}

void SerialPortLorimProtocol::Fail(int code, const char* file, int line, LastError lastError) {
  if (lastError == LastError::Set) SetLastError(code);
  throw Exception(file, line, code);
}

std::uint32_t SerialPortLorimProtocol::Checksum(const std::uint8_t* data, std::size_t count) {
  std::uint32_t h = 0;
  std::size_t i = 0;
  if (count % 2 == 1) {
    h = data[0];
    i = 1;
  }
  for (; i < count; i += 2) {
    const std::uint32_t word = static_cast<std::uint32_t>(data[i]) << 8 | data[i + 1];
    h = ((h << 5) | (h >> 27)) ^ word;
  }
  return h;
}

void SerialPortLorimProtocol::BuildHeader(std::uint8_t (&header)[HeaderSize], const Address& destination,
                                          PacketKind kind, DataType type, std::uint16_t dataLength) const {
  header[0] = destination.a;
  header[1] = destination.b;
  header[2] = destination.c;
  header[3] = ownAddress_.a;
  header[4] = ownAddress_.b;
  header[5] = ownAddress_.c;
  header[6] = static_cast<std::uint8_t>(kind);
  header[7] = static_cast<std::uint8_t>(type);
  PutU16(header + 8, dataLength);
  PutU32(header + 10, Checksum(header, 10));
}

void SerialPortLorimProtocol::SendFrame(const std::uint8_t (&header)[HeaderSize], const std::uint8_t* data,
                                        std::uint32_t length) {
  if (length > RequestAreaSize) PROTOCOL_FAIL(kUnsupportedFormat);
  // The callers may build in the kept request itself, so copies may overlap.
  std::memmove(keptHeader_, header, HeaderSize);
  if (data && length > 0) {
    std::memmove(keptData_, data, length);
    keptLength_ = length;
  } else {
    keptLength_ = 0;
  }
  keptValid_ = true;
  SendKept();
}

void SerialPortLorimProtocol::SendKept() {
  SetLastError(0);
  ClearError();
  // A point speaks only when asked, so whatever waits on the line now is a
  // late answer to an earlier request.
  DiscardInput();
  // Write failures leave 0xF02 or 0xF03; the next receive attempt resets
  // the last error, so such a request ends as "No answer".
  Write(keptHeader_, HeaderSize);
  if (keptLength_ > 0) Write(keptData_, keptLength_);
}

void SerialPortLorimProtocol::ReadExact(std::uint8_t* buffer, std::uint32_t count) {
  ReadExactInto(buffer, count, count);
}

// Bytes past `capacity` are read over the start of the buffer again: an
// answer too large for its area is taken off the line but never stored
// past it.
void SerialPortLorimProtocol::ReadExactInto(std::uint8_t* buffer, std::size_t capacity, std::uint32_t count) {
  const std::uint32_t start = platform::GetTickCount();
  std::uint32_t got = 0;
  while (got < count) {
    if (platform::GetTickCount() - start > replyTimeout_ + count) {
      PROTOCOL_FAIL(got == 0 ? kNoAnswer : kIncomplete);
    }
    const std::size_t at = got % capacity;
    const std::uint32_t chunk = static_cast<std::uint32_t>(std::min<std::size_t>(count - got, capacity - at));
    readStartTick_.store(platform::GetTickCount(), std::memory_order_relaxed);
    reading_.store(true, std::memory_order_relaxed);
    const int n = Read(buffer + at, chunk);
    reading_.store(false, std::memory_order_relaxed);
    if (n > 0) got += static_cast<std::uint32_t>(n);
    // An interrupted line returns at once: waiting out the budget would only spin.
    if (got < count && ReadsInterrupted()) PROTOCOL_FAIL(got == 0 ? kNoAnswer : kIncomplete);
  }
}

void SerialPortLorimProtocol::ReadIntoArea(std::uint32_t count) {
  ReadExactInto(answerData_, ReceiveAreaSize, count);
}

std::uint16_t SerialPortLorimProtocol::GetAnswerDataLength() const {
  return GetU16(answerHeader_ + 8);
}

Address SerialPortLorimProtocol::GetAnswerSource() const {
  return Address(answerHeader_[3], answerHeader_[4], answerHeader_[5]);
}

void SerialPortLorimProtocol::ReceiveAnswer() {
  for (int attempt = 0;; ++attempt) {
    try {
      const std::uint32_t start = platform::GetTickCount();
      for (;;) {
        SetLastError(0);
        receivedLength_ = 0;
        ReadExact(answerHeader_, HeaderSize);
        const std::uint32_t length = GetAnswerDataLength();
        if (length != 0) {
          ReadIntoArea(length + ChecksumSize);
          receivedLength_ = length + ChecksumSize;
        }
        CheckFrame();
        if (AnswersKeptRequest()) break;
        // A late answer to an earlier request; ours may follow it while the
        // header's budget lasts.
        if (platform::GetTickCount() - start > replyTimeout_ + HeaderSize) PROTOCOL_FAIL(kNoAnswer);
      }
      CheckErrorAnswer();
      return;
    } catch (const Exception&) {
      // Nothing more is heard on an interrupted line, so repeating is pointless.
      if (attempt + 1 >= Transmissions || ReadsInterrupted() ||
          noRepeats_.load(std::memory_order_relaxed)) {
        throw;
      }
      // With nothing kept there is nothing to repeat.
      if (keptValid_) SendKept();
    }
  }
}

bool SerialPortLorimProtocol::AnswersKeptRequest() const {
  // Identify, broadcast and write answers are taken as they come.
  if (!keptValid_ || keptHeader_[6] != static_cast<std::uint8_t>(PacketKind::Read)) return true;
  const Address asked(keptHeader_[0], keptHeader_[1], keptHeader_[2]);
  // A point reached directly answers from its own address.
  const bool anySource = asked == BroadcastAddress() || asked == NoAddress();
  if (!anySource && GetAnswerSource() != asked) return false;
  // An error answer's first data byte is not always the id asked for: it is
  // taken by its source alone. A late one costs a repetition, never a value.
  if (answerHeader_[6] == static_cast<std::uint8_t>(PacketKind::ErrorAnswer)) return true;
  // Without a data block there is no id to compare; the read refuses such an answer itself.
  return receivedLength_ == 0 || answerData_[0] == keptData_[0];
}

void SerialPortLorimProtocol::CheckAnswer() {
  CheckFrame();
  CheckErrorAnswer();
}

void SerialPortLorimProtocol::CheckFrame() {
  int code = 0;
  if (Checksum(answerHeader_, 10) != GetU32(answerHeader_ + 10)) {
    code = kHeaderCorrupted;
  } else if (receivedLength_ > ReceiveAreaSize) {
    // Taken off the line, but only the area's worth is in it.
    code = kDataCorrupted;
  } else if (receivedLength_ != 0) {
    const std::uint32_t length = receivedLength_ - ChecksumSize;
    if (Checksum(answerData_, length) != GetU32(answerData_ + length)) code = kDataCorrupted;
  }
  if (code != 0) {
    if (receivedLength_ > ReceiveAreaSize) receivedLength_ = 0;
    PROTOCOL_FAIL(code);
  }
}

void SerialPortLorimProtocol::CheckErrorAnswer() {
  if (answerHeader_[6] != static_cast<std::uint8_t>(PacketKind::ErrorAnswer)) return;
  // An error answer too short to hold its code byte says nothing more.
  const int code = receivedLength_ >= ChecksumSize + 2 ? answerData_[1] : kUnknownError;
  if (code != 0) PROTOCOL_FAIL(code);
}

void SerialPortLorimProtocol::WriteVariable(const Address& address, DataType type, std::uint8_t id,
                                            const void* value) {
  // Built in the kept request's own area; SendFrame keeps it where it is.
  std::uint8_t* data = keptData_;
  std::uint32_t length = 0;
  std::uint8_t scratch[8];
  const std::uint8_t* bytes = static_cast<const std::uint8_t*>(value);
  switch (type) {
    case DataType::Byte:
      length = 2;
      std::memcpy(scratch, bytes, 1);
      break;
    case DataType::Word: {
      std::uint16_t v;
      std::memcpy(&v, value, sizeof v);
      PutU16(scratch, v);
      length = 3;
      break;
    }
    case DataType::Long: {
      std::uint32_t v;
      std::memcpy(&v, value, sizeof v);
      PutU32(scratch, v);
      length = 5;
      break;
    }
    case DataType::ShortFloat: {
      float v;
      std::memcpy(&v, value, sizeof v);
      const LSingle code = EncodeShortFloat(v);
      std::memcpy(scratch, code.bytes, 4);
      length = 5;
      break;
    }
    case DataType::Float: {
      float v;
      std::memcpy(&v, value, sizeof v);
      std::uint32_t raw;
      std::memcpy(&raw, &v, sizeof raw);
      PutU32(scratch, raw);
      length = 5;
      break;
    }
    case DataType::Text16: {
      const char16_t* text = static_cast<const char16_t*>(value);
      std::size_t units = 0;
      while (units <= MaxTextUnits && text[units] != 0) ++units;
      if (units > MaxTextUnits) PROTOCOL_FAIL(kUnsupportedFormat);
      length = static_cast<std::uint32_t>(2 * units + 3);
      break;
    }
    case DataType::DateTime:
      std::memcpy(scratch, bytes, 8);
      length = 9;
      break;
    case DataType::Address: {
      const auto* a = static_cast<const Address*>(value);
      scratch[0] = a->a;
      scratch[1] = a->b;
      scratch[2] = a->c;
      length = 4;
      break;
    }
    default:
      PROTOCOL_FAIL(kUnsupportedFormat);
  }
  // Nothing above has touched the kept request, so a refusal leaves it whole.
  data[0] = id;
  if (type == DataType::Text16) {
    const char16_t* text = static_cast<const char16_t*>(value);
    const std::size_t units = (length - 3) / 2;
    for (std::size_t i = 0; i <= units; ++i) PutU16(data + 1 + 2 * i, static_cast<std::uint16_t>(text[i]));
  } else {
    std::memcpy(data + 1, scratch, length - 1);
  }
  PutU32(data + length, Checksum(data, length));
  std::uint8_t header[HeaderSize];
  BuildHeader(header, address, PacketKind::Write, type, static_cast<std::uint16_t>(length));
  SendFrame(header, data, length + ChecksumSize);
  ReceiveAnswer();
}

void SerialPortLorimProtocol::ExchangeRead(const Address& address, DataType type, std::uint8_t id) {
  std::uint8_t header[HeaderSize];
  BuildHeader(header, address, PacketKind::Read, type, 1);
  std::uint8_t data[1 + ChecksumSize];
  data[0] = id;
  PutU32(data + 1, Checksum(data, 1));
  SendFrame(header, data, sizeof data);
  ReceiveAnswer();
}

std::uint32_t SerialPortLorimProtocol::AnswerValueCount() {
  const std::uint32_t length = GetAnswerDataLength();
  std::uint32_t count = 0;
  switch (GetAnswerDataType()) {
    case DataType::Byte:
    case DataType::Text8:
    case DataType::Text16:
      // No data block at all leaves not even the id: nothing sound to copy.
      if (length == 0) PROTOCOL_FAIL(kDataCorrupted);
      return length - 1;
    case DataType::Word: count = 2; break;
    case DataType::Long:
    case DataType::ShortFloat:
    case DataType::Float: count = 4; break;
    case DataType::DateTime: count = 8; break;
    default: PROTOCOL_FAIL(kUnsupportedFormat);
  }
  // Shorter than its type: the bytes would be stale ones of an older answer.
  if (length < count + 1) PROTOCOL_FAIL(kUnsupportedFormat);
  return count;
}

void SerialPortLorimProtocol::CopyValue(std::uint32_t count, void* destination, std::size_t size) {
  if (count > size) PROTOCOL_FAIL(kBufferOverflow);
  if (count > 0) std::memcpy(destination, answerData_ + 1, count);
}

void SerialPortLorimProtocol::ReadVariable(const Address& address, DataType type, std::uint8_t id,
                                           void* destination, std::size_t size) {
  ExchangeRead(address, type, id);
  CopyValue(AnswerValueCount(), destination, size);
}

void SerialPortLorimProtocol::ReadVariableAnyType(const Address& address, DataType& answeredType, std::uint8_t id,
                                                  std::uint32_t& count, void* destination, std::size_t size) {
  count = 0;
  ExchangeRead(address, DataType::Byte, id);
  answeredType = GetAnswerDataType();
  count = AnswerValueCount();
  CopyValue(count, destination, size);
}

void SerialPortLorimProtocol::Identify(const Address& address, Address* answering) {
  std::uint8_t header[HeaderSize];
  BuildHeader(header, address, PacketKind::Identify, DataType::None, 0);
  SendFrame(header, nullptr, 0);
  ReceiveAnswer();
  if (answering) *answering = GetAnswerSource();
}

bool SerialPortLorimProtocol::WaitForAnswer(Address& answering) {
  const std::uint32_t start = platform::GetTickCount();
  for (;;) {
    const std::uint32_t now = platform::GetTickCount();
    try {
      ReceiveAnswer();
      answering = GetAnswerSource();
      return true;
    } catch (const Exception&) {
      if (now - start > WaitForAnswerTime) return false;
    }
  }
}

LSingle SerialPortLorimProtocol::EncodeShortFloat(float value) {
  LSingle out;
  if (!(value > 0.0f)) return out;
  float x = std::min(value, 9.99e31f);
  x = std::max(x, 9.99e-31f);
  int e = 2;
  while (x > 1024.0f) {
    x = x / 10.0f;
    ++e;
  }
  while (x < 102.4f) {
    x = x * 10.0f;
    --e;
  }
  int m = static_cast<int>(x + 0.5f);
  // Scaled values from 1023.5 up would round to 1024, which the 10-bit
  // field cannot hold; the nearest value it can hold is 1023.
  if (m > 1023) m = 1023;
  const std::uint16_t code =
      static_cast<std::uint16_t>((static_cast<unsigned>(m) & 0x3FFu) | ((static_cast<unsigned>(e) & 0x3Fu) << 10));
  PutU16(out.bytes, code);
  return out;
}

float SerialPortLorimProtocol::DecodeShortFloat(const LSingle& value) {
  const unsigned code = static_cast<unsigned>(value.bytes[0]) | static_cast<unsigned>(value.bytes[1]) << 8;
  const int m = static_cast<int>(code & 0x3FFu);
  int e = static_cast<int>((code >> 10) & 0x3Fu);
  if (e >= 32) e -= 64;
  const float r = static_cast<float>(m) * std::pow(10.0f, static_cast<float>(e - 2));
  if (r == 0.0f || std::isnan(r)) return r;
  return std::min(std::max(r, 9.99e-31f), 9.99e31f);
}

void SerialPortLorimProtocol::Pause(std::uint32_t milliseconds) { platform::Sleep(milliseconds); }

// Port names travel as 8-bit text of at most 1024 bytes.
std::string PortNameBytes(const wxString& portName) {
  std::string name(portName.ToUTF8().data());
  if (name.size() > SerialPortLorimProtocol::Configurator::PortNameCapacity - 1) {
    name.resize(SerialPortLorimProtocol::Configurator::PortNameCapacity - 1);
  }
  return name;
}

bool ProbePort(const wxString& portName, Address& answering) {
  const std::string name = PortNameBytes(portName);
  SerialPortLorimProtocol protocol(name.c_str(), false);
  return protocol.WaitForAnswer(answering);
}

}  // namespace kalvo_lorim
