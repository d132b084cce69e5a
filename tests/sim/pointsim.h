#pragma once
// A simulated measuring point (or several) on a pseudo-terminal.
//
// The bus runs on its own thread: it reads request frames from the pty master,
// lets every point that is addressed answer, and records each request with the
// bytes it was answered with. The test opens the slave side (Bus::SlavePath, or
// a link in a port folder) as the serial port of the code under test.
//
// The simulator has its own frame codec on purpose: it shares no code with the
// device library, so a fault on one side cannot hide the same fault on the other.
//
//   pointsim::Bus bus;
//   pointsim::Point& point = bus.AddPoint(kalvo_lorim::Address(1, 2, 3));
//   testsupport::PortFolder ports;
//   ports.Link("COM3", bus.SlavePath());
//   bus.Start();
//   point.AddFault(pointsim::Fault::ErrorAnswer(4, 30));   // variable 30 fails with code 4
//   ... run the code under test on "COM3" ...
//   ASSERT_TRUE(bus.WaitForRequests(6, 5000));
//   auto requests = bus.Requests();

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kalvo_lorim/types.h"
#include "pty.h"

namespace pointsim {

using kalvo_lorim::Address;
using kalvo_lorim::DateTime;
using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Frame codec

// Header byte 6.
namespace kind {
constexpr std::uint8_t ErrorAnswer = 3;
constexpr std::uint8_t Identify = 4;
constexpr std::uint8_t Read = 6;
constexpr std::uint8_t Write = 8;
}  // namespace kind

// Header byte 7: how the value after the id byte is encoded.
namespace type {
constexpr std::uint8_t None = 0;
constexpr std::uint8_t Byte = 1;        // one byte, or a byte array in answers
constexpr std::uint8_t Text8 = 3;       // one character per byte, no terminator
constexpr std::uint8_t Word = 5;        // 16-bit little-endian
constexpr std::uint8_t Long = 11;       // 32-bit little-endian
constexpr std::uint8_t ShortFloat = 13; // 16-bit mantissa/exponent code, 2 bytes 0
constexpr std::uint8_t Float = 25;      // IEEE single, little-endian
constexpr std::uint8_t Text = 29;       // UTF-16LE with a 2-byte terminator
constexpr std::uint8_t Date = 31;       // 8 bytes, see kalvo_lorim::DateTime
constexpr std::uint8_t Addr = 33;       // 3 bytes a, b, c
}  // namespace type

constexpr std::size_t HeaderSize = 14;
constexpr std::size_t ChecksumSize = 4;

// The bus checksum: big-endian 16-bit words folded with a 5-bit left rotation.
std::uint32_t Checksum(const std::uint8_t* data, std::size_t n);
inline std::uint32_t Checksum(const Bytes& b) { return Checksum(b.data(), b.size()); }

struct Frame {
  Address destination;
  Address source;
  std::uint8_t kind = 0;
  std::uint8_t type = 0;
  Bytes data;  // data block: variable id, then the value; empty when there is none

