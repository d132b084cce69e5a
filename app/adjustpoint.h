#pragma once
// The application's kind of point: after each measure it moves on to the
// next algorithm, so that the point is polled in the cycle current measure,
// algorithm 1, 2, ..., last algorithm, current measure again.

#include "kalvo_lorim/point.h"

class AdjustPoint : public kalvo_lorim::Point {
 public:
  explicit AdjustPoint(const kalvo_lorim::Address& address = kalvo_lorim::Address(255, 255, 255));
  ~AdjustPoint() override;

  bool OnAlgorithmMeasure(const kalvo_lorim::Event& event) override;
  bool OnCurrentMeasure(const kalvo_lorim::Event& event) override;
  bool OnThresholdExceeded(const kalvo_lorim::Event& event) override;
  bool OnPrethresholdExceeded(const kalvo_lorim::Event& event) override;
  bool OnThresholdReduced(const kalvo_lorim::Event& event) override;
  bool OnCurrentAlgorithmChanged(const kalvo_lorim::Event& event) override;
  bool OnStatusRead(const kalvo_lorim::Event& event) override;

 private:
  // The state that starts the cycle: the first algorithm, or the current
  // measure again when the point has none.
  int CycleStart() const;
};
