#pragma once
// The device bus protocol on a serial port, and the checked port
// configuration it is built from.

#include <cstdint>
#include <string>

#include <wx/string.h>

#include "kalvo_lorim/serialport.h"

namespace kalvo_lorim {

class SerialPortLorimProtocol : public SerialPort {
 public:
  // A port setting outside its allowed set; thrown by value.
  class ConfiguratorException {
   public:
    ConfiguratorException();
    const wxString& GetMessage() const { return message_; }

   private:
    wxString message_;
  };

  // A checked set of port settings. Every value outside its fixed allowed
  // set is refused with ConfiguratorException.
  class Configurator {
   public:
    static constexpr std::size_t PortNameCapacity = 1024;  // with terminator
    static constexpr unsigned MinReplyTimeout = 40;
    static constexpr unsigned MinRetries = 6;

    Configurator(const char* portName, unsigned replyTimeout, unsigned retries, int baudRate, int parity,
                 int dataBits, int stopBits);

    // A name of more than 1023 characters does not fit and is refused.
    void SetPortName(const char* portName);
    void SetReplyTimeout(unsigned replyTimeout);
    void SetRetries(unsigned retries);
    void SetBaudRate(int baudRate);
    void SetParity(int parity);
    void SetDataBits(int dataBits);
    void SetStopBits(int stopBits);

    const char* GetPortName() const { return portName_.c_str(); }
    unsigned GetReplyTimeout() const { return replyTimeout_; }
    unsigned GetRetries() const { return retries_; }
    int GetBaudRate() const { return baudRate_; }
    int GetParity() const { return parity_; }
    int GetDataBits() const { return dataBits_; }
    int GetStopBits() const { return stopBits_; }

    static bool IsAllowedBaudRate(int baudRate);
    static bool IsAllowedParity(int parity);
    static bool IsAllowedDataBits(int dataBits);
    static bool IsAllowedStopBits(int stopBits);

   private:
    std::string portName_;
    unsigned replyTimeout_ = MinReplyTimeout;
    unsigned retries_ = MinRetries;
    int parity_ = 'N';
    int dataBits_ = 8;
    int stopBits_ = 0;
    int baudRate_ = 9600;
  };
};

}  // namespace kalvo_lorim
