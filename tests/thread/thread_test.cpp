// The device thread against simulated points on a pseudo-terminal, with a
// target that records what it is told.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <time.h>

#include <gtest/gtest.h>

#include "kalvo_lorim/command.h"
#include "kalvo_lorim/eventcmdtarget.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/thread.h"
#include "platform/tick.h"
#include "pointsim.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::Point;
using kalvo_lorim::Thread;

constexpr int MovedUp = -1;
constexpr int MovedDown = -2;

// What the target heard: the point's address and a copy of its last event
// (or a move), taken on the device thread while it held the point.
struct Note {
  int kind;
  Address address;
  Event event;
};

class Recorder : public kalvo_lorim::EventCmdTarget {
 public:
  void OnPointChanged(Point* point) override { Add(point->GetLastEvent().GetKind(), point); }
  void OnPointMovedUp(Point* point) override { Add(MovedUp, point); }
  void OnPointMovedDown(Point* point) override { Add(MovedDown, point); }

  std::vector<Note> Notes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
  }
  bool WaitFor(const std::function<bool(const std::vector<Note>&)>& done, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(notes_); });
  }
  bool WaitForCount(std::size_t count, int timeoutMs) const {
    return WaitFor([&](const std::vector<Note>& n) { return n.size() >= count; }, timeoutMs);
  }
  bool WaitForKind(int kind, const Address& address, int timeoutMs) const {
    return WaitFor([&](const std::vector<Note>& notes) { return Count(notes, kind, address) > 0; }, timeoutMs);
  }
  static std::size_t Count(const std::vector<Note>& notes, int kind, const Address& address) {
    return std::count_if(notes.begin(), notes.end(),
                         [&](const Note& n) { return n.kind == kind && n.address == address; });
  }

 private:
  void Add(int kind, Point* point) {
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back({kind, point->GetAddress(), point->GetLastEvent()});
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Note> notes_;
};

std::vector<int> Kinds(const std::vector<Note>& notes, const Address& address) {
  std::vector<int> kinds;
  for (const Note& n : notes) {
    if (n.address == address) kinds.push_back(n.kind);
  }
  return kinds;
}

std::vector<int> Prefix(std::vector<int> v, std::size_t n) {
  if (v.size() > n) v.resize(n);
  return v;
}

// Ids of the recorded requests to one address; identify frames give -1.
std::vector<int> RequestIds(const pointsim::Bus& bus, const Address& to) {
  std::vector<int> ids;
  for (const pointsim::Request& r : bus.Requests()) {
    if (r.status == pointsim::RequestStatus::Ok && r.frame.destination == to) ids.push_back(r.frame.Id());
  }
  return ids;
}

const Address kA(1, 2, 3);
const Address kB(1, 2, 4);
const Address kC(1, 2, 5);

class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link("COM7", bus_.SlavePath());
    bus_.Start();
  }
  void TearDown() override {
    StopThread();
    bus_.Stop();
  }

  pointsim::Point& SimPoint(const Address& address) { return bus_.AddPoint(address); }
  Point* AddPoint(const Address& address) {
    Point* point = new Point(address);
    points_.Add(point);
    return point;
  }
  void StartThread(const char* port = "COM7", bool listen = false, unsigned timeoutMs = 40) {
    const kalvo_lorim::SerialPortLorimProtocol::Configurator config(port, timeoutMs, 6, 9600, 'N', 8, 0);
    thread_ = new Thread(config, &points_, nullptr, &commands_, &target_, listen);
    ASSERT_TRUE(thread_->Start());
  }
  void StopThread() {
    if (thread_) thread_->Stop();
    thread_ = nullptr;
  }

  pointsim::Bus bus_;
  testsupport::PortFolder ports_;
  kalvo_lorim::PointsCollection points_;
  CommandQueue commands_;
  Recorder target_;
  Thread* thread_ = nullptr;
};

