// Measures, the status word, the measurement record and the single
// settings of a point.

#include <algorithm>
#include <cstring>

#include <wx/thread.h>
#include <wx/utils.h>

#include "kalvo_lorim/bytes.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/numbers.h"
#include "kalvo_lorim/record.h"
#include "kalvo_lorim/protocol_fail.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "kalvo_lorim/variables.h"
#include "platform/tick.h"

namespace kalvo_lorim {

using namespace variable;

namespace {

DateTime Date(const std::uint8_t* p) {
  std::uint8_t bytes[DateTime::Size];
  std::memcpy(bytes, p, sizeof bytes);
  return DateTime(bytes);
}

wxString TimeText(const DateTime& d) {
  return wxString::Format(wxT("%02d:%02d:%02d\t"), d.hour, d.minute, d.second);
}

}  // namespace

MeasurementRecord MeasurementRecord::FromBytes(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t area[Size] = {};
  if (bytes != nullptr) std::memcpy(area, bytes, count < Size ? count : Size);

  MeasurementRecord r;
  r.numberA = area[0];
  r.d1 = Date(area + 3);
  r.d2 = Date(area + 11);
  r.f1 = GetF32(area + 19);
  r.numberB = area[23];
  r.n2 = GetU16(area + 28);
  r.f2 = GetF32(area + 30);
  r.d3 = Date(area + 35);
  r.flag = area[43];
  r.n1 = GetU32(area + 68);
  return r;
}

wxString RecordToText(const MeasurementRecord& r) {
  wxString line = wxT(" \t");
  line += wxString::Format(wxT("%02d.%02d.20%02d\t"), r.d1.day, r.d1.month, r.d1.year);
  line += wxString::Format(wxT("%i\t"), r.numberA);
  line += TimeText(r.d1);
  line += TimeText(r.d2);
  line += wxString::Format(wxT("%i\t"), r.numberB);
  line += TimeText(r.d3);
  line += wxString(L"\u041f\u041a\u0420\u0421-31\u0412\u0434\t");
  line += wxString(L"\u0438\u043c\u043f\t");
  line += wxString::Format(wxT("%i\t"), r.n2);
  // The rates are kept in single precision, as the point computes them.
  const float rate1 = r.f1 / static_cast<float>(r.n1) * 60.0f;
  const float rate2 = r.f2 / static_cast<float>(r.n2) * 60.0f;
  line += FormatNumber("%.2f\t", static_cast<double>(r.f1));
  line += FormatNumber("%.2f\t", static_cast<double>(rate1));
  line += FormatNumber("%.2f\t", static_cast<double>(r.f2));
  line += FormatNumber("%.2f\t", static_cast<double>(rate2));
  line += r.flag != 0 ? wxString(L"n\u0444\t") : wxString(wxT("0\t"));
  return line;
}


// ---------------------------------------------------------------------------
// Measures

namespace {

constexpr std::uint16_t kPauseBit = 0x0800;
constexpr std::uint16_t kSeriesBit = 0x1000;

constexpr std::uint32_t kQueryBusyLimit = 10000;
constexpr unsigned long kQueryUnknownPause = 1000;

}  // namespace

void SerialPortLorimProtocol::ReadCurrentMeasure(const Address& address, float& value, std::uint32_t& time,
                                                 std::uint8_t& uncertainty, std::uint16_t& status) {
  wxCriticalSectionLocker hold(GetLock());
  std::uint8_t area[8] = {};
  ReadBounded(address, DataType::Byte, kCurrentMeasure, area, sizeof area);
  value = GetF32(area);
  status = GetU16(area + 4);
  // Only an answer of full length carries the uncertainty.
  if (GetAnswerDataLength() == sizeof area) uncertainty = area[6];
  std::uint8_t seconds[4] = {};
  ReadBounded(address, DataType::Long, kMeasureTime, seconds, sizeof seconds);
  time = GetU32(seconds);
}

void SerialPortLorimProtocol::ReadMeasure(const Address& address, int a, float& value, std::uint32_t& time,
                                          std::uint8_t& uncertainty) {
  wxCriticalSectionLocker hold(GetLock());
  const bool current = a == -1;
  const std::uint8_t valueId = current ? kCurrentValue : Id(kFirstAlgorithm + 2 + kAlgorithmStride * a);
  const std::uint8_t timeId = current ? kCurrentTime : Id(kFirstAlgorithm + 3 + kAlgorithmStride * a);
  const std::uint8_t uncertaintyId = current ? kCurrentUncertainty : Id(kFirstAlgorithm + 4 + kAlgorithmStride * a);
  // Each destination keeps what the caller put there beyond what came.
  ReadBounded(address, DataType::Float, valueId, &value, sizeof value);
  ReadBounded(address, DataType::Long, timeId, &time, sizeof time);
  ReadBounded(address, DataType::Byte, uncertaintyId, &uncertainty, sizeof uncertainty);
}

void SerialPortLorimProtocol::ReadCurrentAlgorithmMeasure(const Address& address, float& value, std::uint32_t& time,
                                                          std::uint8_t& uncertainty) {
  ReadMeasure(address, -1, value, time, uncertainty);
}

void SerialPortLorimProtocol::ReadInstantValue(const Address& address, float& first, float& second,
                                               std::int32_t& integer) {
  wxCriticalSectionLocker hold(GetLock());
  std::uint8_t area[12] = {};
  ReadBounded(address, DataType::Byte, kInstantValue, area, sizeof area);
  first = GetF32(area + 4);
  second = GetF32(area);
  integer = GetI32(area + 8);
}

// ---------------------------------------------------------------------------
// Status word

void SerialPortLorimProtocol::ReadStatusWord(const Address& address, std::uint16_t& status) {
  std::uint8_t area[2] = {};
  ReadBounded(address, DataType::Word, kStatusWord, area, sizeof area);
  status = GetU16(area);
}

void SerialPortLorimProtocol::ReadNotReadyNumber(const Address& address, std::uint32_t& number) {
  std::uint8_t area[4] = {};
  ReadBounded(address, DataType::Long, kNotReadyNumber, area, sizeof area);
  number = GetU32(area);
}

void SerialPortLorimProtocol::ReadNotReadyText(const Address& address, wxString& text) {
  text = ReadText(address, kNotReadyText);
}

void SerialPortLorimProtocol::PauseMeasure(const Address& address) {
  std::uint16_t s = 0;
  ReadStatusWord(address, s);
  s |= kPauseBit;
  WriteVariable(address, DataType::Word, kStatusWord, &s);
}

void SerialPortLorimProtocol::CompleteSeries(const Address& address) {
  std::uint16_t s = 0;
  ReadStatusWord(address, s);
  s |= kPauseBit;
  WriteVariable(address, DataType::Word, kStatusWord, &s);
  s |= kSeriesBit;
  WriteVariable(address, DataType::Word, kStatusWord, &s);
}

void SerialPortLorimProtocol::ContinueMeasure(const Address& address) {
  std::uint16_t s = 0;
  ReadStatusWord(address, s);
  s |= kPauseBit;
  WriteVariable(address, DataType::Word, kStatusWord, &s);
  // The point moves on once its record was fetched; the record itself is not needed.
  std::uint8_t record[RecordRoom] = {};
  ReadBounded(address, DataType::Text16, kRecord, record, sizeof record);
}

void SerialPortLorimProtocol::StartSeries(const Address& address) {
  std::uint16_t s = 0;
  ReadStatusWord(address, s);
  s &= static_cast<std::uint16_t>(~kSeriesBit);
  WriteVariable(address, DataType::Word, kStatusWord, &s);
}

// ---------------------------------------------------------------------------
// Record

void SerialPortLorimProtocol::RecordToText(const Address& address, wxString& line) {
  std::uint8_t record[RecordRoom] = {};
  ReadBounded(address, DataType::Text16, kRecord, record, sizeof record);
  line = kalvo_lorim::RecordToText(MeasurementRecord::FromBytes(record, MeasurementRecord::Size));
}

void SerialPortLorimProtocol::ReadRecordsCount(const Address& address, std::uint16_t& count) {
  std::uint8_t area[2] = {};
  ReadBounded(address, DataType::Word, kRecordsCount, area, sizeof area);
  count = GetU16(area);
}

void SerialPortLorimProtocol::ClearMemory(const Address& address) {
  const std::uint16_t zero = 0;
  WriteVariable(address, DataType::Word, kRecordsCount, &zero);
}

// ---------------------------------------------------------------------------
// Single settings

void SerialPortLorimProtocol::RestartMeasures(const Address& address, MeasuringAlgorithm algorithm) {
  const std::uint8_t value = static_cast<std::uint8_t>(algorithm);
  WriteVariable(address, DataType::Byte, kRestart, &value);
}

void SerialPortLorimProtocol::SetCurrentAlgorithm(const Address& address, MeasuringAlgorithm algorithm) {
  const std::uint8_t value = static_cast<std::uint8_t>(algorithm);
  WriteVariable(address, DataType::Byte, kCurrentAlgorithm, &value);
}

void SerialPortLorimProtocol::WriteAddress(const Address& address, const Address& newAddress) {
  WriteVariable(address, DataType::Address, kOwnAddress, &newAddress);
}

void SerialPortLorimProtocol::WriteAddressByte(const Address& address, std::uint8_t value) {
  wxCriticalSectionLocker hold(GetLock());
  WriteVariable(address, DataType::Byte, kOwnAddress, &value);
  std::uint8_t header[HeaderSize];
  ReadExact(header, sizeof header);
}

namespace {

DateTime DateOf(const std::uint8_t (&bytes)[DateTime::Size]) { return DateTime(bytes); }

}  // namespace

#define KALVO_DATE_VARIABLE(Name, id)                                                                      \
  void SerialPortLorimProtocol::Read##Name(const Address& address, DateTime& date) {                      \
    std::uint8_t bytes[DateTime::Size] = {};                                                               \
    ReadBounded(address, DataType::DateTime, id, bytes, sizeof bytes);                                     \
    date = DateOf(bytes);                                                                                  \
  }                                                                                                        \
  void SerialPortLorimProtocol::Write##Name(const Address& address, const DateTime& date) {               \
    std::uint8_t bytes[DateTime::Size];                                                                    \
    date.ToBytes(bytes);                                                                                   \
    WriteVariable(address, DataType::DateTime, id, bytes);                                                 \
  }

