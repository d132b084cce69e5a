// The polling cycle of the application's point, driven by the events the
// device thread would give it.
#include <vector>

#include <gtest/gtest.h>

#include "app/adjustpoint.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;

const Address kAt(1, 2, 3);

Measure MeasureOf(int algorithmNumber) { return Measure(1.5f, "V", 10, 5, algorithmNumber, 0); }

AdjustPoint PointWith(int algorithms) {
  AdjustPoint point(kAt);
  std::vector<kalvo_lorim::Algorithm> list(static_cast<std::size_t>(algorithms));
  for (int i = 0; i < algorithms; ++i) list[static_cast<std::size_t>(i)].index = i;
  point.HandleEvent(Event(EventKind::AlgorithmsRead, kAt, boost::any(list)));
  point.SetState(PointState::Measuring);
  return point;
}

// Answers the point's next command as the device thread would and returns it.
int Step(AdjustPoint& point) {
  const int command = point.NextCommand();
  if (command == CommandKind::ReadCurrentMeasure) {
    point.HandleEvent(Event(EventKind::CurrentMeasure, kAt, boost::any(MeasureOf(0))));
  } else if (command >= CommandKind::ReadAlgorithmMeasure && command < CommandKind::ReadAlgorithmMeasure + 16) {
    const int index = command - CommandKind::ReadAlgorithmMeasure;
    point.HandleEvent(Event(EventKind::AlgorithmMeasure, kAt, boost::any(MeasureOf(index + 1))));
  }
  return command;
}

struct CycleCase {
  int algorithms;
  std::vector<int> commands;  // the next commands from the current measure on
};

class Cycle : public ::testing::TestWithParam<CycleCase> {};

std::vector<int> CurrentThenAlgorithms(int n) {
  std::vector<int> v{CommandKind::ReadCurrentMeasure};
  for (int i = 0; i < n; ++i) v.push_back(CommandKind::ReadAlgorithmMeasure + i);
  return v;
}

TEST_P(Cycle, CurrentMeasureThenEachAlgorithmThenAgain) {
  AdjustPoint point = PointWith(GetParam().algorithms);
  std::vector<int> seen;
  const std::size_t rounds = 2 * GetParam().commands.size() + 1;
  for (std::size_t i = 0; i < rounds; ++i) {
    seen.push_back(Step(point));
    // A plain measure never leaves the point looking like a threshold alarm.
    EXPECT_FALSE(point.IsThresholdExceeded()) << "after step " << i;
  }
  std::vector<int> expected;
  while (expected.size() < rounds) {
    expected.insert(expected.end(), GetParam().commands.begin(), GetParam().commands.end());
  }
  expected.resize(rounds);
  EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(AdjustPoint, Cycle,
                         ::testing::Values(CycleCase{0, CurrentThenAlgorithms(0)},
                                           CycleCase{1, CurrentThenAlgorithms(1)},
                                           CycleCase{3, CurrentThenAlgorithms(3)},
                                           CycleCase{16, CurrentThenAlgorithms(16)},
                                           // Past index 15 there is no state to measure with: the cycle restarts.
                                           CycleCase{17, CurrentThenAlgorithms(16)}));

TEST(AdjustPoint, ThresholdEventsRestartAtTheFirstAlgorithm) {
  for (int kind : {EventKind::ThresholdExceeded, EventKind::PrethresholdExceeded, EventKind::ThresholdReduced}) {
    AdjustPoint point = PointWith(3);
    Step(point);  // current measure
    Step(point);  // algorithm 1
    ASSERT_EQ(point.NextCommand(), CommandKind::ReadAlgorithmMeasure + 1);
    point.HandleEvent(Event(kind, kAt, boost::any(MeasureOf(0))));
    EXPECT_EQ(point.NextCommand(), CommandKind::ReadAlgorithmMeasure) << "kind " << kind;

    AdjustPoint bare = PointWith(0);
    bare.HandleEvent(Event(kind, kAt, boost::any(MeasureOf(0))));
    EXPECT_EQ(bare.NextCommand(), CommandKind::ReadCurrentMeasure) << "kind " << kind;
  }
}

TEST(AdjustPoint, StatusReadAndNewCurrentAlgorithmReturnToTheCurrentMeasure) {
  const Event events[] = {
      Event(EventKind::StatusRead, kAt, boost::any(0L)),
      Event(EventKind::CurrentAlgorithmChanged, kAt, boost::any(kalvo_lorim::AlgorithmNumber(2))),
  };
  for (const Event& event : events) {
    AdjustPoint point = PointWith(3);
    Step(point);
    Step(point);
    point.HandleEvent(event);
    EXPECT_EQ(point.GetState(), PointState::Measuring) << "kind " << event.GetKind();
  }
}

TEST(AdjustPoint, AnEventThePointRefusesLeavesItsState) {
  AdjustPoint point = PointWith(3);
  Step(point);
  const int state = point.GetState();
  // Another point's measure is refused before any handler runs.
  EXPECT_FALSE(point.HandleEvent(Event(EventKind::CurrentMeasure, Address(9, 9, 9), boost::any(MeasureOf(0)))));
  EXPECT_FALSE(point.HandleEvent(Event(EventKind::AlgorithmMeasure, Address(9, 9, 9), boost::any(MeasureOf(3)))));
  EXPECT_EQ(point.GetState(), state);
}

TEST(AdjustPoint, DefaultPointServesTheDirectAddress) {
  EXPECT_EQ(AdjustPoint().GetAddress(), Address(255, 255, 255));
  EXPECT_EQ(AdjustPoint().GetState(), PointState::Plugged);
}

}  // namespace
