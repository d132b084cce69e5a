#include "kalvo_lorim/event.h"

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/measure.h"

using kalvo_lorim::Address;
using kalvo_lorim::Error;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::MeasuringAlgorithm;

namespace {

const Address kPoint(1, 1, 2);

Measure NotReady(const char* text, int number) {
  Measure m(2.5f, "V", 0, 0, 0, 0x0200);
  m.SetNotReady(wxString::FromUTF8(text), number);
  return m;
}

struct EventCase {
  const char* name;
  int kind;
  Address address;
  boost::any payload;
  wxString description;
  wxString logText;
  int level;
  wxString valueText;
};

std::ostream& operator<<(std::ostream& os, const EventCase& c) { return os << c.name; }

class EventTextTest : public ::testing::TestWithParam<EventCase> {};

TEST_P(EventTextTest, DescribesAndLogsByKind) {
  const EventCase& c = GetParam();
  const Event e(c.kind, c.address, c.payload);
  EXPECT_EQ(e.GetKind(), c.kind);
  EXPECT_EQ(e.GetAddress(), c.address);
  EXPECT_EQ(e.GetDescription(), c.description);
  EXPECT_EQ(e.GetLogText(), c.logText);
  EXPECT_EQ(e.GetLogColours().GetLevel(), c.level);
  EXPECT_EQ(e.ValueText(), c.valueText);
  EXPECT_FALSE(e.IsStored());
}

const Measure kFive(5.0f, "V", 0, 0, 0, 0);
const Measure kAlarm(250.0f, "V", 0, 0, 0, 0x0020);

INSTANTIATE_TEST_SUITE_P(
    Kinds, EventTextTest,
    ::testing::Values(
        EventCase{"PluggedCpu", 0, Address(1, 1, 1), 0L, "CPU plugged", "CPU plugged", 0, ""},
        EventCase{"PluggedPoint", 0, kPoint, 0L, "Point plugged", "Point plugged", 0, ""},
        EventCase{"UnpluggedCpu", 1, Address(1, 1, 1), 0L, "CPU unplugged", "CPU unplugged", 0,
                  ""},
        EventCase{"UnpluggedPoint", 1, Address(2, 1, 1), 0L, "Point unplugged",
                  "Point unplugged", 0, ""},
        EventCase{"CurrentMeasure", 5, kPoint, kFive, " 5.00 V", " 5.00 V", 0, "5"},
        EventCase{"AlgorithmMeasure", 6, kPoint, Measure(0.0123456f, "A", 0, 0, 1, 0),
                  wxString::FromUTF8(" 12.3 \xC3\x97" "10\xE2\x81\xBB\xC2\xB3" "A"),
                  wxString::FromUTF8(" 12.3 \xC3\x97" "10\xE2\x81\xBB\xC2\xB3" "A"), 0, "0.0123"},
        EventCase{"ReservedMeasure", 7, kPoint, kFive, "Unknown event", "Unknown event", 0, "5"},
        EventCase{"ReservedMeasureOtherPayload", 22, kPoint, 0L, "Unknown event",
                  "Unknown event", 0, ""},
        EventCase{"ThresholdExceeded", 29, kPoint, kAlarm, " 250 V Threshold exceeded",
                  "Threshold exceeded", 2, "250"},
        EventCase{"CurrentAlgorithmAll", 33, kPoint, MeasuringAlgorithm::All,
                  "Current algorithm changed (255)", "Current algorithm changed (255)", 0, ""},
        EventCase{"SerialPortError", 34, kPoint, Error::SerialPortError, "Serial port error",
                  "Serial port error", 1, ""},
        EventCase{"NoAnswer", 35, kPoint, Error::NoAnswer, "No answer", "No answer", 1, ""},
        EventCase{"UnknownVariable", 38, kPoint, 0L, "Unknown variable", "Unknown variable", 1,
                  ""},
        EventCase{"NotReadyThreeWords", 39, kPoint, NotReady("Block warming", 7),
                  "Block warming 7", "Block warming", 0, "Block warming 7"},
        EventCase{"NotReadyButReadyMeasure", 39, kPoint, kFive, " 5.00 V", " 5.00", 0, " 5.00 V"},
        EventCase{"NotReadyLeadingBlankOnly", 39, kPoint, NotReady("", 12), " 12", "", 0,
                  " 12"},
        EventCase{"NotReadySeveralBlanks", 39, kPoint, NotReady("Not  ready yet", 3),
                  "Not  ready yet 3", "Not  ready yet", 0, "Not  ready yet 3"},
        EventCase{"RecordsCount", 53, kPoint, std::uint16_t(4), "Redords count read",
                  "Redords count read", 0, ""},
        EventCase{"Unknown", 55, kPoint, 0L, "Unknown event", "Program error! Unknown event", 1,
                  ""},
        EventCase{"PastTheTable", 56, kPoint, 0L, "Unknown event", "", -1, ""},
        EventCase{"Negative", -1, kPoint, kFive, "Unknown event", "", -1, ""}),
    [](const ::testing::TestParamInfo<EventCase>& info) { return info.param.name; });

TEST(EventTest, WrongPayloadTypeThrowsForKindsThatReadIt) {
  for (int kind : {5, 6, 29, 30, 31, 33, 39}) {
    EXPECT_THROW(Event(kind, kPoint, 0L), boost::bad_any_cast) << "kind " << kind;
  }
  EXPECT_THROW(Event(33, kPoint, 255), boost::bad_any_cast);  // an int is not an algorithm
  // Kinds that do not read their payload accept anything.
  for (int kind : {0, 3, 4, 7, 34, 40, 55, 56}) {
    EXPECT_NO_THROW(Event(kind, kPoint, wxString("x"))) << "kind " << kind;
  }
}

TEST(EventTest, CopyKeepsTimeStampPayloadAndStoreFlag) {
  Event source(5, kPoint, kFive);
  source.SetStored(true);
  source.SetTime(wxDateTime(29, wxDateTime::Feb, 2012, 10, 11, 12, 345));

  const Event copy(source);
  EXPECT_EQ(copy.GetTime(), source.GetTime());
  EXPECT_EQ(copy.GetTime().GetMillisecond(), 345);
  EXPECT_TRUE(copy.IsStored());
  EXPECT_EQ(copy.GetDescription(), source.GetDescription());
  EXPECT_EQ(boost::any_cast<Measure>(copy.GetData()).GetValue(), 5.0f);

  Event assigned(0, Address(1, 1, 1), 0L);
  assigned = source;
  EXPECT_EQ(assigned.GetTime(), source.GetTime());
  EXPECT_EQ(assigned.GetKind(), 5);
  EXPECT_TRUE(assigned.IsStored());
}

TEST(EventTest, TimeStampIsTakenAtConstruction) {
  const wxDateTime before = wxDateTime::Now();
  const Event e(0, kPoint, 0L);
  const wxDateTime after = wxDateTime::Now();
  ASSERT_TRUE(e.GetTime().IsValid());
  EXPECT_LE(before, e.GetTime());
  EXPECT_LE(e.GetTime(), after);
}

TEST(EventTest, SetTimeNeverPassesThroughAnInvalidDate) {
  Event e(0, kPoint, 0L);
  e.SetTime(wxDateTime(31, wxDateTime::Jan, 2013, 1, 2, 3, 4));
  e.SetTime(wxDateTime(28, wxDateTime::Feb, 2013, 5, 6, 7, 8));
  EXPECT_EQ(e.GetTime(), wxDateTime(28, wxDateTime::Feb, 2013, 5, 6, 7, 8));
}

TEST(EventTest, KindPredicates) {
  const std::map<int, std::vector<bool>> expected = {
      // IsError, IsThresholdExceeded, IsPrethresholdExceeded, IsThresholdReduced,
      // IsMeasureNotReady, IsParamsChanged
      {34, {false, false, false, false, false, false}},
      {35, {true, false, false, false, false, false}},
      {36, {true, false, false, false, false, false}},
      {37, {true, false, false, false, false, false}},
      {38, {false, false, false, false, false, false}},
      {29, {false, true, false, false, false, false}},
      {30, {false, false, true, false, false, false}},
      {31, {false, false, false, true, false, false}},
      {39, {false, false, false, false, true, false}},
      {40, {false, false, false, false, false, true}},
  };
  for (const auto& entry : expected) {
    const int kind = entry.first;
    const boost::any payload =
        (kind >= 29 && kind <= 31) || kind == 39 ? boost::any(kAlarm) : boost::any(0L);
    const Event e(kind, kPoint, payload);
    const std::vector<bool> got = {e.IsError(),          e.IsThresholdExceeded(),
                                   e.IsPrethresholdExceeded(), e.IsThresholdReduced(),
                                   e.IsMeasureNotReady(), e.IsParamsChanged()};
    EXPECT_EQ(got, entry.second) << "kind " << kind;
  }
}

TEST(EventLogLineTest, DefaultAndLevelColours) {
  const EventLogLine empty;
  EXPECT_TRUE(empty.GetText().empty());
  EXPECT_EQ(empty.GetColours().GetLevel(), -1);
  const EventLogLine alarm("Alarm", 2);
  EXPECT_EQ(alarm.GetText(), "Alarm");
  EXPECT_EQ(alarm.GetColours().GetBackground(), wxColour(255, 0, 0));
  EXPECT_TRUE(alarm.GetColours().GetFlag());
}

}  // namespace
