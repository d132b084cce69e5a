#pragma once
// The device bus protocol on a serial port, and the checked port
// configuration it is built from.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <wx/string.h>

#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/serialport.h"
#include "kalvo_lorim/types.h"

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

  // ---------------------------------------------------------------------
  // Device variables: the parameter set, algorithms, dynamic parameters,
  // status flag table, measures, status word, record and single settings.
  // Every operation takes the point's address first and lets the bus
  // exceptions pass unless said otherwise.

  // Room for a received text, in UTF-16 units with the terminator.
  static constexpr std::size_t TextRoom = 1024;
  // Room for the supported languages.
  static constexpr std::size_t LanguageRoom = 256;
  // Room for the measurement record as it is read.
  static constexpr std::size_t RecordRoom = 76;

  // The whole parameter set; steps whose reading fails take their defaults
  // where the parameter set has one, any other failure leaves.
  void ReadPointParams(const kalvo_lorim::Address& address, PointParams& params);
  // Replaces the list with the point's algorithms.
  void ReadAlgorithms(const kalvo_lorim::Address& address, std::vector<Algorithm>& algorithms);
  // Algorithm a (0-based) from its five variables.
  void ReadAlgorithm(const kalvo_lorim::Address& address, int a, Algorithm& algorithm);
  // Value of dynamic parameter i: its id, type code (17 for a byte) and value.
  void ReadParamValue(const kalvo_lorim::Address& address, int i, PointParam& param);
  // Name of dynamic parameter i.
  void ReadParamName(const kalvo_lorim::Address& address, int i, PointParam& param);
  // The value ids of the changed parameters, at most `capacity` of them;
  // `count` is the number stored.
  void ReadChangedIds(const kalvo_lorim::Address& address, std::uint8_t* buffer, std::size_t capacity,
                      std::uint16_t& count);
  // Re-reads the listed parameters; the map (parameter index -> value text)
  // is replaced only when all of them were read.
  void ReadChangedParams(const kalvo_lorim::Address& address, const std::uint8_t* ids, std::uint16_t count,
                         std::map<std::uint8_t, wxString>& values);
  // Replaced only when the count, every row selection and row text were read.
  void ReadTable(const kalvo_lorim::Address& address, StatusFlagTable& table);
  // Writes the dynamic parameters in order; a type it cannot write throws
  // 0xF04 and leaves the last error alone.
  void WriteParams(const kalvo_lorim::Address& address, const PointParams& params);
  void ReadUnit(const kalvo_lorim::Address& address, PointParams& params);

  // Measure reads; each holds the protocol lock for its exchanges.
  // `uncertainty` keeps the caller's preset when the answer has no byte for it.
  void ReadCurrentMeasure(const kalvo_lorim::Address& address, float& value, std::uint32_t& time,
                          std::uint8_t& uncertainty, std::uint16_t& status);
  // a = -1: the current algorithm.
  void ReadMeasure(const kalvo_lorim::Address& address, int a, float& value, std::uint32_t& time,
                   std::uint8_t& uncertainty);
  void ReadCurrentAlgorithmMeasure(const kalvo_lorim::Address& address, float& value, std::uint32_t& time,
                                   std::uint8_t& uncertainty);
  // `first` gets the answer's second float and `second` its first.
  void ReadInstantValue(const kalvo_lorim::Address& address, float& first, float& second, std::int32_t& integer);

  void ReadStatusWord(const kalvo_lorim::Address& address, std::uint16_t& status);
  void ReadNotReadyNumber(const kalvo_lorim::Address& address, std::uint32_t& number);
  void ReadNotReadyText(const kalvo_lorim::Address& address, wxString& text);

  // Measure control through status bits 11 and 12.
  void PauseMeasure(const kalvo_lorim::Address& address);
  void CompleteSeries(const kalvo_lorim::Address& address);
  void ContinueMeasure(const kalvo_lorim::Address& address);
  void StartSeries(const kalvo_lorim::Address& address);

  // The current measurement record as one text line.
  void RecordToText(const kalvo_lorim::Address& address, wxString& line);
  void ReadRecordsCount(const kalvo_lorim::Address& address, std::uint16_t& count);
  // Writing 0 to the records count clears the point's memory.
  void ClearMemory(const kalvo_lorim::Address& address);

  void RestartMeasures(const kalvo_lorim::Address& address, MeasuringAlgorithm algorithm);
  void SetCurrentAlgorithm(const kalvo_lorim::Address& address, MeasuringAlgorithm algorithm);
  void WriteAddress(const kalvo_lorim::Address& address, const kalvo_lorim::Address& newAddress);
  // One byte to the address variable, then one more header that is dropped.
  void WriteAddressByte(const kalvo_lorim::Address& address, std::uint8_t value);

  void ReadConfigurationDate(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date);
  void WriteConfigurationDate(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date);
  void ReadAssemblyDate(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date);
  void WriteAssemblyDate(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date);
  void ReadDeviceDateTime(const kalvo_lorim::Address& address, kalvo_lorim::DateTime& date);
  void WriteDeviceDateTime(const kalvo_lorim::Address& address, const kalvo_lorim::DateTime& date);

  void ReadVolumeLevel(const kalvo_lorim::Address& address, std::uint8_t& level);
  void WriteVolumeLevel(const kalvo_lorim::Address& address, std::uint8_t level);
  void ReadDeviceLanguage(const kalvo_lorim::Address& address, std::uint8_t& language);
  void WriteDeviceLanguage(const kalvo_lorim::Address& address, std::uint16_t language);
  // Resized to the number of ids the point sent (at most LanguageRoom).
  void ReadLanguages(const kalvo_lorim::Address& address, std::vector<std::uint16_t>& languages);
  void ReadFirmwareVersion(const kalvo_lorim::Address& address, wxString& version);
  void ReadFactoryNumber(const kalvo_lorim::Address& address, wxString& number);
  void WriteFactoryNumber(const kalvo_lorim::Address& address, const wxString& number);

  void ReadBusyFlag(const kalvo_lorim::Address& address, std::uint8_t& busy);
  // The variable id (248) and the 72 bytes at `block`.
  void WriteBlock(const kalvo_lorim::Address& address, std::uint8_t id, const std::uint8_t* block);
  void WriteVariable248Text(const kalvo_lorim::Address& address, const wxString& text);
  void ReadVariable252Text(const kalvo_lorim::Address& address, wxString& text);
  void WriteVariable252Word(const kalvo_lorim::Address& address, std::uint16_t word);
  // Writes the argument, waits while the point is busy, reads the result.
  void RunVariable254Query(const kalvo_lorim::Address& address, std::uint16_t argument, wxString& text);
  // No bus traffic.
  void FixedAnswer(const kalvo_lorim::Address& address, std::uint8_t& first, std::uint8_t& second,
                   std::uint16_t& number1, std::uint16_t& number2);
};

}  // namespace kalvo_lorim