KALVO_DATE_VARIABLE(ConfigurationDate, kConfigurationDate)
KALVO_DATE_VARIABLE(AssemblyDate, kAssemblyDate)
KALVO_DATE_VARIABLE(DeviceDateTime, kDeviceDateTime)

#undef KALVO_DATE_VARIABLE

void SerialPortLorimProtocol::ReadVolumeLevel(const Address& address, std::uint8_t& level) {
  std::uint8_t value = 255;
  ReadBounded(address, DataType::Byte, kVolume, &value, sizeof value);
  level = value;
}

void SerialPortLorimProtocol::WriteVolumeLevel(const Address& address, std::uint8_t level) {
  WriteVariable(address, DataType::Byte, kVolume, &level);
}

void SerialPortLorimProtocol::ReadDeviceLanguage(const Address& address, std::uint8_t& language) {
  std::uint8_t value = 255;
  ReadBounded(address, DataType::Byte, kLanguage, &value, sizeof value);
  language = value;
}

void SerialPortLorimProtocol::WriteDeviceLanguage(const Address& address, std::uint16_t language) {
  WriteVariable(address, DataType::Word, kLanguage, &language);
}

void SerialPortLorimProtocol::ReadLanguages(const Address& address, std::vector<std::uint16_t>& languages) {
  std::uint8_t area[2 * LanguageRoom] = {};
  const std::uint32_t sent = ReadBounded(address, DataType::Byte, kLanguages, area, sizeof area);
  // An odd last byte is no id; ids beyond the room are dropped.
  const std::size_t count = std::min<std::size_t>(sent / 2, LanguageRoom);
  languages.resize(count);
  for (std::size_t k = 0; k < count; ++k) languages[k] = GetU16(area + 2 * k);
}