  // The variable id, or -1 for a frame without a data block.
  int Id() const { return data.empty() ? -1 : data[0]; }
  // The bytes after the id.
  Bytes Value() const;
};

// Header, then (when there is a data block) the block and its checksum.
Bytes Encode(const Frame& frame);

enum class DecodeResult {
  NeedMore,         // not a whole frame yet
  Ok,               // `frame` holds it; `used` bytes belong to it
  BadHeader,        // the first 14 bytes are no valid header
  BadDataChecksum,  // valid header, whole frame present, data checksum wrong (`frame` filled)
};
// Decodes the frame at the start of `p`. `used` is set for Ok and BadDataChecksum.
DecodeResult Decode(const std::uint8_t* p, std::size_t n, Frame& frame, std::size_t& used);
inline DecodeResult Decode(const Bytes& b, Frame& frame, std::size_t& used) {
  return Decode(b.data(), b.size(), frame, used);
}

// Requests as the tool builds them (source 1.1.1).
Frame IdentifyRequest(const Address& to);
Frame ReadRequest(const Address& to, std::uint8_t id, std::uint8_t askedType);
Frame WriteRequest(const Address& to, std::uint8_t id, std::uint8_t valueType, const Bytes& value);

// Value encodings.
Bytes U16(std::uint16_t v);
Bytes U32(std::uint32_t v);
Bytes F32(float v);
Bytes Utf16(const std::string& utf8);  // with its terminator
std::string FromUtf16(const Bytes& utf16le);  // stops at a terminator
Bytes DateBytes(const DateTime& d);
Bytes AddressBytes(const Address& a);
std::uint16_t ReadU16(const Bytes& b, std::size_t at);
std::uint32_t ReadU32(const Bytes& b, std::size_t at);
float ReadF32(const Bytes& b, std::size_t at);

// ---------------------------------------------------------------------------
// Faults

// A fault spoils the answers to the requests it matches (reads and writes of its
// variable alike), `times` of them or for ever. Several faults may hit one
// request: no answer wins, then an error answer replaces the normal one, then the
// answer is altered. A point that stays silent or answers with an error leaves
// its variables as they were; the other faults spoil only the answer. Where a
// default is named below, a value of 0 selects it.
enum class FaultKind {
  NoAnswer,              // stays silent
  ErrorAnswer,           // error answer (kind 3) with code `value`
  BadHeaderChecksum,     // answer with its header checksum spoiled
  BadDataChecksum,       // answer with its data checksum spoiled (only answers with a data block)
  TruncatedHeader,       // only the first `value` header bytes are sent (default 7)
  TruncatedData,         // the header and the first `value` bytes of block + checksum (0: header alone)
  LengthTooLarge,        // the header announces `value` bytes more than are sent (default 4)
  Delay,                 // answer `value` ms later
  ExtraIdentifyAnswers,  // an identify is answered 1 + `value` times (other frames: no effect)
  WrongType,             // the answer carries data type `value`, the value bytes unchanged
  NoDataBlock,           // the answer goes out without its data block (data length 0)
};

constexpr int AnyRequest = -1;          // Fault::variable: every request
constexpr int IdentifyRequests = 256;   // Fault::variable: identify frames only
constexpr int Forever = -1;             // Fault::times

struct Fault {
  FaultKind kind = FaultKind::NoAnswer;
  int variable = AnyRequest;  // variable id of the requests it spoils, or one of the two above
  int times = Forever;        // how many matching requests it spoils
  int value = 0;

  static Fault NoAnswer(int times = Forever, int variable = AnyRequest);
  static Fault ErrorAnswer(int code, int variable = AnyRequest, int times = Forever);
  static Fault Make(FaultKind kind, int value = 0, int variable = AnyRequest, int times = Forever);
};

// Reads "kind[,var=N][,times=N][,value=N]" with the kinds noanswer, error, headersum, datasum,
// cutheader, cutdata, longlength, delay, extraidentify, wrongtype and nodata. "var=identify" selects
// identify frames. On failure `error` says why.
bool ParseFault(const std::string& text, Fault& fault, std::string& error);

// ---------------------------------------------------------------------------
// Point

struct Variable {
  std::uint8_t type = 0;
  Bytes value;
};

struct StatusRow {
  std::string text;  // UTF-8
  std::uint8_t level = 0;
};

// One point with its device variables. Every member is thread-safe: tests set
// and read variables while the bus thread answers.
//
// How it answers:
// - a frame to its address, an identify to 0.0.0, and (unless turned off) any
//   frame to 255.255.255, the address of a point reached directly;
// - identify: an answer of kind 4 without data block;
// - read: kind 6 with the variable's own data type (not the asked one), id and value;
// - write: kind 8 with the id alone; a read-only variable gives error 1, a
//   value of another type than the variable takes error 2;
// - unknown variable: error 4; unknown packet kind: error 1; bad data checksum: error 7.
// Error answers are kind 3, type 1, data {id, code}.
//
// Variables with a side effect: 8 (reading clears the list and status bit 10),
// 15 (its status bytes follow the status word), 21 (current algorithm, 1-based;
// copies that algorithm into 16, 17, 19, 20), 24 (status word), 25 (restart:
// zeroes the measuring time), 29 (new address, type 33; the answer already
// comes from the new address; a single byte of type 1 is acknowledged and
// changes nothing),
// 248 (read: busy flag; written: 72-byte block or a text), 249/250/251 (status
// flag table), 252, 253 (writing 0 clears the records), 254 (query: makes the
// busy flag read 1 for SetQueryBusyReads reads).
//
// The default point: name "KALVO-SIM", code 7, firmware "1.00", factory number
// "SN-000123", volume 5, language 9 of {9, 25, 34}, unit "°C"; algorithms
// 0 "Temperature" °C 21.5 and 1 "Pressure" kPa 101.3, current 1; parameters
// 0 "Averaging" (type 1) 10, 1 "Label" (3) "ABC", 2 "Range" (13) 5000,
// 3 "Threshold" (25) 100.5, 4 "Location" (29) "Room 12", 5 "Master address"
// (33) 10.20.30; status 0; 12 status flag rows; 17 records; not busy; the
// record of 03.08.2012 14:05:09 (A 1, B 2, N2 30, F1 120, N1 60, F2 15.5).
class Point {
 public:
  explicit Point(const Address& address);  // populated as the default point
  Point(const Point&) = delete;
  Point& operator=(const Point&) = delete;

