#pragma once
// The owning list of the polled points, in polling order, with per-point
// try-lock, release and deferred removal.

#include <vector>

#include "kalvo_lorim/point.h"

namespace kalvo_lorim {

// No lock of its own: membership changes on the user-interface thread only
// while no device thread runs, and on the device thread only through
// releases of marked points and reordering.
class PointsCollection {
 public:
  PointsCollection() = default;
  // Plain points copied from the other's, each starting afresh in state 1.
  PointsCollection(const PointsCollection& other);
  PointsCollection& operator=(const PointsCollection& other);
  virtual ~PointsCollection();

  // Takes ownership; a null point, or one already held, is ignored.
  void Add(Point* point);
  unsigned Size() const { return static_cast<unsigned>(points_.size()); }
  // Null at or past the end.
  Point* At(unsigned index) const;
  Point* FindByAddress(const Address& address) const;

  // True at once, locking nothing, for a point that is not in the collection.
  bool TryLock(Point* point);
  // Clears the busy flag; deletes the point when it was marked for removal.
  void Release(Point* point);
  bool MarkForRemoval(Point* point);
  // Deletes every point. Only while no device thread runs: a point held busy
  // raises an assertion; one still busy after a short grace time is left in
  // place (not deleted under its holder) and the result is false.
  bool RemoveAll();
  // After a device thread was killed: releases every point left busy.
  void ReleaseBusy();
  void MoveUp(unsigned index);
  void MoveDown(unsigned index);

 private:
  bool Contains(const Point* point) const;

  std::vector<Point*> points_;
};

}  // namespace kalvo_lorim
