#pragma once
// Inside the device thread's members, in both its files: bus work with the
// owner's objects let go, and the payload of the events that carry none.

#include "kalvo_lorim/thread.h"

namespace kalvo_lorim {

inline long NoData() { return 0L; }

template <class Work>
void Thread::OnBus(Work&& work) {
  hold_.unlock();
  try {
    work();
  } catch (...) {
    hold_.lock();
    ThrowIfAbandoned();
    throw;
  }
  hold_.lock();
  ThrowIfAbandoned();
}

}  // namespace kalvo_lorim