  Address GetAddress() const;
  void SetAddress(const Address& address);
  void SetAnswersUnaddressed(bool on);  // frames to 255.255.255; default on

  // Raw access. A missing variable is answered with error 4.
  void SetVariable(std::uint8_t id, std::uint8_t type, const Bytes& value);
  std::optional<Variable> GetVariable(std::uint8_t id) const;
  void RemoveVariable(std::uint8_t id);
  void RemoveAllVariables();

  // Typed setters (type given by the name) and getters; a getter throws
  // std::out_of_range when the variable is missing or too short.
  void SetByte(std::uint8_t id, std::uint8_t v) { SetVariable(id, type::Byte, Bytes{v}); }
  void SetWord(std::uint8_t id, std::uint16_t v) { SetVariable(id, type::Word, U16(v)); }
  void SetLong(std::uint8_t id, std::uint32_t v) { SetVariable(id, type::Long, U32(v)); }
  void SetFloat(std::uint8_t id, float v) { SetVariable(id, type::Float, F32(v)); }
  void SetText(std::uint8_t id, const std::string& utf8) { SetVariable(id, type::Text, Utf16(utf8)); }
  void SetDate(std::uint8_t id, const DateTime& d) { SetVariable(id, type::Date, DateBytes(d)); }
  std::uint8_t GetByte(std::uint8_t id) const;
  std::uint16_t GetWord(std::uint8_t id) const;
  std::uint32_t GetLong(std::uint8_t id) const;
  float GetFloat(std::uint8_t id) const;
  std::string GetText(std::uint8_t id) const;
  DateTime GetDate(std::uint8_t id) const;

  // Algorithm a (0..15): variables 32 + 5a .. 36 + 5a; raises the count (22) to a + 1.
  void SetAlgorithm(int a, const std::string& name, const std::string& unit, float value,
                    std::uint32_t seconds, std::uint8_t uncertainty);
  // Dynamic parameter i: name 112 + 2i, value 113 + 2i (ids wrap); raises the count (23).
  void SetParam(int i, const std::string& name, std::uint8_t valueType, const Bytes& value);
  // Changes parameter values as the point itself would: lists their value ids in
  // variable 8 and sets status bit 10.
  void ChangeParams(const std::vector<int>& indexes);

  std::uint16_t StatusWord() const;
  void SetStatusWord(std::uint16_t word);  // also into the current measure
  void SetCurrentMeasure(float value, std::uint8_t uncertainty);  // variable 15, 7 bytes
  void SetInstantValue(float a, float b, std::uint32_t n);        // variable 9, 12 bytes
  void SetStatusRows(const std::vector<StatusRow>& rows);         // 250 = count, rows via 251/249
  int SelectedRow() const;                                        // last value written to 251
  std::uint16_t RecordsCount() const;                             // variable 253
  void SetRecordsCount(std::uint16_t n);
  void SetQueryBusyReads(int n);        // busy reads after each write of 254
  Bytes DataBlock() const;              // last 72-byte block written to 248
  std::string Text248() const;          // last text written to 248
  std::uint16_t Word252() const;        // last word written to 252
  std::uint16_t QueryArgument() const;  // last word written to 254
  std::vector<std::uint8_t> Restarts() const;  // values written to 25, in order

  void AddFault(const Fault& fault);
  void ClearFaults();

  // One answer to send; the bus writes them in order.
  struct Answer {
    Bytes bytes;
    int delayMs = 0;
  };
  // Answers `frame` (empty when the point is not addressed or stays silent).
  // `dataChecksumOk` false means the data block came spoiled. Used by the bus thread.
  std::vector<Answer> Handle(const Frame& frame, bool dataChecksumOk);

