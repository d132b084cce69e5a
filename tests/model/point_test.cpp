#include "kalvo_lorim/point.h"

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"

using kalvo_lorim::Address;
using kalvo_lorim::Algorithm;
using kalvo_lorim::Error;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::Point;
using kalvo_lorim::PointParams;

namespace {

const Address kHere(10, 20, 30);
const Address kElsewhere(10, 20, 31);

PointParams ParamsNamed(const char* name, int count = 0) {
  PointParams p;
  p.SetDeviceName(name);
  p.SetUnit("Bq");
  for (int i = 0; i < count; ++i) {
    p.AddParam(PointParam(static_cast<std::uint8_t>(i), 29, "p", wxString::Format("v%d", i)));
  }
  return p;
}

std::vector<Algorithm> TwoAlgorithms() {
  std::vector<Algorithm> algorithms(2);
  algorithms[0].name = "alpha";
  algorithms[1].name = "beta";
  return algorithms;
}

bool Handle(Point& point, int kind, const boost::any& payload, const Address& to = kHere) {
  Event event(kind, to, payload);
  return point.HandleEvent(event);
}

TEST(PointTest, NewPointIsPolledThroughPlugParamsAlgorithmsAndMeasure) {
  Point point(kHere);
  EXPECT_EQ(point.GetState(), 1);
  EXPECT_EQ(point.NextCommand(), 1);

  EXPECT_TRUE(Handle(point, 0, 0L));
  EXPECT_EQ(point.GetState(), 3);
  EXPECT_EQ(point.NextCommand(), 4);

  EXPECT_TRUE(Handle(point, 3, ParamsNamed("Gauge")));
  EXPECT_EQ(point.GetState(), 5);
  EXPECT_EQ(point.NextCommand(), 5);
  EXPECT_EQ(point.GetDeviceName(), "Gauge");
  EXPECT_EQ(point.GetUnit(), "Bq");

  EXPECT_TRUE(Handle(point, 4, TwoAlgorithms()));
  EXPECT_EQ(point.GetState(), 7);
  EXPECT_EQ(point.NextCommand(), 8);
  EXPECT_EQ(point.AlgorithmCount(), 2u);

  EXPECT_TRUE(Handle(point, 5, Measure(5.0f, "Bq", 0, 0, 0, 0)));
  EXPECT_EQ(point.GetState(), 7);
  EXPECT_EQ(point.NextCommand(), 8);
  EXPECT_EQ(point.GetMeasure().GetValue(), 5.0f);
  EXPECT_EQ(point.GetLastEvent().GetKind(), 5);
  EXPECT_EQ(point.GetPreviousEvent().GetKind(), 4);
}

TEST(PointTest, NextCommandByState) {
  const std::map<int, int> expected = {
      {0, 4},  {1, 1},   {2, 2},  {3, 4},  {4, 6},  {5, 5},   {6, 7},  {7, 8},
      {8, 9},  {9, 10},  {16, 17}, {24, 25}, {25, 8}, {27, 8},  {28, 4}, {31, 4},
      {32, 4}, {33, 4},  {41, 4}, {42, 8}, {43, 30}, {44, 37}, {50, 43}, {56, 49},
      {57, 4}, {-1, 4},
  };
  Point point(kHere);
  for (const auto& e : expected) {
    point.SetState(e.first);
    EXPECT_EQ(point.NextCommand(), e.second) << "state " << e.first;
  }
}

TEST(PointTest, EventForAnotherAddressChangesNothing) {
  Point point(kHere);
  point.SetState(5);
  EXPECT_FALSE(Handle(point, 3, ParamsNamed("Other"), kElsewhere));
  EXPECT_EQ(point.GetState(), 5);
  EXPECT_TRUE(point.GetDeviceName().empty());
  EXPECT_EQ(point.GetLastEvent().GetKind(), 55);
  EXPECT_EQ(point.GetLastEvent().GetAddress(), Address(1, 1, 1));
}

TEST(PointTest, EventWithoutHandlerRereadsParametersAndIsStillKept) {
  for (int kind : {55, 56, -1}) {
    Point point(kHere);
    point.SetState(7);
    Event event(kind, kHere, 0L);
    EXPECT_FALSE(point.HandleEvent(event)) << kind;
    EXPECT_EQ(point.GetState(), 3) << kind;
    EXPECT_TRUE(event.IsStored()) << kind;
    const Event last = point.GetLastEvent();
    EXPECT_EQ(last.GetKind(), kind);
    EXPECT_EQ(last.GetAddress(), kHere);
    EXPECT_TRUE(last.IsStored());
    EXPECT_EQ(point.GetPreviousEvent().GetKind(), 55);  // the placeholder
  }
}

TEST(PointTest, RepeatedSerialPortAndUnknownVariableErrorsAreNotNews) {
  for (int kind : {34, 38}) {
    const int failed = kind == 34 ? 32 : 33;
    Point point(kHere);
    const boost::any payload = kind == 34 ? boost::any(Error::SerialPortError) : boost::any(0L);
    EXPECT_TRUE(Handle(point, kind, payload)) << kind;
    EXPECT_EQ(point.GetState(), failed);
    EXPECT_FALSE(Handle(point, kind, payload)) << kind;
    EXPECT_EQ(point.GetState(), failed);
    EXPECT_EQ(point.GetLastEvent().GetKind(), kind);
    EXPECT_EQ(point.GetPreviousEvent().GetKind(), kind);
    EXPECT_EQ(point.NextCommand(), 4);
    EXPECT_TRUE(point.IsFailed());
  }
}

TEST(PointTest, LastErrorFollowsAcceptedEvents) {
  Point point(kHere);
  EXPECT_TRUE(Handle(point, 35, Error::NoAnswer));
  EXPECT_EQ(point.GetState(), 31);
  EXPECT_EQ(point.GetLastError(), 0xF00);
  EXPECT_TRUE(Handle(point, 37, Error::WriteError));
  EXPECT_EQ(point.GetState(), 41);
  EXPECT_EQ(point.GetLastError(), 0xF02);

  // A refused event leaves the last error as it was.
  EXPECT_FALSE(Handle(point, 55, 0L));
  EXPECT_EQ(point.GetLastError(), 0xF02);

  EXPECT_TRUE(Handle(point, 5, Measure(1.0f, "V", 0, 0, 0, 0)));
  EXPECT_EQ(point.GetLastError(), 0);
}

TEST(PointTest, WrongPayloadTypeLeavesStateDataAndLastEventUnchanged) {
  struct Case {
    int kind;
  } cases[] = {{3}, {4}, {40}, {42}, {50}};
  for (const Case& c : cases) {
    Point point(kHere);
    ASSERT_TRUE(Handle(point, 3, ParamsNamed("Kept", 2)));
    ASSERT_TRUE(Handle(point, 4, TwoAlgorithms()));
    Event wrong(c.kind, kHere, wxString("not the payload"));
    EXPECT_THROW(point.HandleEvent(wrong), boost::bad_any_cast) << c.kind;
    EXPECT_EQ(point.GetState(), 7) << c.kind;
    EXPECT_EQ(point.GetDeviceName(), "Kept");
    EXPECT_EQ(point.AlgorithmCount(), 2u);
    EXPECT_EQ(point.GetLastEvent().GetKind(), 4) << c.kind;
  }
  // An error event whose payload is not an error code: state and last event
  // have changed before the code is taken out.
  Point point(kHere);
  EXPECT_THROW(Handle(point, 35, 0L), boost::bad_any_cast);
  EXPECT_EQ(point.GetState(), 31);
  EXPECT_EQ(point.GetLastEvent().GetKind(), 35);
  EXPECT_EQ(point.GetLastError(), 0);
}

TEST(PointTest, HandlersStoreTheirPayloadsAndSetTheirStates) {
  Point point(kHere);
  Point::InstantValue instant{1.5f, 2.5f, 7};
  EXPECT_TRUE(Handle(point, 42, instant));
  EXPECT_EQ(point.GetInstantValue().first, 1.5f);
  EXPECT_EQ(point.GetInstantValue().integer, 7);
  EXPECT_EQ(point.GetState(), 7);

  Point::QuorvanData quorvan;
  quorvan.bit11 = 1;
  quorvan.time = 60;
  quorvan.record = "line";
  EXPECT_TRUE(Handle(point, 50, quorvan));
  EXPECT_EQ(point.GetQuorvanData().record, "line");
  EXPECT_EQ(point.GetQuorvanData().time, 60);

  const std::map<int, int> states = {{1, 2},  {2, 42}, {6, 8},  {12, 8},  {22, 8},
                                     {23, 7}, {24, 1}, {25, 1}, {26, 1},  {28, 3},
                                     {29, 25}, {30, 26}, {31, 27}, {32, 3}, {33, 7},
                                     {36, 37}, {39, 43}, {43, 7}, {53, 7}};
  for (const auto& s : states) {
    boost::any payload = 0L;
    if ((s.first >= 5 && s.first <= 22) || (s.first >= 29 && s.first <= 31) || s.first == 39) {
      payload = Measure(2.0f, "V", 0, 0, 1, 0);
    } else if (s.first == 33) {
      payload = kalvo_lorim::MeasuringAlgorithm::All;
    } else if (s.first == 36) {
      payload = Error::NoAnswer;
    }
    point.SetState(100);
    EXPECT_TRUE(Handle(point, s.first, payload)) << "kind " << s.first;
    EXPECT_EQ(point.GetState(), s.second) << "kind " << s.first;
  }
  // Kinds whose handler accepts without a state of its own.
  for (int kind : {27, 41, 52, 54}) {
    point.SetState(100);
    EXPECT_TRUE(Handle(point, kind, 0L)) << kind;
    EXPECT_EQ(point.GetState(), 100) << kind;
  }
}

TEST(PointTest, ParamsChangedSkipsIndexesPastTheList) {
  Point point(kHere);
  ASSERT_TRUE(Handle(point, 3, ParamsNamed("Dev", 5)));
  ASSERT_TRUE(Handle(point, 5, Measure(3.0f, "V", 0, 0, 0, 0)));
  const std::map<unsigned char, wxString> changes = {{2, "two"}, {7, "seven"}};
  EXPECT_TRUE(Handle(point, 40, changes));
  PointParams params;
  point.GetParams(params);
  ASSERT_EQ(params.ParamCount(), 5u);
  EXPECT_EQ(params.GetParam(2).ValueText(3), "two");
  EXPECT_EQ(params.GetParam(1).ValueText(3), "v1");
  EXPECT_EQ(params.GetParam(4).ValueText(3), "v4");
  EXPECT_EQ(point.GetState(), 7);
  EXPECT_FALSE(point.GetMeasure().HasValue());
}

struct StateTextCase {
  int state;
  const char* engineer;    // UTF-8
  const char* fractional;  // UTF-8
};

std::ostream& operator<<(std::ostream& os, const StateTextCase& c) {
  return os << "state " << c.state;
}

class StateTextTest : public ::testing::TestWithParam<StateTextCase> {};

#define ENG " 12.3 \xC3\x97" "10\xE2\x81\xBB\xC2\xB3" "A"
#define FRA " 12.3 mA"

TEST_P(StateTextTest, BothViews) {
  const StateTextCase& c = GetParam();
  Point point(kHere);
  ASSERT_TRUE(Handle(point, 5, Measure(0.0123456f, "A", 0, 0, 0, 0)));
  point.SetState(c.state);
  EXPECT_EQ(std::string(point.StateText().utf8_str()), c.engineer);
  EXPECT_EQ(std::string(point.StateTextFractional().utf8_str()), c.fractional);
}

INSTANTIATE_TEST_SUITE_P(
    States, StateTextTest,
    ::testing::Values(StateTextCase{1, "Point plugged", "Point plugged"},
                      StateTextCase{2, "Point unplugged", "Point unplugged"},
                      StateTextCase{3, "Reading parameters...", "Reading parameters..."},
                      StateTextCase{4, "", ""},
                      StateTextCase{5, "Reading algorithms...", "Reading algorithms..."},
                      StateTextCase{7, ENG, FRA}, StateTextCase{24, ENG, FRA},
                      StateTextCase{25, "Threshold exceeded" ENG, "Threshold exceeded" FRA},
                      StateTextCase{26, "Prethreshold exceeded" ENG, "Prethreshold exceeded" FRA},
                      StateTextCase{27, "Threshold reduced" ENG, "Threshold reduced" FRA},
                      StateTextCase{28, "No answer", "No answer"},
                      StateTextCase{31, "No answer", "No answer"},
                      StateTextCase{32, "Serial port error", "Serial port error"},
                      StateTextCase{33, "Unknown variable", "Unknown variable"},
                      StateTextCase{34, "Read error", "Read error"},
                      StateTextCase{37, "Read error", "Read error"},
                      StateTextCase{38, "Write error", "Write error"},
                      StateTextCase{41, "Write error", "Write error"},
                      StateTextCase{42, "Measures restarted", "Measures restarted"},
                      StateTextCase{43, ENG, FRA},
                      StateTextCase{44, "Instant value reading", "Instant value reading"},
                      StateTextCase{52, "Quorvan data reading", "Quorvan data reading"},
                      StateTextCase{54, "", ""},
                      StateTextCase{55, "Reading records count", "Reading records count"},
                      StateTextCase{56, "", ""}, StateTextCase{-1, "", ""}));

TEST(PointTest, StateTextWithoutStoredValue) {
  Point point(kHere);
  ASSERT_TRUE(Handle(point, 5, Measure(5.0f, "V", 0, 0, 0, 0)));
  point.ResetMeasure();
  point.SetState(7);
  EXPECT_EQ(point.StateText(), "Measure");
  point.SetState(43);
  EXPECT_EQ(point.StateText(), " 5.00 V");  // no value test in this state
}

TEST(PointTest, FailedStates) {
  Point point(kHere);
  for (int state = 0; state <= 57; ++state) {
    point.SetState(state);
    const bool failed = state == 31 || state == 32 || state == 33 || state == 37 || state == 41;
    EXPECT_EQ(point.IsFailed(), failed) << state;
  }
}

TEST(PointTest, BusyFlagAndRemovalMark) {
  Point point(kHere);
  EXPECT_FALSE(point.MarkForRemoval());
  EXPECT_FALSE(point.IsMarkedForRemoval());
  EXPECT_TRUE(point.TryLock());
  EXPECT_FALSE(point.TryLock());
  EXPECT_TRUE(point.IsBusy());
  EXPECT_TRUE(point.MarkForRemoval());
  EXPECT_TRUE(point.IsMarkedForRemoval());
  point.Unlock();
  EXPECT_FALSE(point.IsBusy());
  EXPECT_TRUE(point.TryLock());
}

TEST(PointTest, CopyTakesStateAndDataButNotEventsMeasureOrInstantValues) {
  Point source(kHere);
  ASSERT_TRUE(Handle(source, 3, ParamsNamed("Dev", 2)));
  ASSERT_TRUE(Handle(source, 4, TwoAlgorithms()));
  ASSERT_TRUE(Handle(source, 42, Point::InstantValue{1.0f, 2.0f, 3}));
  ASSERT_TRUE(Handle(source, 5, Measure(5.0f, "V", 0, 0, 0, 0)));
  ASSERT_TRUE(Handle(source, 35, Error::NoAnswer));
  source.SetName("north");
  source.SetTrueValue(4.5f);
  source.SetFlag1(true);
  source.SetRestricted(true);
  source.SetNextCommand(31, 9);
  ASSERT_TRUE(source.TryLock());
  ASSERT_TRUE(source.MarkForRemoval());

  const auto check = [&](const Point& copy) {
    EXPECT_EQ(copy.GetState(), 31);
    EXPECT_EQ(copy.NextCommand(), 9);  // the copied table
    EXPECT_EQ(copy.GetAddress(), kHere);
    EXPECT_EQ(copy.GetDeviceName(), "Dev");
    EXPECT_EQ(copy.AlgorithmCount(), 2u);
    EXPECT_EQ(copy.GetLastError(), 0xF00);
    EXPECT_EQ(copy.GetName(), "north");
    EXPECT_EQ(copy.GetTrueValue(), 4.5f);
    EXPECT_TRUE(copy.GetFlag1());
    EXPECT_FALSE(copy.GetFlag2());
    EXPECT_TRUE(copy.IsRestricted());
    EXPECT_TRUE(copy.IsBusy());
    EXPECT_TRUE(copy.IsMarkedForRemoval());
    // Left as in a new point.
    EXPECT_EQ(copy.GetLastEvent().GetKind(), 55);
    EXPECT_EQ(copy.GetPreviousEvent().GetKind(), 55);
    EXPECT_FALSE(copy.GetMeasure().HasValue());
    EXPECT_EQ(copy.GetInstantValue().integer, 0);
    EXPECT_EQ(copy.GetInstantValue().first, 0.0f);
  };
  Point copied(source);
  check(copied);

  Point assigned(kElsewhere);
  assigned = source;
  EXPECT_EQ(assigned.GetLastEvent().GetAddress(), Address(1, 1, 1));
  check(assigned);

  // The copy has a lock and flags of its own.
  copied.Unlock();
  EXPECT_TRUE(source.IsBusy());
  // The copied handler table works on the copy.
  EXPECT_TRUE(Handle(copied, 0, 0L));
  EXPECT_EQ(copied.GetState(), 3);
  EXPECT_EQ(source.GetState(), 31);
}

// Walks on to a state of its own after each current measure, as the
// application's point does.
class CyclingPoint : public Point {
 public:
  using Point::Point;
  bool OnCurrentMeasure(const Event& event) override {
    const bool accepted = Point::OnCurrentMeasure(event);
    if (accepted) SetState(9);
    return accepted;
  }
  bool StoresEvents() const override { return false; }
  bool Veto(const Event&) { return false; }
};

TEST(PointTest, SubclassOverridesAreReachedThroughTheTables) {
  CyclingPoint point(kHere);
  Event event(5, kHere, Measure(1.0f, "V", 0, 0, 0, 0));
  EXPECT_TRUE(point.HandleEvent(event));
  EXPECT_EQ(point.GetState(), 9);
  EXPECT_EQ(point.NextCommand(), 10);
  EXPECT_FALSE(event.IsStored());
  EXPECT_FALSE(point.GetLastEvent().IsStored());

  // A plain copy of the subclass point behaves as the library's point.
  Point plain(point);
  EXPECT_TRUE(Handle(plain, 5, Measure(1.0f, "V", 0, 0, 0, 0)));
  EXPECT_EQ(plain.GetState(), 7);

  // The override table comes first; DispatchEvent bypasses it.
  point.SetOverrideHandler(5, static_cast<Point::Handler>(&CyclingPoint::Veto));
  point.SetState(7);
  EXPECT_FALSE(Handle(point, 5, Measure(2.0f, "V", 0, 0, 0, 0)));
  EXPECT_EQ(point.GetState(), 7);
  EXPECT_EQ(point.GetLastEvent().GetKind(), 5);
  EXPECT_TRUE(point.DispatchEvent(Event(5, kElsewhere, Measure(2.0f, "V", 0, 0, 0, 0))));
  EXPECT_EQ(point.GetState(), 9);
  EXPECT_FALSE(point.DispatchEvent(Event(55, kHere, 0L)));
}

TEST(PointTest, ConstEventIsHandledAsACopy) {
  Point point(kHere);
  const Event event(0, kHere, 0L);
  EXPECT_TRUE(point.HandleEvent(event));
  EXPECT_FALSE(event.IsStored());
  EXPECT_TRUE(point.GetLastEvent().IsStored());
}

TEST(PointTest, TryLockAdmitsOneHolderAtATime) {
  Point point(kHere);
  std::atomic<int> holders{0};
  std::atomic<bool> overlap{false};
  std::atomic<int> claims{0};
  const auto worker = [&] {
    for (int i = 0; i < 20000; ++i) {
      if (!point.TryLock()) continue;
      if (holders.fetch_add(1) != 0) overlap = true;
      claims.fetch_add(1);
      holders.fetch_sub(1);
      point.Unlock();
    }
  };
  std::thread a(worker), b(worker);
  a.join();
  b.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_GT(claims.load(), 0);
  EXPECT_FALSE(point.IsBusy());
}

}  // namespace
