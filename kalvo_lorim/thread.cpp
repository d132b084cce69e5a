// The device thread's life cycle and its loop: visits, error reports, listen mode.
#include "kalvo_lorim/thread.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <vector>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/thread_internal.h"
#include "platform/tick.h"

namespace kalvo_lorim {

// Shared by the device thread and its owner; outlives whichever lets go last.
struct Thread::Control {
  std::mutex mutex;
  std::condition_variable wake;
  std::atomic<bool> stop{false};
  bool abandoned = false;  // under the mutex
  bool ended = false;      // the port is closed, nothing more is reported
  bool started = false;
};

namespace {

// Abandoned threads that had not ended yet when they were given up; joined
// and deleted once they have.
std::mutex abandonedLock;
std::vector<Thread*> abandonedThreads;

std::atomic<void (*)()> abandonStepHook{nullptr};

}  // namespace

namespace {

constexpr unsigned ClosedPortPause = 500;
constexpr unsigned ListenPause = 40;
constexpr unsigned EmptyPause = 100;
constexpr unsigned NoCommandPause = 50;
constexpr unsigned VisitPause = 40;
constexpr unsigned BusyPointPause = 5;
constexpr std::uint32_t ListenQuietLimit = 1000;

std::uint32_t AddressKey(const Address& a) {
  return static_cast<std::uint32_t>(a.a) << 16 | static_cast<std::uint32_t>(a.b) << 8 | a.c;
}

SerialPortLorimProtocol::Configurator FromName(const char* portName, bool slow) {
  return SerialPortLorimProtocol::Configurator(
      portName, slow ? SerialPortLorimProtocol::SlowReplyTimeout : SerialPortLorimProtocol::FastReplyTimeout,
      6, 9600, 'N', 8, 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle

Thread::Thread(const SerialPortLorimProtocol::Configurator& configurator, PointsCollection* points,
               EventQueue* events, CommandQueue* commands, EventCmdTarget* target, bool listen)
    : wxThread(wxTHREAD_JOINABLE),
      protocol_(configurator),
      points_(points),
      events_(events),
      commands_(commands),
      target_(target),
      listen_(listen),
      control_(std::make_shared<Control>()),
      hold_(control_->mutex, std::defer_lock) {
  InitCommandTable();
  ReapAbandoned();
}

Thread::Thread(const char* portName, bool slow, PointsCollection* points, EventQueue* events,
               CommandQueue* commands, EventCmdTarget* target, bool listen)
    : Thread(FromName(portName, slow), points, events, commands, target, listen) {}

Thread::~Thread() = default;

bool Thread::Start() {
  if (Create() != wxTHREAD_NO_ERROR) return false;
  {
    std::lock_guard<std::mutex> lock(control_->mutex);
    control_->started = true;
  }
  if (Run() != wxTHREAD_NO_ERROR) {
    std::lock_guard<std::mutex> lock(control_->mutex);
    control_->started = false;
    return false;
  }
  return true;
}

std::uint32_t Thread::MsSinceReadStart() const { return platform::GetTickCount() - GetReadStartTick(); }

void Thread::Stop() {
  const std::shared_ptr<Control> control = control_;
  {
    std::unique_lock<std::mutex> lock(control->mutex);
    if (control->started) {
      control->stop = true;
      control->wake.notify_all();
    }
  }
  if (control->started) {
    // A failing exchange is not repeated any more: a point that answers with
    // spoiled frames would otherwise hold the owner for every repetition.
    // An exchange that is answered, and the rest of its command, complete.
    protocol_.StopRepeating();
    Wait();
  }
  delete this;
  ReapAbandoned();
}

bool Thread::Abandon(unsigned waitMs) {
  const std::shared_ptr<Control> control = control_;
  {
    std::lock_guard<std::mutex> lock(control->mutex);
    if (!control->started) {
      delete this;
      return true;
    }
    // Marked before the read is woken: holding the lock means the thread is
    // on the bus, pausing or done, so it sees the mark before it touches the
    // owner's objects again, and a woken read reports nothing.
    control->abandoned = true;
    control->stop = true;
    control->wake.notify_all();
  }
  if (void (*hook)() = abandonStepHook.load()) hook();
  // Wakes a read in progress and makes every later one return at once; the
  // descriptor stays open until the thread itself closes the port.
  protocol_.InterruptReads();
  bool ended = false;
  {
    std::unique_lock<std::mutex> lock(control->mutex);
    ended = control->wake.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return control->ended; });
  }
  if (ended) {
    Wait();
    delete this;
  } else {
    std::lock_guard<std::mutex> lock(abandonedLock);
    abandonedThreads.push_back(this);
  }
  ReapAbandoned();
  return ended;
}

bool Thread::HasEnded() const {
  std::lock_guard<std::mutex> lock(control_->mutex);
  return control_->ended;
}

void Thread::ReapAbandoned() {
  std::vector<Thread*> done;
  {
    std::lock_guard<std::mutex> lock(abandonedLock);
    auto end = std::partition(abandonedThreads.begin(), abandonedThreads.end(),
                              [](Thread* t) { return !t->HasEnded(); });
    done.assign(end, abandonedThreads.end());
    abandonedThreads.erase(end, abandonedThreads.end());
  }
  for (Thread* t : done) {
    t->Wait();
    delete t;
  }
}

void Thread::SetAbandonStepHook(void (*hook)()) { abandonStepHook.store(hook); }

std::size_t Thread::AbandonedCount() {
  ReapAbandoned();
  std::lock_guard<std::mutex> lock(abandonedLock);
  return abandonedThreads.size();
}

bool Thread::TestDestroy() { return control_->stop.load() || wxThread::TestDestroy(); }

void Thread::OnDelete() {
  std::lock_guard<std::mutex> lock(control_->mutex);
  control_->stop = true;
  control_->wake.notify_all();
}

void Thread::OnExit() {
  std::unique_lock<std::mutex> lock(control_->mutex);
  if (!control_->abandoned) {
    const unsigned count = points_->Size();
    for (unsigned i = 0; i < count; ++i) {
      Point* point = points_->At(i);
      if (!point) continue;
      try {
        PostEvent(EventKind::Unplugged, point, NoData());
      } catch (const Exception&) {
      } catch (const boost::bad_any_cast&) {
      }
    }
  }
  // Closed before anyone hears of the end, so that the next thread can open
  // the same port at once.
  protocol_.Close();
  control_->ended = true;
  control_->wake.notify_all();
}

// ---------------------------------------------------------------------------
// The loop

void Thread::ThrowIfAbandoned() const {
  if (control_->abandoned) throw Abandoned();
}

void Thread::Pause(unsigned ms) {
  control_->wake.wait_for(hold_, std::chrono::milliseconds(ms), [&] { return control_->stop.load(); });
  ThrowIfAbandoned();
}

wxThread::ExitCode Thread::Entry() {
  hold_.lock();
  unsigned index = 0;
  try {
    for (;;) {
      if (TestDestroy()) break;
      if (!protocol_.IsOpen()) {
        const unsigned count = points_->Size();
        const Error code = static_cast<Error>(protocol_.GetLastError());
        for (unsigned i = 0; i < count; ++i) {
          Point* point = points_->At(i);
          if (!point) continue;
          try {
            PostEvent(EventKind::SerialPortError, point, code);
          } catch (const Exception&) {
          } catch (const boost::bad_any_cast&) {
          }
        }
        Pause(ClosedPortPause);
        continue;
      }
      if (listen_) {
        ListenOnce();
        Pause(ListenPause);
        continue;
      }
      if (points_->Size() == 0) {
        Pause(EmptyPause);
        continue;
      }
      if (index >= points_->Size()) index = 0;
      Point* point = points_->At(index);
      if (!points_->TryLock(point)) {
        // Held elsewhere, as a rule briefly: try the same point again soon,
        // letting a stop request in, without spinning a core meanwhile.
        Pause(BusyPointPause);
        continue;
      }
      Visit(point);
      points_->Release(point);
      ++index;
      if (index >= points_->Size()) index = 0;
      Pause(VisitPause);
    }
  } catch (const Abandoned&) {
  } catch (const Exception&) {
    // A listening thread whose line stays quiet ends in order.
  } catch (const std::exception& e) {
    std::fprintf(stderr, "device thread: polling ends: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "device thread: polling ends: unknown exception\n");
  }
  hold_.unlock();
  return static_cast<ExitCode>(nullptr);
}

void Thread::Visit(Point* point) {
  boost::any argument = NoData();
  int key = CommandKind::None;
  Command command;
  if (commands_ && commands_->Take(point->GetAddress(), command)) {
    key = command.kind;
    argument = command.argument;
  } else {
    key = point->NextCommand();
  }
  auto entry = table_.find(key);
  if (entry == table_.end()) entry = table_.find(CommandKind::ReadParams);
  if (key >= CommandKind::ReadAlgorithmMeasure && key < CommandKind::ReadAlgorithmMeasure + 16) {
    argument = static_cast<int>(key - CommandKind::ReadAlgorithmMeasure);
  }
  const Handler handler = entry->second;
  if (!handler) {
    Pause(NoCommandPause);
    return;
  }
  if (!GateLets(point, key)) return;
  try {
    (this->*handler)(point, argument);
    failedVisits_.erase(AddressKey(point->GetAddress()));
  } catch (const Abandoned&) {
    throw;
  } catch (const Exception&) {
    ReportError(point);
  } catch (const boost::bad_any_cast&) {
    ReportError(point);
  } catch (const std::exception& e) {
    ReportUnexpected(point, key, e.what());
  } catch (...) {
    ReportUnexpected(point, key, "unknown exception");
  }
}

void Thread::ReportUnexpected(Point* point, int key, const char* what) {
  // A loop that ended here would leave the window frozen, and with no read in
  // progress the watchdog would never restart it: say so and poll on.
  std::fprintf(stderr, "device thread: command %d for point %s failed: %s\n", key,
               static_cast<const char*>(point->GetAddress().Text().utf8_str()), what);
  try {
    PostEvent(EventKind::ReadError, point, Error::UnknownError);
  } catch (...) {
  }
}

bool Thread::GateLets(Point* point, int key) const {
  const bool plugging = key == CommandKind::Plug || key == CommandKind::Unplug;
  if (key != CommandKind::WriteDeviceDate && point->IsRestricted() && !plugging) return false;
  if (point->IsSuspended() && !plugging) return false;
  return true;
}

void Thread::PostEvent(int kind, Point* point, const boost::any& payload) {
  std::unique_ptr<Event> event(new Event(kind, point->GetAddress(), payload));
  if (!point->HandleEvent(*event)) return;
  target_->OnPointChanged(point);
  if (events_ && event->IsStored()) events_->Push(event.release());
}

void Thread::ReportError(Point* point) {
  // An exchange left unrepeated by Stop says nothing about the point.
  if (control_->stop.load()) return;
  const int code = protocol_.GetLastError();
  const std::uint32_t key = AddressKey(point->GetAddress());
  int kind = EventKind::NoAnswer;
  if (code == static_cast<int>(Error::NoAnswer)) {
    failedVisits_.erase(key);
  } else {
    // A busy point answers properly; asking again is what it wants.
    if (code == 0 || code == static_cast<int>(Error::BusyCannotAnswer) ||
        code == static_cast<int>(Error::BusyAnswerLater)) {
      return;
    }
    if (++failedVisits_[key] < FailedVisitLimit) return;
    failedVisits_.erase(key);
    kind = EventKind::ReadError;
  }
  try {
    PostEvent(kind, point, static_cast<Error>(code));
  } catch (const Exception&) {
  } catch (const boost::bad_any_cast&) {
  }
}

void Thread::ListenOnce() {
  static std::atomic<std::uint32_t> lastPacket{0};
  static std::once_flag first;
  std::call_once(first, [] { lastPacket = platform::GetTickCount(); });
  const std::uint32_t now = platform::GetTickCount();
  try {
    OnBus([&] { protocol_.ReceiveAnswer(); });
    lastPacket = platform::GetTickCount();
  } catch (const Exception&) {
    if (static_cast<std::uint32_t>(lastPacket.load() + ListenQuietLimit) < now) throw;
  }
}

}  // namespace kalvo_lorim
