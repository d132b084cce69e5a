#include "kalvo_lorim/serialportlorimprotocol.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include <wx/intl.h>

namespace kalvo_lorim {

namespace {

constexpr int kBaudRates[] = {50,   75,   110,   134,   150,   200,   300,   600,    1200,   1800,   2400,
                              4800, 9600, 14400, 19200, 38400, 56000, 57600, 76800, 115200, 128000, 256000};
constexpr int kParities[] = {'N', 'E', 'F', 'G', 'H'};
constexpr int kDataBits[] = {5, 6, 7, 8};
constexpr int kStopBits[] = {0, 1, 2};

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

}  // namespace kalvo_lorim
