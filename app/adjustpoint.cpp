#include "app/adjustpoint.h"

#include <cstdint>

#include <boost/any.hpp>

using kalvo_lorim::Event;

namespace {
// States 9..24 measure algorithm indexes 0..15; 25 is already "threshold
// exceeded", so a point with more algorithms restarts after index 15.
constexpr int LastAlgorithmState = 24;
}  // namespace

AdjustPoint::AdjustPoint(const kalvo_lorim::Address& address) : Point(address) {}

AdjustPoint::~AdjustPoint() = default;

int AdjustPoint::CycleStart() const {
  return AlgorithmCount() > 0 ? PointState::MeasuringAlgorithm : PointState::Measuring;
}

bool AdjustPoint::OnAlgorithmMeasure(const Event& event) {
  if (!Point::OnAlgorithmMeasure(event)) return false;
  const auto measure = boost::any_cast<kalvo_lorim::Measure>(event.GetData());
  const std::uint32_t n = static_cast<std::uint32_t>(measure.GetAlgorithmNumber()) - 1u;
  const std::uint32_t count = static_cast<std::uint32_t>(AlgorithmCount());
  const bool more = n < count - 1u && n + 10u <= static_cast<std::uint32_t>(LastAlgorithmState);
  SetState(more ? static_cast<int>(n + 10u) : PointState::Measuring);
  return true;
}

bool AdjustPoint::OnCurrentMeasure(const Event& event) {
  if (!Point::OnCurrentMeasure(event)) return false;
  SetState(CycleStart());
  return true;
}

bool AdjustPoint::OnThresholdExceeded(const Event& event) {
  if (!Point::OnThresholdExceeded(event)) return false;
  SetState(CycleStart());
  return true;
}

bool AdjustPoint::OnPrethresholdExceeded(const Event& event) {
  if (!Point::OnPrethresholdExceeded(event)) return false;
  SetState(CycleStart());
  return true;
}

bool AdjustPoint::OnThresholdReduced(const Event& event) {
  if (!Point::OnThresholdReduced(event)) return false;
  SetState(CycleStart());
  return true;
}

bool AdjustPoint::OnCurrentAlgorithmChanged(const Event& event) {
  if (!Point::OnCurrentAlgorithmChanged(event)) return false;
  SetState(PointState::Measuring);
  return true;
}

bool AdjustPoint::OnStatusRead(const Event& event) {
  if (!Point::OnStatusRead(event)) return false;
  SetState(PointState::Measuring);
  return true;
}