TEST_F(ThreadTest, NewPointRunsThroughTheCycleAndFollowsTheValue) {
  pointsim::Point& sim = SimPoint(kA);
  AddPoint(kA);
  StartThread();

  ASSERT_TRUE(target_.WaitForCount(4, 10000));
  EXPECT_EQ(Prefix(Kinds(target_.Notes(), kA), 4), (std::vector<int>{0, 3, 4, 5}));
  const Note params = target_.Notes()[1];
  EXPECT_EQ(boost::any_cast<kalvo_lorim::PointParams>(params.event.GetData()).GetDeviceName(), "KALVO-SIM");

  sim.SetCurrentMeasure(42.5f, 2);
  ASSERT_TRUE(target_.WaitFor(
      [](const std::vector<Note>& notes) {
        return std::any_of(notes.begin(), notes.end(), [](const Note& n) {
          return n.kind == 5 && boost::any_cast<Measure>(n.event.GetData()).GetValue() == 42.5f;
        });
      },
      5000));
}

// Commands queued before the thread starts, and what the target hears first.
struct QueueCase {
  const char* name;
  bool restricted;
  std::vector<std::pair<int, boost::any>> posts;
  std::vector<int> firstKinds;
  std::vector<int> forbiddenIds;  // never requested while those were heard
  int firstRequestId;             // 0: not checked
};

class QueuedCommands : public ThreadTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueuedCommands, RunOnePerVisitOldestFirst) {
  const QueueCase& c = GetParam();
  SimPoint(kA);
  Point* point = AddPoint(kA);
  point->SetRestricted(c.restricted);
  for (const auto& post : c.posts) commands_.Post(post.first, kA, post.second);
  StartThread();

  ASSERT_TRUE(target_.WaitForCount(c.firstKinds.size(), 10000));
  EXPECT_EQ(Prefix(Kinds(target_.Notes(), kA), c.firstKinds.size()), c.firstKinds);
  StopThread();
  const std::vector<int> ids = RequestIds(bus_, kA);
  for (int id : c.forbiddenIds) EXPECT_EQ(std::count(ids.begin(), ids.end(), id), 0) << "id " << id;
  if (c.firstRequestId != 0) {
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.front(), c.firstRequestId);
  }
}

const kalvo_lorim::DateTime kDate(25, 1, 2, 3, 4, 5, 6);

INSTANTIATE_TEST_SUITE_P(
    Thread, QueuedCommands,
    ::testing::Values(
        QueueCase{"OldestFirst", false, {{41, 0L}, {40, 0L}, {50, 0L}}, {46, 45, 3}, {}, 24},
        QueueCase{"KeyZeroSendsNothing", false, {{0, 0L}, {48, 0L}}, {53, 5}, {}, 253},
        QueueCase{"WrongArgumentTypePostsNothing", false, {{3, 1}, {48, 0L}}, {53, 5}, {25}, 253},
        QueueCase{"DataBlockAsPointerPostsNothing",
                  false,
                  {{38, static_cast<unsigned char*>(nullptr)}, {48, 0L}},
                  {53, 5},
                  {248},
                  253},
        QueueCase{"RestrictedRunsOnlyTheDeviceDate",
                  true,
                  {{27, Address(9, 9, 9)}, {29, kDate}},
                  {25, 0},
                  {29},
                  31}),
    [](const ::testing::TestParamInfo<QueueCase>& info) { return std::string(info.param.name); });

TEST_F(ThreadTest, DataBlockTravelsByValue) {
  pointsim::Point& sim = SimPoint(kA);
  AddPoint(kA);
  Thread::DataBlock block;
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i + 1);
  {
    // The poster's copy is gone before the thread runs the command.
    Thread::DataBlock copy = block;
    commands_.Post(38, kA, copy);
    copy.fill(0);
  }
  StartThread();
  ASSERT_TRUE(target_.WaitForKind(43, kA, 5000));
  EXPECT_EQ(sim.DataBlock(), pointsim::Bytes(block.begin(), block.end()));
}

// A point that counts every serial-port error it is handed, accepted or not.
class CountingPoint : public Point {
 public:
  using Point::Point;
  bool OnSerialPortError(const Event& event) override {
    ++portErrors;
    return Point::OnSerialPortError(event);
  }
  std::atomic<int> portErrors{0};
};

