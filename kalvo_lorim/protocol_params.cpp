#include "kalvo_lorim/error.h"
#include "kalvo_lorim/serialportlorimprotocol.h"

namespace kalvo_lorim {

void SerialPortLorimProtocol::ReadPointParams(const kalvo_lorim::Address& address, PointParams& params) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadAlgorithms(const kalvo_lorim::Address& address, std::vector<Algorithm>& algorithms) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadAlgorithm(const kalvo_lorim::Address& address, int a, Algorithm& algorithm) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadParamValue(const kalvo_lorim::Address& address, int i, PointParam& param) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadParamName(const kalvo_lorim::Address& address, int i, PointParam& param) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadChangedIds(const kalvo_lorim::Address& address, std::uint8_t* buffer, std::size_t capacity, std::uint16_t& count) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadChangedParams(const kalvo_lorim::Address& address, const std::uint8_t* ids, std::uint16_t count, std::map<std::uint8_t, wxString>& values) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadTable(const kalvo_lorim::Address& address, StatusFlagTable& table) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::WriteParams(const kalvo_lorim::Address& address, const PointParams& params) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

void SerialPortLorimProtocol::ReadUnit(const kalvo_lorim::Address& address, PointParams& params) {
  KALVO_THROW(kalvo_lorim::Error::UnsupportedCommand);
}

}  // namespace kalvo_lorim