void SerialPortLorimProtocol::ReadFirmwareVersion(const Address& address, wxString& version) {
  version = ReadText(address, kFirmware);
}

void SerialPortLorimProtocol::ReadFactoryNumber(const Address& address, wxString& number) {
  number = ReadText(address, kFactoryNumber);
}

void SerialPortLorimProtocol::WriteFactoryNumber(const Address& address, const wxString& number) {
  WriteText(address, kFactoryNumber, number);
}

void SerialPortLorimProtocol::ReadBusyFlag(const Address& address, std::uint8_t& busy) {
  std::uint8_t value = 0;
  ReadBounded(address, DataType::Byte, kBusy, &value, sizeof value);
  busy = value;
}

void SerialPortLorimProtocol::WriteBlock(const Address& address, std::uint8_t id, const std::uint8_t* block) {
  // The id and the whole block as one byte array: data length 73.
  std::uint8_t data[1 + MeasurementRecord::Size + ChecksumSize];
  data[0] = id;
  std::memcpy(data + 1, block, MeasurementRecord::Size);
  const std::uint32_t length = 1 + MeasurementRecord::Size;
  const std::uint32_t sum = Checksum(data, length);
  PutU32(data + length, sum);
  std::uint8_t header[HeaderSize];
  BuildHeader(header, address, PacketKind::Write, DataType::Byte, static_cast<std::uint16_t>(length));
  SendFrame(header, data, sizeof data);
  ReceiveAnswer();
}