TEST_F(ThreadTest, ClosedPortIsReportedOncePerPointAndStopEndsPromptly) {
  std::vector<CountingPoint*> counting;
  for (const Address& a : {kA, kB, kC}) {
    counting.push_back(new CountingPoint(a));
    points_.Add(counting.back());
  }
  StartThread("COM99");  // no such port

  const std::uint32_t deadline = platform::GetTickCount() + 5000;
  while (std::any_of(counting.begin(), counting.end(), [](CountingPoint* p) { return p->portErrors < 3; })) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "too few reports";
    target_.WaitForCount(1000, 20);
  }
  const std::uint32_t before = platform::GetTickCount();
  StopThread();
  EXPECT_LT(platform::GetTickCount() - before, 700u);

  const std::vector<Note> notes = target_.Notes();
  for (const Address& a : {kA, kB, kC}) {
    EXPECT_EQ(Kinds(notes, a), (std::vector<int>{34, 1}));
  }
  const Note& first = notes.front();
  EXPECT_EQ(boost::any_cast<kalvo_lorim::Error>(first.event.GetData()), kalvo_lorim::Error::SerialPortError);
}

TEST_F(ThreadTest, SilentPointGetsNoAnswerAfterSixTransmissionsThenAFullRead) {
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::NoAnswer(6));
  AddPoint(kA);
  StartThread();

  ASSERT_TRUE(target_.WaitForCount(3, 15000));
  EXPECT_EQ(Prefix(Kinds(target_.Notes(), kA), 3), (std::vector<int>{0, 35, 3}));
  const std::vector<int> ids = RequestIds(bus_, kA);
  ASSERT_GE(ids.size(), 7u);
  // Six identify frames unanswered, then the new read begins with one more.
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 7), std::vector<int>(7, -1));
}

TEST_F(ThreadTest, IncompleteAnswerPostsNothingAndTheSameCommandRunsAgain) {
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::Make(pointsim::FaultKind::TruncatedData, 2, 15, 6));
  Point* point = AddPoint(kA);
  point->SetState(PointState::Measuring);
  StartThread();

  ASSERT_TRUE(target_.WaitForCount(1, 10000));
  StopThread();
  EXPECT_EQ(Prefix(Kinds(target_.Notes(), kA), 1), std::vector<int>{5});
  const std::vector<int> ids = RequestIds(bus_, kA);
  // Six cut answers of the first visit, the good one of the next.
  ASSERT_GE(ids.size(), 7u);
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 7), std::vector<int>(7, 15));
}

// Answers that keep failing, other than silence: after a few failed visits
// the point is told of a read error, and reading starts again from the
// parameters. A busy point is only asked again.
struct FailingCase {
  const char* name;
  pointsim::Fault fault;
  bool reported;
};

class FailingAnswers : public ThreadTest, public ::testing::WithParamInterface<FailingCase> {};

TEST_P(FailingAnswers, ReportedAsAReadErrorAfterAFewVisitsInARow) {
  const FailingCase& c = GetParam();
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(c.fault);
  Point* point = AddPoint(kA);
  point->SetState(PointState::Measuring);
  StartThread();

  const std::size_t transmissions = 6 * Thread::FailedVisitLimit;
  ASSERT_TRUE(bus_.WaitForRequests(transmissions + 12, 20000));
  StopThread();
  const std::vector<int> kinds = Kinds(target_.Notes(), kA);
  const std::vector<int> ids = RequestIds(bus_, kA);
  if (!c.reported) {
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), static_cast<int>(EventKind::ReadError)), 0);
    EXPECT_EQ(ids, std::vector<int>(ids.size(), 15));
    return;
  }
  ASSERT_FALSE(kinds.empty());
  EXPECT_EQ(kinds[0], EventKind::ReadError);
  // Every transmission of the failed visits asked for the measure, then the
  // point was read afresh.
  ASSERT_GT(ids.size(), transmissions);
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + static_cast<long>(transmissions)),
            std::vector<int>(transmissions, 15));
  EXPECT_NE(ids[transmissions], 15);
}