 private:
  bool Addressed(const Frame& f) const;
  Frame Process(const Frame& f, bool dataChecksumOk);
  Frame ProcessRead(const Frame& f);
  Frame ProcessWrite(const Frame& f);
  Frame ErrorFrame(const Frame& f, std::uint8_t code) const;
  Frame AnswerFrame(const Frame& f, std::uint8_t kind, std::uint8_t type, Bytes data) const;
  void SetVariableLocked(std::uint8_t id, std::uint8_t type, const Bytes& value);
  const Variable& Need(std::uint8_t id, std::size_t bytes) const;
  void MirrorStatusLocked();
  void SelectAlgorithmLocked(std::uint8_t number);

  mutable std::mutex mutex_;
  Address address_;
  bool answersUnaddressed_ = true;
  std::map<std::uint8_t, Variable> vars_;
  std::vector<StatusRow> rows_;
  int selectedRow_ = 0;
  int queryBusyReads_ = 0;
  int busyLeft_ = 0;
  Bytes dataBlock_;
  std::string text248_;
  std::uint16_t word252_ = 0;
  std::uint16_t queryArgument_ = 0;
  std::vector<std::uint8_t> restarts_;
  std::vector<Fault> faults_;
};

// ---------------------------------------------------------------------------
// Bus

// Line settings for pacing: the parity letters of the tool ('N', 'E', 'F', 'G',
// 'H'), 5..8 data bits, stop-bits code 0 (one), 1 (one and a half), 2 (two).
// A baud of 0 takes all four from the slave side's settings at each answer, so
// the pacing follows whatever the code under test set the line to.
struct LineSettings {
  static constexpr int FromLine = 0;
  int baud = 9600;
  char parity = 'N';
  int dataBits = 8;
  int stopBits = 0;
  double BitsPerByte() const;  // 10 for 8N1, 11 with parity
};

enum class RequestStatus {
  Ok,               // a whole frame
  BadDataChecksum,  // a whole frame whose data checksum was wrong
  Garbage,          // bytes skipped because no valid header started there
  Incomplete,       // the line went quiet inside a frame
};

struct Request {
  RequestStatus status = RequestStatus::Ok;
  Frame frame;         // decoded (Ok, BadDataChecksum)
  Bytes raw;           // the bytes as they came
  Bytes answer;        // all bytes the points sent back for it
  std::uint32_t tick;  // platform::GetTickCount() when it was complete
};

class Bus {
 public:
  Bus();   // opens the pty; throws std::runtime_error when there is none
  ~Bus();  // stops the thread
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  Point& AddPoint(const Address& address);  // owned by the bus, default-populated
  Point& GetPoint(std::size_t index);
  std::size_t PointCount() const;

  const std::string& SlavePath() const { return pty_.SlavePath(); }

  void Start();  // no effect when running
  void Stop();   // joins the thread; no effect when stopped

  // With pacing on, answers go out at the line's byte rate.
  void SetPacing(bool on, const LineSettings& line = LineSettings());
  // Pause between the end of a request and the first answer byte.
  void SetTurnaround(int ms);
  // Quiet time after which an unfinished frame is dropped (default 100 ms).
  void SetFrameGap(int ms);

  std::vector<Request> Requests() const;
  std::size_t RequestCount() const;
  void ClearRequests();
  // Waits until `count` requests are recorded (each after its answers went out).
  bool WaitForRequests(std::size_t count, int timeoutMs) const;
  bool WaitUntil(const std::function<bool(const std::vector<Request>&)>& done, int timeoutMs) const;
  // Called on the bus thread for every recorded request.
  void SetObserver(std::function<void(const Request&)> observer);

 private:
  void Run();
  void Consume(std::vector<std::uint8_t>& in, bool quiet);
  void Serve(Request request, bool dataChecksumOk);
  void Record(Request request);
  bool SendPaced(const Bytes& bytes);
  LineSettings CurrentLine() const;
  bool WriteAll(const std::uint8_t* p, std::size_t n);
  bool Pause(int ms);  // false when stopping

  testsupport::PtyPair pty_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> stopping_{false};

  mutable std::mutex mutex_;  // points, settings, requests
  mutable std::condition_variable recorded_;
  std::vector<std::unique_ptr<Point>> points_;
  bool pacing_ = false;
  LineSettings line_;
  int turnaroundMs_ = 0;
  int frameGapMs_ = 100;
  std::vector<Request> requests_;
  std::function<void(const Request&)> observer_;
  Bytes garbage_;
  int slaveProbe_ = -1;  // the slave side, only to read its line settings
};

}  // namespace pointsim