void SerialPortLorimProtocol::WriteVariable248Text(const Address& address, const wxString& text) {
  WriteText(address, kBusy, text);
}

void SerialPortLorimProtocol::ReadVariable252Text(const Address& address, wxString& text) {
  text = ReadText(address, kVariable252);
}

void SerialPortLorimProtocol::WriteVariable252Word(const Address& address, std::uint16_t word) {
  WriteVariable(address, DataType::Word, kVariable252, &word);
}

void SerialPortLorimProtocol::RunVariable254Query(const Address& address, std::uint16_t argument, wxString& text) {
  WriteVariable(address, DataType::Word, kQuery, &argument);
  std::uint8_t busy = 1;
  try {
    ReadBounded(address, DataType::Byte, kBusy, &busy, sizeof busy);
  } catch (const Exception& e) {
    if (e.GetCode() != static_cast<int>(Error::UnknownVariable)) throw;
    busy = 4;
  }
  if (busy == 4) {
    // A point without a busy flag gets a fixed time for its answer.
    wxMilliSleep(kQueryUnknownPause);
  } else {
    const std::uint32_t start = platform::GetTickCount();
    while (busy != 0) {
      ReadBounded(address, DataType::Byte, kBusy, &busy, sizeof busy);
      if (platform::GetTickCount() - start > kQueryBusyLimit) PROTOCOL_FAIL_KEEPING_LAST_ERROR(Error::IncompleteAnswer);
    }
  }
  text = ReadText(address, kQuery);
}

void SerialPortLorimProtocol::FixedAnswer(const Address&, std::uint8_t& first, std::uint8_t& second,
                                          std::uint16_t& number1, std::uint16_t& number2) {
  wxCriticalSectionLocker hold(GetLock());
  first = 0;
  second = 0;
  number1 = 11236;
  number2 = 63211;
}

}  // namespace kalvo_lorim