INSTANTIATE_TEST_SUITE_P(
    Thread, FailingAnswers,
    ::testing::Values(
        FailingCase{"SpoiledHeaders", pointsim::Fault::Make(pointsim::FaultKind::BadHeaderChecksum), true},
        FailingCase{"SpoiledData", pointsim::Fault::Make(pointsim::FaultKind::BadDataChecksum), true},
        FailingCase{"CutData", pointsim::Fault::Make(pointsim::FaultKind::TruncatedData, 2), true},
        FailingCase{"ErrorAnswers", pointsim::Fault::ErrorAnswer(4), true},
        FailingCase{"BusyPoint", pointsim::Fault::ErrorAnswer(5), false}),
    [](const ::testing::TestParamInfo<FailingCase>& info) { return info.param.name; });

TEST_F(ThreadTest, StopEndsAFailingVisitAtItsCurrentTransmissionAndReportsNothingOfIt) {
  // Cut answers with a long time-out: six transmissions take over 3 s.
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::Make(pointsim::FaultKind::TruncatedData, 2, 15));
  Point* point = AddPoint(kA);
  point->SetState(PointState::Measuring);
  StartThread("COM7", false, 500);
  ASSERT_TRUE(bus_.WaitForRequests(2, 5000));

  // At most the transmission that was under way when the stop came goes out.
  const std::size_t heard = bus_.RequestCount();
  StopThread();
  EXPECT_FALSE(bus_.WaitForRequests(heard + 2, 1000));
  EXPECT_EQ(Kinds(target_.Notes(), kA), std::vector<int>{EventKind::Unplugged});
}

struct StatusCase {
  const char* name;
  std::uint16_t word;
  pointsim::Bytes changedIds;
  std::vector<int> kinds;
  std::vector<int> requestIds;  // the first ones
};

class StatusFollowUps : public ThreadTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusFollowUps, OnlyTheFirstBitFoundTakesEffect) {
  const StatusCase& c = GetParam();
  pointsim::Point& sim = SimPoint(kA);
  sim.SetStatusWord(c.word);
  if (!c.changedIds.empty()) sim.SetVariable(8, pointsim::type::Byte, c.changedIds);
  AddPoint(kA);
  commands_.Post(7, kA, 0L);
  StartThread();

  ASSERT_TRUE(target_.WaitForCount(c.kinds.size() + 1, 10000));
  StopThread();
  EXPECT_EQ(Prefix(Kinds(target_.Notes(), kA), c.kinds.size()), c.kinds);
  EXPECT_EQ(Prefix(RequestIds(bus_, kA), c.requestIds.size()), c.requestIds);
}

pointsim::Bytes LongChangedList() {
  pointsim::Bytes ids(200, 3);
  ids[Thread::ChangedIdCapacity + 10] = 28;  // past the room: cut off
  return ids;
}

