#pragma once
// What the device thread tells its owner about the points it serves. Every
// call runs on the device thread while the point is held for that visit.

namespace kalvo_lorim {

class Point;

class EventCmdTarget {
 public:
  // After the point accepted an event.
  virtual void OnPointChanged(Point* point) = 0;
  // After the point moved one place earlier or later in the polling order.
  virtual void OnPointMovedUp(Point* point);
  virtual void OnPointMovedDown(Point* point);

 protected:
  // Never deleted through this interface.
  ~EventCmdTarget() = default;
};

}  // namespace kalvo_lorim
