// Measures, status word control, the measurement record and the single
// settings of a simulated point.

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <wx/thread.h>

#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/record.h"
#include "platform/tick.h"
#include "varsfixture.h"

namespace varstest {
namespace {

using kalvo_lorim::DateTime;
using kalvo_lorim::MeasurementRecord;
namespace type = pointsim::type;

// A 72-byte record with the given fields at their offsets.
Bytes RecordBytes(std::uint8_t a, const DateTime& d1, const DateTime& d2, float f1, std::uint8_t b,
                  std::uint16_t n2, float f2, const DateTime& d3, std::uint8_t flag, std::uint32_t n1) {
  Bytes r(72, 0xEE);  // the unused fields must not matter
  auto put = [&r](std::size_t at, const Bytes& v) { std::copy(v.begin(), v.end(), r.begin() + at); };
  r[0] = a;
  put(3, pointsim::DateBytes(d1));
  put(11, pointsim::DateBytes(d2));
  put(19, pointsim::F32(f1));
  r[23] = b;
  put(28, pointsim::U16(n2));
  put(30, pointsim::F32(f2));
  put(35, pointsim::DateBytes(d3));
  r[43] = flag;
  put(68, pointsim::U32(n1));
  return r;
}

const wxString kModel(L"\u041f\u041a\u0420\u0421-31\u0412\u0434");
const wxString kUnit(L"\u0438\u043c\u043f");

wxString Line(const std::vector<wxString>& fields) {
  wxString line;
  for (const wxString& f : fields) line += f + "\t";
  return line;
}

TEST(RecordLine, ReproducesTheFieldsOfARecord) {
  const Bytes example = RecordBytes(1, DateTime(12, 8, 3, 14, 5, 9, 0), DateTime(0, 1, 1, 14, 0, 0, 0), 120.0f, 2,
                                    30, 15.5f, DateTime(0, 1, 1, 14, 10, 30, 0), 0, 60);
  EXPECT_EQ(kalvo_lorim::RecordToText(MeasurementRecord::FromBytes(example.data(), example.size())),
            Line({" ", "03.08.2012", "1", "14:05:09", "14:00:00", "2", "14:10:30", kModel, kUnit, "30", "120.00",
                  "120.00", "15.50", "31.00", "0"}));

  const Bytes other = RecordBytes(0, DateTime(5, 11, 3, 1, 2, 3, 0), DateTime(0, 1, 1, 0, 0, 0, 0), 1.0f, 255, 3,
                                  2.0f, DateTime(0, 1, 1, 23, 59, 59, 0), 1, 4);
  EXPECT_EQ(kalvo_lorim::RecordToText(MeasurementRecord::FromBytes(other.data(), other.size())),
            Line({" ", "03.11.2005", "0", "01:02:03", "00:00:00", "255", "23:59:59", kModel, kUnit, "3", "1.00",
                  "15.00", "2.00", "40.00", wxString(L"n\u0444")}));
}

TEST(RecordLine, ShortRecordReadsAsZeros) {
  const Bytes head = {7, 0, 0, 12, 1, 2};  // number A and the start of D1
  const MeasurementRecord r = MeasurementRecord::FromBytes(head.data(), head.size());
  EXPECT_EQ(r.numberA, 7);
  EXPECT_EQ(r.d1.year, 12);
  EXPECT_EQ(r.d1.month, 1);
  EXPECT_EQ(r.d1.day, 2);
  EXPECT_EQ(r.d1.hour, 0);
  EXPECT_EQ(r.n1, 0u);
  EXPECT_EQ(r.flag, 0);
  const MeasurementRecord none = MeasurementRecord::FromBytes(nullptr, 0);
  EXPECT_EQ(none.f2, 0.0f);
}

class MeasuresTest : public VarsTest {};

TEST_F(MeasuresTest, CurrentMeasureLayout) {
  struct Case {
    const char* what;
    Bytes value;
    std::uint8_t uncertainty;  // expected, the caller presets 255
    float measured;
    std::uint16_t status;
  };
  const Bytes seven = pointsim::F32(12.5f) + pointsim::U16(0x0204) + Bytes{9};
  const Case cases[] = {
      {"7 value bytes", seven, 9, 12.5f, 0x0204},
      {"6 value bytes", pointsim::F32(12.5f) + pointsim::U16(0x0204), 255, 12.5f, 0x0204},
      {"3 value bytes", Bytes{1, 2, 3}, 255, [] {
         const std::uint8_t b[4] = {1, 2, 3, 0};
         float f;
         std::memcpy(&f, b, 4);
         return f;
       }(), 0},
      {"20 value bytes", seven + Bytes(13, 0x77), 255, 12.5f, 0x0204},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point_.SetVariable(15, type::Byte, c.value);
    point_.SetLong(35, 3600);
    bus_.ClearRequests();
    float value = -1.0f;
    std::uint32_t time = 0;
    std::uint8_t uncertainty = 255;
    std::uint16_t status = 0xFFFF;
    protocol_->ReadCurrentMeasure(kPoint, value, time, uncertainty, status);
    EXPECT_EQ(value, c.measured);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(uncertainty, c.uncertainty);
    EXPECT_EQ(time, 3600u);
    EXPECT_EQ(Steps(2), (std::vector<Step>{Read(15, type::Byte), Read(35, type::Long)}));
  }
}

TEST_F(MeasuresTest, AlgorithmMeasureVariables) {
  struct Case {
    int a;
    int ids[3];
  };
  for (const Case& c : {Case{-1, {16, 19, 20}}, Case{3, {49, 50, 51}}, Case{0, {34, 35, 36}}, Case{44, {254, 255, 0}}}) {
    SCOPED_TRACE(c.a);
    point_.SetFloat(c.ids[0], 2.5f + c.a);
    point_.SetLong(c.ids[1], 90 + c.a);
    point_.SetByte(c.ids[2], 4);
    bus_.ClearRequests();
    float value = -1.0f;
    std::uint32_t time = 0xFFFFFFFF;
    std::uint8_t uncertainty = 255;
    protocol_->ReadMeasure(kPoint, c.a, value, time, uncertainty);
    EXPECT_FLOAT_EQ(value, 2.5f + c.a);
    EXPECT_EQ(time, std::uint32_t(90 + c.a));
    EXPECT_EQ(uncertainty, 4);
    EXPECT_EQ(Steps(3), (std::vector<Step>{Read(c.ids[0], type::Float), Read(c.ids[1], type::Long),
                                           Read(c.ids[2], type::Byte)}));
  }

  // The current algorithm's measure is the same reading; a missing
  // uncertainty byte keeps the preset.
  point_.SetVariable(20, type::Byte, Bytes{});
  bus_.ClearRequests();
  float value = -1.0f;
  std::uint32_t time = 0;
  std::uint8_t uncertainty = 255;
  protocol_->ReadCurrentAlgorithmMeasure(kPoint, value, time, uncertainty);
  EXPECT_FLOAT_EQ(value, 1.5f);
  EXPECT_EQ(uncertainty, 255);
  EXPECT_EQ(Steps(3).front(), Read(16, type::Float));
}

TEST_F(MeasuresTest, InstantValueSwapsTheFloats) {
  point_.SetInstantValue(1.5f, -7.25f, 0xFFFFFFFE);
  float first = 0, second = 0;
  std::int32_t integer = 0;
  protocol_->ReadInstantValue(kPoint, first, second, integer);
  EXPECT_FLOAT_EQ(first, -7.25f);
  EXPECT_FLOAT_EQ(second, 1.5f);
  EXPECT_EQ(integer, -2);

  // Short and long answers: zeros for what is missing, nothing beyond 12 bytes.
  point_.SetVariable(9, type::Byte, pointsim::F32(3.0f));
  protocol_->ReadInstantValue(kPoint, first, second, integer);
  EXPECT_FLOAT_EQ(first, 0.0f);
  EXPECT_FLOAT_EQ(second, 3.0f);
  EXPECT_EQ(integer, 0);
  point_.SetVariable(9, type::Byte, pointsim::F32(3.0f) + pointsim::F32(4.0f) + pointsim::U32(5) + Bytes(200, 9));
  protocol_->ReadInstantValue(kPoint, first, second, integer);
  EXPECT_FLOAT_EQ(first, 4.0f);
  EXPECT_EQ(integer, 5);
}

// The written status words, in order, for each control operation.
TEST_F(MeasuresTest, MeasureControlSetsAndClearsBits11And12) {
  struct Case {
    const char* what;
    void (SerialPortLorimProtocol::*run)(const Address&);
    std::uint16_t before;
    std::vector<std::uint16_t> written;
    bool readsRecord;
  };
  const Case cases[] = {
      {"pause", &SerialPortLorimProtocol::PauseMeasure, 0x0800, {0x0800}, false},
      {"pause from clear", &SerialPortLorimProtocol::PauseMeasure, 0x0004, {0x0804}, false},
      {"complete", &SerialPortLorimProtocol::CompleteSeries, 0x0001, {0x0801, 0x1801}, false},
      {"continue", &SerialPortLorimProtocol::ContinueMeasure, 0x1000, {0x1800}, true},
      {"start", &SerialPortLorimProtocol::StartSeries, 0x1801, {0x0801}, false},
      {"start when clear", &SerialPortLorimProtocol::StartSeries, 0x0000, {0x0000}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point_.SetStatusWord(c.before);
    bus_.ClearRequests();
    (protocol_.get()->*c.run)(kPoint);
    const std::size_t expected = 1 + c.written.size() + (c.readsRecord ? 1 : 0);
    const auto requests = Requests(expected);
    ASSERT_EQ(requests.size(), expected);
    EXPECT_EQ(requests[0].frame.kind, pointsim::kind::Read);
    EXPECT_EQ(requests[0].frame.Id(), 24);
    EXPECT_EQ(requests[0].frame.type, type::Word);
    for (std::size_t k = 0; k < c.written.size(); ++k) {
      const auto& f = requests[1 + k].frame;
      EXPECT_EQ(f.kind, pointsim::kind::Write);
      EXPECT_EQ(f.Id(), 24);
      EXPECT_EQ(f.type, type::Word);
      EXPECT_EQ(f.Value(), pointsim::U16(c.written[k]));
    }
    if (c.readsRecord) {
      EXPECT_EQ(requests.back().frame.Id(), 3);
      EXPECT_EQ(requests.back().frame.type, type::Text);
    }
    EXPECT_EQ(point_.StatusWord(), c.written.back());
  }
}

TEST_F(MeasuresTest, CompleteSeriesFailingHalfWayKeepsBit11) {
  point_.SetStatusWord(0x0001);
  // The second write fails: the first one stays done.
  std::atomic<int> writes{0};
  bus_.SetObserver([&](const pointsim::Request& r) {
    if (r.frame.kind == pointsim::kind::Write && r.frame.Id() == 24 && ++writes == 1) {
      point_.AddFault(pointsim::Fault::ErrorAnswer(5, 24));
    }
  });
  ExpectCode([&] { protocol_->CompleteSeries(kPoint); }, 5);
  bus_.SetObserver(nullptr);
  EXPECT_EQ(point_.StatusWord(), 0x0801);
}

TEST_F(MeasuresTest, RecordLineFromThePoint) {
  wxString line;
  protocol_->RecordToText(kPoint, line);
  EXPECT_EQ(line, Line({" ", "03.08.2012", "1", "14:05:09", "14:00:00", "2", "14:10:30", kModel, kUnit, "30",
                        "120.00", "120.00", "15.50", "31.00", "0"}));
  EXPECT_EQ(Steps(1), (std::vector<Step>{Read(3, type::Text)}));

  // A longer answer is cut to the record; a short one reads as zeros.
  Bytes longer = RecordBytes(9, DateTime(20, 2, 29, 8, 0, 0, 0), DateTime(), 6.0f, 1, 2, 4.0f, DateTime(), 0, 3) +
                 Bytes(400, 0x55);
  point_.SetVariable(3, type::Text, longer);
  protocol_->RecordToText(kPoint, line);
  EXPECT_TRUE(line.StartsWith(" \t29.02.2020\t9\t08:00:00\t")) << line;
  EXPECT_TRUE(line.EndsWith("\t2\t6.00\t120.00\t4.00\t120.00\t0\t")) << line;

  point_.SetVariable(3, type::Text, Bytes{4});
  protocol_->RecordToText(kPoint, line);
  EXPECT_TRUE(line.StartsWith(" \t00.00.2000\t4\t00:00:00\t")) << line;
}

// Single settings: one exchange each, with the value bytes the point gets.
TEST_F(MeasuresTest, SingleSettingWrites) {
  const DateTime when(25, 12, 31, 23, 59, 58, 999);
  const std::uint8_t block[72] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
  struct Case {
    const char* what;
    std::function<void(SerialPortLorimProtocol&)> run;
    int id;
    std::uint8_t type;
    Bytes value;
  };
  const Case cases[] = {
      {"restart all", [](SerialPortLorimProtocol& p) { p.RestartMeasures(kPoint, kalvo_lorim::MeasuringAlgorithm::All); },
       25, type::Byte, Bytes{255}},
      {"restart 2", [](SerialPortLorimProtocol& p) { p.RestartMeasures(kPoint, kalvo_lorim::AlgorithmNumber(2)); }, 25,
       type::Byte, Bytes{2}},
      {"current algorithm", [](SerialPortLorimProtocol& p) { p.SetCurrentAlgorithm(kPoint, kalvo_lorim::AlgorithmNumber(2)); },
       21, type::Byte, Bytes{2}},
      {"configuration date", [&](SerialPortLorimProtocol& p) { p.WriteConfigurationDate(kPoint, when); }, 12, type::Date,
       pointsim::DateBytes(when)},
      {"assembly date", [&](SerialPortLorimProtocol& p) { p.WriteAssemblyDate(kPoint, when); }, 13, type::Date,
       pointsim::DateBytes(when)},
      {"device date", [&](SerialPortLorimProtocol& p) { p.WriteDeviceDateTime(kPoint, when); }, 31, type::Date,
       pointsim::DateBytes(when)},
      {"volume", [](SerialPortLorimProtocol& p) { p.WriteVolumeLevel(kPoint, 7); }, 14, type::Byte, Bytes{7}},
      {"language", [](SerialPortLorimProtocol& p) { p.WriteDeviceLanguage(kPoint, 0x0419); }, 6, type::Word,
       Bytes{0x19, 0x04}},
      {"factory number", [](SerialPortLorimProtocol& p) { p.WriteFactoryNumber(kPoint, wxString(L"\u2116 5")); }, 4,
       type::Text, Units(u"\u2116 5") + Bytes{0, 0}},
      {"empty factory number", [](SerialPortLorimProtocol& p) { p.WriteFactoryNumber(kPoint, ""); }, 4, type::Text,
       Bytes{0, 0}},
      {"clear memory", [](SerialPortLorimProtocol& p) { p.ClearMemory(kPoint); }, 253, type::Word, Bytes{0, 0}},
      {"data block", [&](SerialPortLorimProtocol& p) { p.WriteBlock(kPoint, 248, block); }, 248, type::Byte,
       Bytes(block, block + 72)},
      {"248 text", [](SerialPortLorimProtocol& p) { p.WriteVariable248Text(kPoint, "Go"); }, 248, type::Text,
       Units(u"Go") + Bytes{0, 0}},
      {"252 word", [](SerialPortLorimProtocol& p) { p.WriteVariable252Word(kPoint, 0xBEEF); }, 252, type::Word,
       Bytes{0xEF, 0xBE}},
      {"new address", [](SerialPortLorimProtocol& p) { p.WriteAddress(kPoint, Address(1, 2, 3)); }, 29, type::Addr,
       Bytes{1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bus_.ClearRequests();
    c.run(*protocol_);
    const auto requests = Requests(1);
    ASSERT_EQ(requests.size(), 1u);
    const auto& f = requests[0].frame;
    EXPECT_EQ(f.kind, pointsim::kind::Write);
    EXPECT_EQ(f.Id(), c.id);
    EXPECT_EQ(f.type, c.type);
    EXPECT_EQ(f.Value(), c.value);
  }
  EXPECT_EQ(point_.Restarts(), (std::vector<std::uint8_t>{255, 2}));
  EXPECT_EQ(point_.DataBlock(), Bytes(block, block + 72));
  EXPECT_EQ(point_.RecordsCount(), 0);
  EXPECT_EQ(point_.Text248(), "Go");
  EXPECT_EQ(point_.Word252(), 0xBEEF);
  EXPECT_EQ(point_.GetText(4), "");
}

TEST_F(MeasuresTest, SingleSettingReads) {
  std::uint16_t word = 0;
  protocol_->ReadStatusWord(kPoint, word);
  EXPECT_EQ(word, 0);
  point_.SetStatusWord(0x1201);
  protocol_->ReadStatusWord(kPoint, word);
  EXPECT_EQ(word, 0x1201);
  protocol_->ReadRecordsCount(kPoint, word);
  EXPECT_EQ(word, 17);

  std::uint32_t number = 0;
  protocol_->ReadNotReadyNumber(kPoint, number);
  EXPECT_EQ(number, 42u);
  wxString text;
  protocol_->ReadNotReadyText(kPoint, text);
  EXPECT_EQ(text, "Warming up");
  protocol_->ReadFirmwareVersion(kPoint, text);
  EXPECT_EQ(text, "1.00");
  protocol_->ReadFactoryNumber(kPoint, text);
  EXPECT_EQ(text, "SN-000123");
  protocol_->ReadVariable252Text(kPoint, text);
  EXPECT_EQ(text, "Variable 252");

  DateTime date;
  protocol_->ReadAssemblyDate(kPoint, date);
  EXPECT_EQ(date, DateTime(12, 7, 1, 12, 0, 0, 0));
  protocol_->ReadConfigurationDate(kPoint, date);
  EXPECT_EQ(date, DateTime(12, 8, 3, 9, 30, 0, 0));
  protocol_->ReadDeviceDateTime(kPoint, date);
  EXPECT_EQ(date, DateTime(24, 3, 15, 10, 20, 30, 500));

  std::uint8_t byte = 0;
  protocol_->ReadVolumeLevel(kPoint, byte);
  EXPECT_EQ(byte, 5);
  protocol_->ReadDeviceLanguage(kPoint, byte);
  EXPECT_EQ(byte, 9);
  protocol_->ReadBusyFlag(kPoint, byte);
  EXPECT_EQ(byte, 0);

  std::vector<std::uint16_t> languages(9, 1);
  protocol_->ReadLanguages(kPoint, languages);
  EXPECT_EQ(languages, (std::vector<std::uint16_t>{9, 25, 34}));

  // Destinations of one and two bytes take no more than they hold.
  point_.SetVariable(253, type::Date, Bytes{3, 1, 9, 9, 9, 9, 9, 9});
  std::uint16_t guarded[2] = {0, 0xABCD};
  protocol_->ReadRecordsCount(kPoint, guarded[0]);
  EXPECT_EQ(guarded[0], 0x0103);
  EXPECT_EQ(guarded[1], 0xABCD);
  point_.SetVariable(14, type::Date, Bytes{6, 1, 9, 9, 9, 9, 9, 9});
  protocol_->ReadVolumeLevel(kPoint, byte);
  EXPECT_EQ(byte, 6);
}

// An answer without its data block has not even the id: nothing is stored.
TEST_F(MeasuresTest, AnswersWithoutDataBlockStoreNothing) {
  struct Case {
    const char* what;
    int variable;
    std::function<void(SerialPortLorimProtocol&)> run;
    int code;
  };
  std::uint16_t word = 0x1234;
  std::uint8_t byte = 0x56;
  wxString text = "kept";
  const Case cases[] = {
      {"status word", 24, [&](SerialPortLorimProtocol& p) { p.ReadStatusWord(kPoint, word); }, 2},
      {"volume", 14, [&](SerialPortLorimProtocol& p) { p.ReadVolumeLevel(kPoint, byte); }, 7},
      {"factory number", 4, [&](SerialPortLorimProtocol& p) { p.ReadFactoryNumber(kPoint, text); }, 7},
      {"record", 3, [&](SerialPortLorimProtocol& p) { p.RecordToText(kPoint, text); }, 7},
      {"parameter value", 113, [&](SerialPortLorimProtocol& p) {
         PointParam param;
         p.ReadParamValue(kPoint, 0, param);
       }, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point_.AddFault(pointsim::Fault::Make(pointsim::FaultKind::NoDataBlock, 0, c.variable, 1));
    ExpectCode([&] { c.run(*protocol_); }, c.code);
    EXPECT_EQ(protocol_->GetLastError(), c.code);
  }
  EXPECT_EQ(word, 0x1234);
  EXPECT_EQ(byte, 0x56);
  EXPECT_EQ(text, "kept");

  // In the parameter read such a step is guarded like any other failure.
  point_.AddFault(pointsim::Fault::Make(pointsim::FaultKind::NoDataBlock, 0, 14, 1));
  kalvo_lorim::PointParams params;
  protocol_->ReadPointParams(kPoint, params);
  EXPECT_EQ(params.GetVolumeLevel(), 255);
  EXPECT_EQ(params.GetFactoryNumber(), "SN-000123");
}

TEST_F(MeasuresTest, QueryWaitsWhileThePointIsBusy) {
  point_.SetQueryBusyReads(3);
  wxString text;
  protocol_->RunVariable254Query(kPoint, 0x0102, text);
  EXPECT_EQ(text, "Query answer");
  EXPECT_EQ(point_.QueryArgument(), 0x0102);
  // The write, the first busy read, three more until idle, the result.
  EXPECT_EQ(Steps(6), (std::vector<Step>{Write(254, type::Word), Read(248, type::Byte), Read(248, type::Byte),
                                         Read(248, type::Byte), Read(248, type::Byte), Read(254, type::Text)}));
}

TEST_F(MeasuresTest, QueryGivesUpWhenThePointStaysBusy) {
  point_.SetQueryBusyReads(1000000);
  wxString text = "kept";
  const auto start = std::chrono::steady_clock::now();
  ExpectCode([&] { protocol_->RunVariable254Query(kPoint, 1, text); },
             static_cast<int>(kalvo_lorim::Error::IncompleteAnswer));
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 10000);
  EXPECT_LT(ms, 20000);
  // Every exchange went well, and the last error says so.
  EXPECT_EQ(protocol_->GetLastError(), 0);
  EXPECT_EQ(text, "kept");
}

TEST_F(MeasuresTest, QueryWithoutBusyFlagWaitsASecond) {
  point_.RemoveVariable(248);
  wxString text;
  const auto start = std::chrono::steady_clock::now();
  protocol_->RunVariable254Query(kPoint, 1, text);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(text, "Query answer");
  EXPECT_GE(ms, 1000);
  // The busy read went out 6 times before its error counted.
  EXPECT_EQ(Steps(8).size(), 8u);

  // Any other failure of the busy read ends the query.
  point_.AddFault(pointsim::Fault::ErrorAnswer(5, 248));
  ExpectCode([&] { protocol_->RunVariable254Query(kPoint, 1, text); }, 5);
}

TEST_F(MeasuresTest, AddressByteAndFixedAnswer) {
  // After the write the next header read finds nothing.
  ExpectCode([&] { protocol_->WriteAddressByte(kPoint, 9); }, static_cast<int>(kalvo_lorim::Error::NoAnswer));
  std::uint8_t a = 1, b = 1;
  std::uint16_t n1 = 0, n2 = 0;
  protocol_->FixedAnswer(kPoint, a, b, n1, n2);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(n1, 11236);
  EXPECT_EQ(n2, 63211);
}

// The measure reads hold the protocol lock: another thread that wants it
// waits until the read is over, and the lock is free again after a failure.
TEST_F(MeasuresTest, MeasureReadsHoldTheProtocolLock) {
  bus_.SetTurnaround(150);
  std::atomic<bool> started{false};
  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> lockTick{0};
  std::thread other([&] {
    while (!started) std::this_thread::yield();
    // Wait until the read is inside its first exchange, then ask for the lock.
    while (!protocol_->IsReading() && !done) std::this_thread::yield();
    wxCriticalSectionLocker hold(protocol_->GetLock());
    lockTick = platform::GetTickCount();
  });
  started = true;
  float value = 0;
  std::uint32_t time = 0;
  std::uint8_t uncertainty = 0;
  std::uint16_t status = 0;
  protocol_->ReadCurrentMeasure(kPoint, value, time, uncertainty, status);
  done = true;
  other.join();
  // The lock came free only once the point had the second request.
  const auto requests = Requests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(std::int32_t(lockTick - requests[1].tick), 0);

  // Recursive: a caller that holds the lock can still read.
  bus_.SetTurnaround(0);
  {
    wxCriticalSectionLocker hold(protocol_->GetLock());
    float first, second;
    std::int32_t integer;
    protocol_->ReadInstantValue(kPoint, first, second, integer);
  }
  // Released after a failure.
  point_.AddFault(pointsim::Fault::ErrorAnswer(5, 16));
  ExpectCode([&] { protocol_->ReadMeasure(kPoint, -1, value, time, uncertainty); }, 5);
  std::atomic<bool> free{false};
  std::thread probe([&] {
    free = protocol_->GetLock().TryEnter();
    if (free) protocol_->GetLock().Leave();
  });
  probe.join();
  EXPECT_TRUE(free);
}

}  // namespace
}  // namespace varstest
