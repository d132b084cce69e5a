#pragma once
// The device bus protocol on a serial port, and the checked port
// configuration it is built from.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <wx/string.h>
#include <wx/thread.h>

#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/serialport.h"
#include "kalvo_lorim/types.h"

namespace kalvo_lorim {

class PointsCollection;

// Header byte 6 of a bus frame.
enum class PacketKind : std::uint8_t {
  ErrorAnswer = 3,
  Identify = 4,
  Read = 6,
  Write = 8,
};

// Header byte 7 of a bus frame: how the value after the id byte is encoded.
// The same codes are the type codes of point parameters, which add ByteParam.
enum class DataType : std::uint8_t {
  None = 0,        // identify frames
  Byte = 1,        // one byte; in answers also a byte array
  Text8 = 3,       // one character per byte; read only
  Word = 5,        // unsigned 16-bit
  Long = 11,       // unsigned 32-bit
  ShortFloat = 13, // LSingle, see EncodeShortFloat
  ByteParam = 17,  // a parameter whose value came as Byte; never on the bus
  Float = 25,      // IEEE single
  Text16 = 29,     // UTF-16LE with its 2-byte terminator
  DateTime = 31,   // the 8 bytes of kalvo_lorim::DateTime
  Address = 33,    // a, b, c
};

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

  static constexpr std::size_t HeaderSize = 14;
  static constexpr std::size_t ChecksumSize = 4;
  // Largest data block an answer may carry, and the receive area behind the header.
  static constexpr std::size_t MaxAnswerDataLength = 32767;
  static constexpr std::size_t ReceiveAreaSize = MaxAnswerDataLength + ChecksumSize;
  // Room of a request's data block with its checksum.
  static constexpr std::size_t RequestAreaSize = 32780;
  // Longest text a write of type Text16 can carry, in UTF-16 units without terminator.
  static constexpr std::size_t MaxTextUnits = (RequestAreaSize - ChecksumSize - 1 - 2) / 2;
  // A request is sent at most this many times (the first and the repetitions).
  static constexpr int Transmissions = 6;
  static constexpr std::uint32_t FastReplyTimeout = 40;
  static constexpr std::uint32_t SlowReplyTimeout = 200;
  static constexpr std::uint32_t WaitForAnswerTime = 1000;
  static constexpr std::uint32_t ScanTime = 9216;

  explicit SerialPortLorimProtocol(const Configurator& configurator);
  SerialPortLorimProtocol(const char* portName, bool slow);
  SerialPortLorimProtocol(const char* portName, bool slow, int baudRate, int parity, int dataBits, int stopBits);
  ~SerialPortLorimProtocol() override;

  // The frame checksum: big-endian 16-bit words folded with a 5-bit rotation.
  static std::uint32_t Checksum(const std::uint8_t* data, std::size_t count);

  // Keeps a copy of the request and writes it: the header, then the data
  // block with its checksum (`length` bytes) when there is one.
  void SendFrame(const std::uint8_t (&header)[HeaderSize], const std::uint8_t* data, std::uint32_t length);
  // Fills the receive area with a validated answer, sending the kept
  // request again after each failure, 6 transmissions in all. Each
  // transmission first drops what waits on the line; an answer of another
  // point or variable than a read asked for is skipped.
  void ReceiveAnswer();
  // Reads exactly n bytes within reply time-out + n ms; throws 0xF00 when
  // nothing came, 0xF01 when part did.
  void ReadExact(std::uint8_t* buffer, std::uint32_t count);
  // Validates the answer in the receive area; throws 3, 7 or the point's code.
  void CheckAnswer();

  // One write exchange. The value is, by type: Byte a uint8_t, Word a
  // uint16_t, Long a uint32_t, ShortFloat and Float a float, Text16 a
  // terminated char16_t text, DateTime its 8 bytes (DateTime::ToBytes),
  // Address an Address. Any other type throws 2 and sends nothing.
  void WriteVariable(const kalvo_lorim::Address& address, DataType type, std::uint8_t id, const void* value);
  // One read exchange; copies the value bytes, as the answer's data type
  // says, into the destination of `size` bytes.
  void ReadVariable(const kalvo_lorim::Address& address, DataType type, std::uint8_t id, void* destination,
                    std::size_t size);
  // As ReadVariable asking for Byte; reports the answered type and the
  // copied byte count (both set before the copy).
  void ReadVariableAnyType(const kalvo_lorim::Address& address, DataType& answeredType, std::uint8_t id,
                           std::uint32_t& count, void* destination, std::size_t size);
  void Identify(const kalvo_lorim::Address& address, kalvo_lorim::Address* answering = nullptr);
  // Takes answers for about a second; true with the first answer's source.
  bool WaitForAnswer(kalvo_lorim::Address& answering);
  // Broadcasts an identify and adds a new point for every answer for 9216 ms.
  void ScanBus(PointsCollection& collection);

  static LSingle EncodeShortFloat(float value);
  static float DecodeShortFloat(const LSingle& value);

