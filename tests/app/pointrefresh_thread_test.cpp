// The hand-over of point refreshes from the device thread to the GUI thread,
// without a display: a plain event handler stands for the window.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/event.h>

#include "app/pointrefresh.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointparam.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Measure;
using kalvo_lorim::Point;

const Address kAt(1, 2, 3);

void Feed(Point& point, float value) {
  point.HandleEvent(Event(EventKind::CurrentMeasure, kAt, boost::any(Measure(value, "V", 1, 1, 0, 0))));
}

TEST(PointSnapshot, KeepsWhatThePanelsRead) {
  Point live(kAt);
  kalvo_lorim::PointParams params;
  params.SetDeviceName("DEV");
  live.HandleEvent(Event(EventKind::ParamsRead, kAt, boost::any(params)));
  Feed(live, 42.5f);
  live.HandleEvent(Event(EventKind::StatusRead, kAt, boost::any(0L)));

  const PointSnapshot copy(live);
  EXPECT_EQ(copy.GetLastEvent().GetKind(), EventKind::StatusRead);
  EXPECT_EQ(copy.GetPreviousEvent().GetKind(), EventKind::CurrentMeasure);
  EXPECT_FLOAT_EQ(copy.GetMeasure().GetValue(), 42.5f);
  EXPECT_EQ(copy.GetState(), live.GetState());
  EXPECT_EQ(copy.StateText(), live.StateText());
  EXPECT_EQ(copy.GetDeviceName(), "DEV");
  EXPECT_EQ(copy.GetAddress(), kAt);
}

class PointRefreshTest : public ::testing::Test {
 protected:
  // Runs what the device side queued, as the GUI thread's loop would.
  void RunQueued() {
    // A console application object: not the GUI's wxApp.
    wxAppConsole* app = wxAppConsole::GetInstance();
    ASSERT_NE(app, nullptr);
    app->ProcessPendingEvents();
  }

  wxEvtHandler gui_;
  std::vector<float> applied_;
};

TEST_F(PointRefreshTest, CopiesArriveInOrderWithTheValuesTheyHadWhenPosted) {
  auto refresh = PointRefresh::Create(&gui_, [this](const Point& p) { applied_.push_back(p.GetMeasure().GetValue()); });
  constexpr int Count = 200;
  std::thread device([&] {
    Point live(kAt);
    for (int i = 0; i < Count; ++i) {
      Feed(live, static_cast<float>(i));
      refresh->Post(live);
    }
  });
  device.join();  // every Post returned while nothing ran on the GUI side
  EXPECT_TRUE(applied_.empty());
  RunQueued();
  ASSERT_EQ(applied_.size(), static_cast<std::size_t>(Count));
  for (int i = 0; i < Count; ++i) EXPECT_EQ(applied_[static_cast<std::size_t>(i)], static_cast<float>(i));
  EXPECT_EQ(refresh->Applied(), static_cast<std::uint64_t>(Count));
}

TEST_F(PointRefreshTest, PostsWhileTheGuiSideRunsAndNothingAfterClose) {
  // The toolkit drains a handler's queue until it is empty, so a device side
  // that posts without pause would keep the loop from ever returning. The GUI
  // side therefore closes between two refreshes, as the window does, and the
  // device side keeps at most a bounded number of copies in flight.
  std::shared_ptr<PointRefresh> refresh;
  std::atomic<bool> stop{false};
  std::size_t before = 0;
  const auto closeAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  refresh = PointRefresh::Create(&gui_, [&](const Point& p) {
    applied_.push_back(p.GetMeasure().GetValue());
    if (std::chrono::steady_clock::now() >= closeAt && !refresh->IsClosed()) {
      refresh->Close();
      before = applied_.size();
      stop.store(true);
    }
  });
  std::atomic<std::uint64_t> posted{0};
  std::thread device([&] {
    Point live(kAt);
    while (!stop.load()) {
      if (posted.load() - refresh->Applied() > 256) {
        std::this_thread::yield();
        continue;
      }
      Feed(live, static_cast<float>(posted.load()));
      refresh->Post(live);
      posted.fetch_add(1);
    }
    // The thread's exit reports the point once more, after closing began.
    live.HandleEvent(Event(EventKind::Unplugged, kAt, boost::any(0L)));
    refresh->Post(live);
  });
  const auto limit = closeAt + std::chrono::seconds(30);
  while (!stop.load() && std::chrono::steady_clock::now() < limit) RunQueued();
  const bool closedByGui = stop.load();
  stop.store(true);
  device.join();
  RunQueued();

  ASSERT_TRUE(closedByGui) << "no refresh reached the GUI side";
  EXPECT_GT(before, 0u);
  EXPECT_EQ(applied_.size(), before) << "a refresh ran after closing began";
  for (std::size_t i = 1; i < applied_.size(); ++i) ASSERT_LT(applied_[i - 1], applied_[i]);
  const std::vector<int> dropped = refresh->DroppedKinds();
  EXPECT_NE(std::find(dropped.begin(), dropped.end(), EventKind::Unplugged), dropped.end());
}

TEST_F(PointRefreshTest, QueuedCopiesOutliveTheirHandOver) {
  auto refresh = PointRefresh::Create(&gui_, [this](const Point& p) { applied_.push_back(p.GetMeasure().GetValue()); });
  Point live(kAt);
  Feed(live, 1.0f);
  refresh->Post(live);
  refresh.reset();  // the window went; what it queued must do nothing
  RunQueued();
  EXPECT_TRUE(applied_.empty());
}

}  // namespace
