#include <cstring>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/record.h"
#include "kalvo_lorim/serialportlorimprotocol.h"

namespace kalvo_lorim {

namespace {

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

float F32(const std::uint8_t* p) {
  const std::uint32_t bits = U32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

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
  r.f1 = F32(area + 19);
  r.numberB = area[23];
  r.n2 = U16(area + 28);
  r.f2 = F32(area + 30);
  r.d3 = Date(area + 35);
  r.flag = area[43];
  r.n1 = U32(area + 68);
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
  line += wxString::Format(wxT("%.2f\t"), static_cast<double>(r.f1));
  line += wxString::Format(wxT("%.2f\t"), static_cast<double>(rate1));
  line += wxString::Format(wxT("%.2f\t"), static_cast<double>(r.f2));
  line += wxString::Format(wxT("%.2f\t"), static_cast<double>(rate2));
  line += r.flag != 0 ? wxString(L"n\u0444\t") : wxString(wxT("0\t"));
  return line;
}


void SerialPortLorimProtocol::ReadCurrentMeasure(const kalvo_lorim::Address& address, float& value, std::uint32_t& time, std::uint8_t& uncertainty, std::uint16_t& status) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadMeasure(const kalvo_lorim::Address& address, int a, float& value, std::uint32_t& time, std::uint8_t& uncertainty) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadCurrentAlgorithmMeasure(const kalvo_lorim::Address& address, float& value, std::uint32_t& time, std::uint8_t& uncertainty) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadInstantValue(const kalvo_lorim::Address& address, float& first, float& second, std::int32_t& integer) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadStatusWord(const kalvo_lorim::Address& address, std::uint16_t& status) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadNotReadyNumber(const kalvo_lorim::Address& address, std::uint32_t& number) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadNotReadyText(const kalvo_lorim::Address& address, wxString& text) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::PauseMeasure(const kalvo_lorim::Address& address) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::CompleteSeries(const kalvo_lorim::Address& address) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ContinueMeasure(const kalvo_lorim::Address& address) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::StartSeries(const kalvo_lorim::Address& address) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::RecordToText(const kalvo_lorim::Address& address, wxString& line) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadRecordsCount(const kalvo_lorim::Address& address, std::uint16_t& count) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ClearMemory(const kalvo_lorim::Address& address) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::RestartMeasures(const kalvo_lorim::Address& address, MeasuringAlgorithm algorithm) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::SetCurrentAlgorithm(const kalvo_lorim::Address& address, MeasuringAlgorithm algorithm) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteAddress(const kalvo_lorim::Address& address, const kalvo_lorim::Address& newAddress) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteAddressByte(const kalvo_lorim::Address& address, std::uint8_t value) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadConfigurationDate(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteConfigurationDate(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadAssemblyDate(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteAssemblyDate(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadDeviceDateTime(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteDeviceDateTime(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadVolumeLevel(const kalvo_lorim::Address& address, std::uint8_t& level) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteVolumeLevel(const kalvo_lorim::Address& address, std::uint8_t level) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadDeviceLanguage(const kalvo_lorim::Address& address, std::uint8_t& language) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteDeviceLanguage(const kalvo_lorim::Address& address, std::uint16_t language) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadLanguages(const kalvo_lorim::Address& address, std::vector<std::uint16_t>& languages) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadFirmwareVersion(const kalvo_lorim::Address& address, wxString& version) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadFactoryNumber(const kalvo_lorim::Address& address, wxString& number) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteFactoryNumber(const kalvo_lorim::Address& address, const wxString& number) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadBusyFlag(const kalvo_lorim::Address& address, std::uint8_t& busy) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteBlock(const kalvo_lorim::Address& address, std::uint8_t id, const std::uint8_t* block) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteVariable248Text(const kalvo_lorim::Address& address, const wxString& text) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadVariable252Text(const kalvo_lorim::Address& address, wxString& text) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteVariable252Word(const kalvo_lorim::Address& address, std::uint16_t word) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::RunVariable254Query(const kalvo_lorim::Address& address, std::uint16_t argument, wxString& text) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::FixedAnswer(const kalvo_lorim::Address& address, std::uint8_t& first, std::uint8_t& second, std::uint16_t& number1, std::uint16_t& number2) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

}  // namespace kalvo_lorim