  // Read without a lock by the watchdog: a hint only.
  std::uint32_t GetReadStartTick() const { return readStartTick_.load(std::memory_order_relaxed); }
  bool IsReading() const { return reading_.load(std::memory_order_relaxed); }
  // From any thread: a failed exchange is not sent again from now on, so that
  // a thread asked to stop is not held by the repetitions of a failing line.
  void StopRepeating() { noRepeats_.store(true, std::memory_order_relaxed); }

  void Pause(std::uint32_t milliseconds);

  // The last answer.
  const std::uint8_t* GetAnswerHeader() const { return answerHeader_; }
  std::uint16_t GetAnswerDataLength() const;
  const std::uint8_t* GetAnswerData() const { return answerData_; }
  std::uint32_t GetReceivedLength() const { return receivedLength_; }
  kalvo_lorim::Address GetAnswerSource() const;
  DataType GetAnswerDataType() const { return static_cast<DataType>(answerHeader_[7]); }

  kalvo_lorim::Address GetOwnAddress() const { return ownAddress_; }
  std::uint32_t GetReplyTimeout() const { return replyTimeout_; }
  std::uint32_t GetRetries() const { return retries_; }
  bool HasKeptRequest() const { return keptValid_; }
  // Held by the compound measure reads for the length of their exchanges.
  wxCriticalSection& GetLock() { return lock_; }

 private:
  void Init(std::uint32_t replyTimeout, std::uint32_t retries);
  void BuildHeader(std::uint8_t (&header)[HeaderSize], const kalvo_lorim::Address& destination, PacketKind kind,
                   DataType type, std::uint16_t dataLength) const;
  void SendKept();
  void ReadIntoArea(std::uint32_t count);
  void ReadExactInto(std::uint8_t* buffer, std::size_t capacity, std::uint32_t count);
  void ExchangeRead(const kalvo_lorim::Address& address, DataType type, std::uint8_t id);
  // The checksums of the answer in the receive area; throws 3 or 7.
  void CheckFrame();
  // Throws the point's code for an error answer.
  void CheckErrorAnswer();
  // False for an answer to a read that comes from another point or is of
  // another variable than the kept request asked for.
  bool AnswersKeptRequest() const;
  // The number of value bytes the answer's data type gives; throws when
  // the answer cannot give them.
  std::uint32_t AnswerValueCount();
  void CopyValue(std::uint32_t count, void* destination, std::size_t size);
  // The one way the protocol fails (PROTOCOL_FAIL): the code becomes the
  // last error, which the device thread reports by, unless it is kept for
  // a failure that is no exchange's; then it is thrown.
  enum class LastError { Set, Keep };
  [[noreturn]] void Fail(int code, const char* file, int line, LastError lastError = LastError::Set);

  kalvo_lorim::Address ownAddress_;
  std::uint32_t replyTimeout_ = FastReplyTimeout;
  std::uint32_t retries_ = 6;
  // A copy of the last request, so that a repetition never sends from
  // storage that is gone.
  std::uint8_t keptHeader_[HeaderSize] = {};
  std::uint8_t keptData_[RequestAreaSize] = {};
  std::uint32_t keptLength_ = 0;
  bool keptValid_ = false;
  std::uint8_t answerHeader_[HeaderSize] = {};
  std::uint8_t answerData_[ReceiveAreaSize] = {};
  std::uint32_t receivedLength_ = 0;
  std::atomic<std::uint32_t> readStartTick_{0};
  std::atomic<bool> reading_{false};
  std::atomic<bool> noRepeats_{false};
  wxCriticalSection lock_;

 public:
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

 private:
  // One read exchange; copies at most `size` value bytes into `destination`
  // and drops the rest. Returns the number of value bytes the answer carried.
  std::uint32_t ReadBounded(const kalvo_lorim::Address& address, DataType type, std::uint8_t id,
                            void* destination, std::size_t size);
  // A text variable received into TextRoom units: it ends at the first
  // terminator or with the room.
  wxString ReadText(const kalvo_lorim::Address& address, std::uint8_t id);
  void WriteText(const kalvo_lorim::Address& address, std::uint8_t id, const wxString& text);

 public:
  // UTF-16LE bytes to text; a pair of surrogates is one character, a lone
  // one becomes U+FFFD, and the text ends at the first terminator.
  static wxString TextFromUtf16(const std::uint8_t* bytes, std::size_t count);
  // Text as UTF-16 units with a terminator; what is no character, and a
  // character 0, becomes U+FFFD.
  static std::vector<char16_t> Utf16FromText(const wxString& text);
};

// A port name as the 8-bit text of at most 1023 bytes the port takes.
std::string PortNameBytes(const wxString& portName);

// Builds a protocol object on the port (fast time-out), waits for an answer
// and returns its result.
bool ProbePort(const wxString& portName, kalvo_lorim::Address& answering);
// Builds a protocol object on the port (fast time-out), empties the
// collection and scans the bus; true when the collection holds a point.
bool ScanPort(const wxString& portName, PointsCollection& collection);

}  // namespace kalvo_lorim
