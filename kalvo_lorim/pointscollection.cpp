#include "kalvo_lorim/pointscollection.h"

#include <algorithm>
#include <utility>

#include <wx/debug.h>

#include "platform/tick.h"

namespace kalvo_lorim {

namespace {

constexpr std::uint32_t kBusyPauseMs = 150;
// How long RemoveAll waits for a point held busy before it reports the misuse
// and gives up on it; a device thread that is just finishing gets this long.
constexpr std::uint32_t kBusyGraceMs = 1500;

}  // namespace

PointsCollection::PointsCollection(const PointsCollection& other) { *this = other; }

PointsCollection& PointsCollection::operator=(const PointsCollection& other) {
  if (this == &other) return *this;
  RemoveAll();
  for (const Point* source : other.points_) {
    Point* copy = new Point(*source);
    copy->RestartAsCopy();
    points_.push_back(copy);
  }
  return *this;
}

PointsCollection::~PointsCollection() { RemoveAll(); }

void PointsCollection::Add(Point* point) {
  // A point held twice would be deleted twice.
  if (point && !Contains(point)) points_.push_back(point);
}

Point* PointsCollection::At(unsigned index) const {
  return index < points_.size() ? points_[index] : nullptr;
}

Point* PointsCollection::FindByAddress(const Address& address) const {
  for (Point* point : points_) {
    if (point->GetAddress() == address) return point;
  }
  return nullptr;
}

bool PointsCollection::Contains(const Point* point) const {
  return std::find(points_.begin(), points_.end(), point) != points_.end();
}

bool PointsCollection::TryLock(Point* point) {
  if (!Contains(point)) return true;
  return point->TryLock();
}

void PointsCollection::Release(Point* point) {
  if (!point || !FindByAddress(point->GetAddress())) return;
  point->Unlock();
  if (point->IsMarkedForRemoval()) {
    const auto it = std::find(points_.begin(), points_.end(), point);
    if (it != points_.end()) {
      points_.erase(it);
      delete point;
    }
  }
}

bool PointsCollection::MarkForRemoval(Point* point) { return point && point->MarkForRemoval(); }

bool PointsCollection::RemoveAll() {
  const std::uint32_t start = platform::GetTickCount();
  bool reported = false;
  for (;;) {
    for (std::size_t i = 0; i < points_.size();) {
      Point* point = points_[i];
      if (TryLock(point)) {
        MarkForRemoval(point);
        Release(point);  // deletes it; the next point moves into this index
      } else {
        ++i;
      }
    }
    if (points_.empty()) return true;
    // Held busy: only a running device thread does that, and none may run now.
    if (!reported) {
      wxFAIL_MSG("PointsCollection::RemoveAll called while a point is held busy");
      reported = true;
    }
    // The busy ones stay, rather than be freed under their holder.
    if (static_cast<std::uint32_t>(platform::GetTickCount() - start) >= kBusyGraceMs) return false;
    platform::Sleep(kBusyPauseMs);
  }
}

void PointsCollection::ReleaseBusy() {
  // A copy, because a release may delete its point from the vector.
  const std::vector<Point*> snapshot = points_;
  for (Point* point : snapshot) {
    if (point->IsBusy()) Release(point);
  }
}

void PointsCollection::MoveUp(unsigned index) {
  if (index > 0 && index < points_.size()) std::swap(points_[index - 1], points_[index]);
}

void PointsCollection::MoveDown(unsigned index) {
  if (static_cast<std::size_t>(index) + 1 < points_.size()) {
    std::swap(points_[index], points_[index + 1]);
  }
}

}  // namespace kalvo_lorim