INSTANTIATE_TEST_SUITE_P(
    Thread, StatusFollowUps,
    ::testing::Values(StatusCase{"NotReadyBeforeThreshold", 0x0220, {}, {23, 39}, {24, 10, 15}},
                      StatusCase{"ReducedBeforePrethreshold", 0x00C0, {}, {23, 31}, {24, 15}},
                      StatusCase{"DeviceCodeChangedReadsEverything", 0x0400, {3, 28}, {23, 3}, {24, 8, -1}},
                      StatusCase{"ParamsChanged", 0x0400, {3, 5}, {23, 40}, {24, 8, 15}},
                      StatusCase{"LongChangedListIsCut", 0x0400, LongChangedList(), {23, 40}, {24, 8, 15}}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST_F(ThreadTest, UnplugDeletesThePointAndPollingGoesOn) {
  SimPoint(kA);
  SimPoint(kB);
  AddPoint(kA);
  AddPoint(kB);
  commands_.Post(2, kA, 0L);
  StartThread();

  ASSERT_TRUE(target_.WaitForKind(4, kB, 10000));
  StopThread();
  ASSERT_EQ(points_.Size(), 1u);
  EXPECT_EQ(points_.At(0)->GetAddress(), kB);
  EXPECT_EQ(Kinds(target_.Notes(), kA), std::vector<int>{1});
  const std::vector<int> kinds = Kinds(target_.Notes(), kB);
  EXPECT_EQ(Prefix(kinds, 3), (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(kinds.back(), 1);
  EXPECT_TRUE(RequestIds(bus_, kA).empty());
}

struct MoveCase {
  const char* name;
  int command;
  int index;
  std::vector<Address> order;
  int notified;  // 0: no notification
};

class MovePoints : public ThreadTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MovePoints, MoveOnePlaceUnlessAtTheEnd) {
  const MoveCase& c = GetParam();
  const std::vector<Address> addresses{kA, kB, kC};
  for (const Address& a : addresses) {
    SimPoint(a);
    AddPoint(a);
  }
  const Address moved = addresses[c.index];
  commands_.Post(c.command, moved, 0L);
  StartThread();

  // The plug report comes at the visit after the move.
  ASSERT_TRUE(target_.WaitForKind(0, moved, 10000));
  StopThread();
  std::vector<Address> order;
  for (unsigned i = 0; i < points_.Size(); ++i) order.push_back(points_.At(i)->GetAddress());
  EXPECT_EQ(order, c.order);
  const std::vector<Note> notes = target_.Notes();
  EXPECT_EQ(Recorder::Count(notes, MovedUp, moved) + Recorder::Count(notes, MovedDown, moved),
            c.notified == 0 ? 0u : 1u);
  if (c.notified != 0) {
    EXPECT_EQ(Recorder::Count(notes, c.notified, moved), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Thread, MovePoints,
                         ::testing::Values(MoveCase{"FirstUp", 32, 0, {kA, kB, kC}, 0},
                                           MoveCase{"LastDown", 33, 2, {kA, kB, kC}, 0},
                                           MoveCase{"MiddleUp", 32, 1, {kB, kA, kC}, MovedUp},
                                           MoveCase{"FirstDown", 33, 0, {kB, kA, kC}, MovedDown}),
                         [](const ::testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

struct TrueValueCase {
  const char* name;
  float parameter30;
  float trueValue;
  int quorvanInteger;
};

class TrueValue : public ThreadTest, public ::testing::WithParamInterface<TrueValueCase> {};

TEST_P(TrueValue, ThreeDigitsAndAnIntegerClampedToItsRange) {
  const TrueValueCase& c = GetParam();
  pointsim::Point& sim = SimPoint(kA);
  sim.SetFloat(173, c.parameter30);  // value variable of dynamic parameter 30
  Point* point = AddPoint(kA);
  point->SetState(PointState::Measuring);
  StartThread();

  // The Quorvan data take their time and status bits from the last measure.
  ASSERT_TRUE(target_.WaitForKind(5, kA, 10000));
  commands_.Post(45, kA, 0L);
  ASSERT_TRUE(target_.WaitForKind(50, kA, 10000));
  commands_.Post(49, kA, 0L);
  ASSERT_TRUE(target_.WaitForKind(42, kA, 10000));
  StopThread();

  const std::vector<Note> notes = target_.Notes();
  const auto quorvan = std::find_if(notes.begin(), notes.end(), [](const Note& n) { return n.kind == 50; });
  const auto data = boost::any_cast<Point::QuorvanData>(quorvan->event.GetData());
  EXPECT_EQ(data.parameter30, c.quorvanInteger);
  EXPECT_EQ(data.bit11, 0);
  EXPECT_TRUE(data.record.empty());
  EXPECT_FLOAT_EQ(point->GetTrueValue(), c.trueValue);
}

INSTANTIATE_TEST_SUITE_P(Thread, TrueValue,
                         ::testing::Values(TrueValueCase{"Float", 12.345f, 12.3f, 12},
                                           TrueValueCase{"Negative", -7.89f, -7.89f, -7},
                                           TrueValueCase{"AboveIntRange", 1e12f, 1e12f, INT_MAX},
                                           TrueValueCase{"BelowIntRange", -1e12f, -1e12f, INT_MIN}),
                         [](const ::testing::TestParamInfo<TrueValueCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ThreadTest, AbandonedThreadInAReadLetsGoAtOnceAndFreesThePort) {
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::NoAnswer());
  AddPoint(kA);
  StartThread();

  const std::uint32_t deadline = platform::GetTickCount() + 5000;
  while (!thread_->IsReading()) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "never reads";
    target_.WaitForCount(1000, 1);
  }
  const std::size_t heard = target_.Notes().size();
  const std::uint32_t before = platform::GetTickCount();
  EXPECT_TRUE(thread_->Abandon());
  thread_ = nullptr;
  // Far less than the six full read time-outs of the exchange it was in.
  EXPECT_LT(platform::GetTickCount() - before, 1500u);
  EXPECT_EQ(Thread::AbandonedCount(), 0u);

  // As after a kill: the owner takes its points back at once.
  points_.ReleaseBusy();
  EXPECT_TRUE(points_.RemoveAll());
  EXPECT_EQ(target_.Notes().size(), heard);

  // The port is free again for the next connection, and nothing is left locked.
  sim.ClearFaults();
  AddPoint(kA);
  commands_.Post(48, kA, 0L);
  StartThread();
  ASSERT_TRUE(target_.WaitForKind(53, kA, 10000));
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A point held elsewhere (a panel reading it) is waited for without burning
// a core, and the visits keep their order: the next point is not taken first.
TEST_F(ThreadTest, PointHeldElsewhereIsWaitedForInOrder) {
  SimPoint(kA);
  SimPoint(kB);
  Point* held = AddPoint(kA);
  AddPoint(kB);
  ASSERT_TRUE(points_.TryLock(held));
  const double cpuBefore = ProcessCpuMs();
  StartThread();
  EXPECT_FALSE(target_.WaitForCount(1, 500));
  const double cpuMs = ProcessCpuMs() - cpuBefore;
  EXPECT_LT(cpuMs, 150.0) << "the wait spins";

  points_.Release(held);
  ASSERT_TRUE(target_.WaitForCount(1, 5000));
  EXPECT_EQ(target_.Notes().front().address, kA);
}

// A point whose handling of the records count throws what the library does
// not know, the first time only.
class ThrowingPoint : public Point {
 public:
  using Point::Point;
  bool OnRecordsCountRead(const Event& event) override {
    if (!thrown_.exchange(true)) throw std::runtime_error("records count out of reach");
    return Point::OnRecordsCountRead(event);
  }

 private:
  std::atomic<bool> thrown_{false};
};

TEST_F(ThreadTest, UnexpectedExceptionIsReportedAndPollingGoesOn) {
  SimPoint(kA);
  SimPoint(kB);
  points_.Add(new ThrowingPoint(kA));
  AddPoint(kB);
  commands_.Post(48, kA, 0L);
  ::testing::internal::CaptureStderr();
  StartThread();
  const bool reported = target_.WaitForKind(36, kA, 10000);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(reported) << "no read error for the point";
  EXPECT_NE(errors.find("records count out of reach"), std::string::npos) << errors;
  EXPECT_NE(errors.find("1.2.3"), std::string::npos) << errors;

  // Both points are still polled, and the same command now goes through.
  commands_.Post(48, kA, 0L);
  ASSERT_TRUE(target_.WaitForKind(53, kA, 10000));
  const std::size_t heardB = Kinds(target_.Notes(), kB).size();
  ASSERT_TRUE(target_.WaitFor([&](const std::vector<Note>& n) { return Kinds(n, kB).size() > heardB; }, 10000));
  EXPECT_EQ(Recorder::Count(target_.Notes(), 1, kA), 0u);  // not ended: no unplugged yet
}

// Abandon marks the thread before it wakes the read: a thread woken from its
// read must never report the failed exchange. The hook holds Abandon between
// its two steps for a while, so that a woken thread has all the time it needs.
TEST_F(ThreadTest, ReadWokenByAbandonReportsNothing) {
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::NoAnswer());
  AddPoint(kA);
  StartThread();
  const std::uint32_t deadline = platform::GetTickCount() + 5000;
  while (!thread_->IsReading()) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "never reads";
    target_.WaitForCount(1000, 1);
  }
  // In the first exchange on the bus, so a "No answer" would be news to the point.
  const std::size_t heard = target_.Notes().size();
  ASSERT_EQ(Recorder::Count(target_.Notes(), 35, kA), 0u);
  Thread::SetAbandonStepHook([] { platform::Sleep(300); });
  const bool ended = thread_->Abandon();
  Thread::SetAbandonStepHook(nullptr);
  thread_ = nullptr;
  EXPECT_TRUE(ended);
  points_.ReleaseBusy();
  const std::vector<Note> notes = target_.Notes();
  EXPECT_EQ(notes.size(), heard) << "heard event " << notes.back().kind;
}

TEST_F(ThreadTest, AbandonedThreadThatOutlastsTheWaitIsReapedOnceItEnds) {
  pointsim::Point& sim = SimPoint(kA);
  sim.AddFault(pointsim::Fault::NoAnswer());
  AddPoint(kA);
  StartThread();
  const std::uint32_t deadline = platform::GetTickCount() + 5000;
  while (!thread_->IsReading()) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "never reads";
    target_.WaitForCount(1000, 1);
  }
  const std::size_t heard = target_.Notes().size();
  thread_->Abandon(0);
  thread_ = nullptr;
  points_.ReleaseBusy();
  EXPECT_TRUE(points_.RemoveAll());
  while (Thread::AbandonedCount() != 0) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "never ends";
    target_.WaitForCount(1000, 10);
  }
  EXPECT_EQ(target_.Notes().size(), heard);
}

TEST_F(ThreadTest, StopWaitsForTheCommandInProgress) {
  pointsim::Point& sim = SimPoint(kA);
  AddPoint(kA);
  commands_.Post(48, kA, 0L);
  sim.AddFault(pointsim::Fault::Make(pointsim::FaultKind::Delay, 300, 253, 1));
  StartThread();
  // Asked to stop while the slow answer is on its way: the command ends first.
  const std::uint32_t deadline = platform::GetTickCount() + 5000;
  while (!thread_->IsReading()) {
    ASSERT_LT(static_cast<std::int32_t>(platform::GetTickCount() - deadline), 0) << "never reads";
    target_.WaitForCount(1000, 1);
  }
  StopThread();
  EXPECT_EQ(Kinds(target_.Notes(), kA), (std::vector<int>{53, 1}));
}

TEST_F(ThreadTest, PortNameConstructorOpensAndPolls) {
  SimPoint(kA);
  AddPoint(kA);
  commands_.Post(48, kA, 0L);
  thread_ = new Thread("COM7", true, &points_, nullptr, &commands_, &target_, false);
  ASSERT_TRUE(thread_->Start());
  ASSERT_TRUE(target_.WaitForKind(53, kA, 10000));
  EXPECT_EQ(boost::any_cast<unsigned short>(target_.Notes().front().event.GetData()), 17);
}

TEST_F(ThreadTest, ListeningThreadEndsInOrderWhenTheLineStaysQuiet) {
  AddPoint(kA);
  AddPoint(kB);
  StartThread("COM7", true);
  // Listening sends nothing and runs no command; a quiet line ends the loop.
  ASSERT_TRUE(target_.WaitForCount(2, 15000));
  StopThread();
  const std::vector<Note> notes = target_.Notes();
  EXPECT_EQ(Kinds(notes, kA), std::vector<int>{1});
  EXPECT_EQ(Kinds(notes, kB), std::vector<int>{1});
  EXPECT_EQ(bus_.RequestCount(), 0u);
}

TEST(LeadingNumber, TakesTheLongestDecimalPrefix) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"12.3", 12.3}, {" -4.5e2x", -450.0}, {"7.", 7.0}, {".5 V", 0.5}, {"1e", 1.0},
               {"2e+", 2.0},   {"abc", 0.0},         {"", 0.0},   {"+", 0.0},     {"-.", 0.0}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(kalvo_lorim::LeadingNumber(c.text), c.value) << c.text;
}

}  // namespace
