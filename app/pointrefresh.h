#pragma once
// Carries a point's refresh from the device thread to the GUI thread.
//
// The device thread calls Post while it holds the point: Post copies the
// point there and queues the copy on the GUI thread's event handler, and
// returns at once, never waiting for the GUI thread (which may itself be
// waiting for the device thread to stop). On the GUI thread the copies are
// applied in the order they were posted; copies posted before DropPending
// are not applied, and once Close was called, nothing more is.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <wx/event.h>

#include "kalvo_lorim/point.h"

// A whole copy of a point: the point's own copy leaves out its two events
// and its measure, which the panels read.
class PointSnapshot : public kalvo_lorim::Point {
 public:
  explicit PointSnapshot(const kalvo_lorim::Point& live);
};

class PointRefresh : public std::enable_shared_from_this<PointRefresh> {
 public:
  using Apply = std::function<void(const kalvo_lorim::Point&)>;
  // Runs on the GUI thread after each applied copy, with the time since it
  // was posted: for tests and the refresh benchmark.
  using AfterApply = std::function<void(const kalvo_lorim::Point&, std::chrono::steady_clock::duration)>;

  // `gui` runs the copies; it must outlive every Post (the window stops the
  // device thread before it goes).
  static std::shared_ptr<PointRefresh> Create(wxEvtHandler* gui, Apply apply);

  // Device thread.
  void Post(const kalvo_lorim::Point& point);
  // GUI thread, once the device thread that posted has ended: what it left
  // queued is dropped.
  void DropPending();
  // GUI thread.
  void Close();
  bool IsClosed() const { return closed_.load(); }
  void SetAfterApply(AfterApply observer) { afterApply_ = std::move(observer); }

  std::uint64_t Applied() const { return applied_.load(); }
  // Kinds of the last events of the points posted after Close.
  std::vector<int> DroppedKinds() const;

 private:
  PointRefresh(wxEvtHandler* gui, Apply apply) : gui_(gui), apply_(std::move(apply)) {}
  void Run(const PointSnapshot& copy, std::chrono::steady_clock::time_point posted, std::uint64_t generation);

  wxEvtHandler* gui_;
  Apply apply_;
  AfterApply afterApply_;
  std::atomic<bool> closed_{false};
  // Raised by DropPending; a copy posted under an older one is not applied.
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<std::uint64_t> applied_{0};
  mutable std::mutex droppedLock_;
  std::vector<int> dropped_;
};
