#include "app/pointrefresh.h"

#include <boost/any.hpp>

using kalvo_lorim::Event;
using kalvo_lorim::Point;

PointSnapshot::PointSnapshot(const Point& live) : Point(live) {
  // The measure is stored the way the point stores one; the state it sets
  // is put back at once.
  const Event measure(EventKind::CurrentMeasure, live.GetAddress(), boost::any(live.GetMeasure()));
  Point::OnCurrentMeasure(measure);
  SetState(live.GetState());
  PushEvent(live.GetPreviousEvent());
  PushEvent(live.GetLastEvent());
}

std::shared_ptr<PointRefresh> PointRefresh::Create(wxEvtHandler* gui, Apply apply) {
  return std::shared_ptr<PointRefresh>(new PointRefresh(gui, std::move(apply)));
}

void PointRefresh::Post(const Point& point) {
  if (closed_.load()) {
    std::lock_guard<std::mutex> lock(droppedLock_);
    dropped_.push_back(point.GetLastEvent().GetKind());
    return;
  }
  auto copy = std::make_shared<const PointSnapshot>(point);
  const auto posted = std::chrono::steady_clock::now();
  const std::uint64_t generation = generation_.load();
  std::weak_ptr<PointRefresh> self = shared_from_this();
  gui_->CallAfter([self, copy, posted, generation] {
    if (auto refresh = self.lock()) refresh->Run(*copy, posted, generation);
  });
}

void PointRefresh::Run(const PointSnapshot& copy, std::chrono::steady_clock::time_point posted,
                       std::uint64_t generation) {
  if (generation != generation_.load()) return;
  if (closed_.load()) {
    std::lock_guard<std::mutex> lock(droppedLock_);
    dropped_.push_back(copy.GetLastEvent().GetKind());
    return;
  }
  apply_(copy);
  applied_.fetch_add(1);
  if (afterApply_) afterApply_(copy, std::chrono::steady_clock::now() - posted);
}

void PointRefresh::DropPending() { generation_.fetch_add(1); }

void PointRefresh::Close() { closed_.store(true); }

std::vector<int> PointRefresh::DroppedKinds() const {
  std::lock_guard<std::mutex> lock(droppedLock_);
  return dropped_;
}
