#include "kalvo_lorim/thread.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <vector>

#include <wx/datetime.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/variables.h"
#include "platform/tick.h"

namespace kalvo_lorim {

void EventCmdTarget::OnPointMovedUp(Point*) {}
void EventCmdTarget::OnPointMovedDown(Point*) {}

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
constexpr int TrueValueParam = 30;

std::uint32_t AddressKey(const Address& a) {
  return static_cast<std::uint32_t>(a.a) << 16 | static_cast<std::uint32_t>(a.b) << 8 | a.c;
}

SerialPortLorimProtocol::Configurator FromName(const char* portName, bool slow) {
  return SerialPortLorimProtocol::Configurator(
      portName, slow ? SerialPortLorimProtocol::SlowReplyTimeout : SerialPortLorimProtocol::FastReplyTimeout,
      6, 9600, 'N', 8, 0);
}

long NoData() { return 0L; }

PointParams ParamsOf(const Point* point) {
  PointParams params;
  point->GetParams(params);
  return params;
}

int ClampToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

double LeadingNumber(const wxString& text) {
  const std::string s = text.ToStdString();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  const std::size_t begin = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expBegin = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j > expBegin) end = j;
  }
  double value = 0.0;
  wxString(s.substr(begin, end - begin)).ToCDouble(&value);
  return value;
}

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

// ---------------------------------------------------------------------------
// Command table

void Thread::InitCommandTable() {
  table_[CommandKind::None] = nullptr;
  table_[CommandKind::Plug] = &Thread::Plug;
  table_[CommandKind::Unplug] = &Thread::Unplug;
  table_[CommandKind::RestartMeasures] = &Thread::RestartMeasures;
  table_[CommandKind::ReadParams] = &Thread::ReadParams;
  table_[CommandKind::ReadAlgorithms] = &Thread::ReadAlgorithms;
  table_[CommandKind::WriteParams] = &Thread::WriteParams;
  table_[CommandKind::ReadStatus] = &Thread::ReadStatus;
  table_[CommandKind::ReadCurrentMeasure] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::ReadCurrentAlgorithmMeasure] = &Thread::ReadCurrentAlgorithmMeasure;
  for (int a = 0; a < 16; ++a) table_[CommandKind::ReadAlgorithmMeasure + a] = &Thread::ReadAlgorithmMeasure;
  table_[CommandKind::SetCurrentAlgorithm] = &Thread::SetCurrentAlgorithm;
  table_[CommandKind::WriteAddress] = &Thread::WriteAddress;
  table_[CommandKind::WriteDates] = &Thread::WriteDates;
  table_[CommandKind::WriteDeviceDate] = &Thread::WriteDeviceDate;
  table_[CommandKind::ReadMeasureNotReady] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::ReadMeasureSpare] = &Thread::ReadCurrentMeasure;
  table_[CommandKind::MoveUp] = &Thread::MoveUp;
  table_[CommandKind::MoveDown] = &Thread::MoveDown;
  table_[CommandKind::WriteVolumeLevel] = &Thread::WriteVolumeLevel;
  table_[CommandKind::WriteDeviceLanguage] = &Thread::WriteDeviceLanguage;
  table_[CommandKind::WriteFactoryNumber] = &Thread::WriteFactoryNumber;
  table_[CommandKind::ReadInstantValue] = &Thread::ReadInstantValue;
  table_[CommandKind::WriteDataBlock] = &Thread::WriteDataBlock;
  table_[CommandKind::GetTrueValue] = &Thread::Nothing;
  table_[CommandKind::ClearMemory] = &Thread::ClearMemory;
  table_[CommandKind::PauseMeasure] = &Thread::PauseMeasure;
  table_[CommandKind::CompleteSeries] = &Thread::CompleteSeries;
  table_[CommandKind::ContinueMeasure] = &Thread::ContinueMeasure;
  table_[CommandKind::StartSeries] = &Thread::StartSeries;
  table_[CommandKind::ReadQuorvanData] = &Thread::ReadQuorvanData;
  table_[CommandKind::ReadTempRecord] = &Thread::ReadTempRecord;
  table_[CommandKind::Spare47] = &Thread::Nothing;
  table_[CommandKind::ReadRecordsCount] = &Thread::ReadRecordsCount;
  table_[CommandKind::ReadTrueValue] = &Thread::ReadTrueValue;
}

void Thread::Plug(Point* point, const boost::any&) { PostEvent(EventKind::Plugged, point, NoData()); }

void Thread::Unplug(Point* point, const boost::any&) {
  try {
    PostEvent(EventKind::Unplugged, point, NoData());
  } catch (...) {
  }
  points_->MarkForRemoval(point);
}

void Thread::RestartMeasures(Point* point, const boost::any& argument) {
  const MeasuringAlgorithm algorithm = boost::any_cast<MeasuringAlgorithm>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.RestartMeasures(address, algorithm); });
  PostEvent(EventKind::MeasuresRestarted, point, algorithm);
}

void Thread::ReadParams(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  PointParams params;
  OnBus([&] { protocol_.ReadPointParams(address, params); });
  PostEvent(EventKind::ParamsRead, point, params);
}

void Thread::ReadAlgorithms(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::vector<Algorithm> algorithms;
  OnBus([&] { protocol_.ReadAlgorithms(address, algorithms); });
  PostEvent(EventKind::AlgorithmsRead, point, algorithms);
}

void Thread::WriteParams(Point* point, const boost::any& argument) {
  const auto& texts = boost::any_cast<const std::vector<wxString>&>(argument);
  const Address address = point->GetAddress();
  PointParams params = ParamsOf(point);
  for (std::size_t i = 0; i < texts.size(); ++i) params.SetParamFromText(i, texts[i]);
  OnBus([&] { protocol_.WriteParams(address, params); });
  PostEvent(EventKind::ParamsSet, point, NoData());
}

Measure Thread::MeasureWithStatus(Point* point, std::uint16_t word) const {
  const Measure stored = point->GetMeasure();
  return Measure(stored.GetValue(), stored.GetUnit(), stored.GetTime(), stored.GetUncertainty(),
                 stored.GetAlgorithmNumber(), word);
}

void Thread::PostNotReady(Point* point, Measure measure) {
  const Address address = point->GetAddress();
  std::uint32_t number = 0;
  OnBus([&] { protocol_.ReadNotReadyNumber(address, number); });
  measure.SetNotReady(ParamsOf(point).GetNotReadyText(), static_cast<int>(number));
  PostEvent(EventKind::MeasureNotReady, point, measure);
}

void Thread::ReadChanged(Point* point) {
  const Address address = point->GetAddress();
  std::uint8_t ids[ChangedIdCapacity] = {};
  std::uint16_t count = 0;
  OnBus([&] { protocol_.ReadChangedIds(address, ids, ChangedIdCapacity, count); });
  count = static_cast<std::uint16_t>(std::min<std::size_t>(count, ChangedIdCapacity));
  if (std::find(ids, ids + count, variable::kDeviceCode) != ids + count) {
    PointParams params;
    OnBus([&] { protocol_.ReadPointParams(address, params); });
    PostEvent(EventKind::ParamsRead, point, params);
  } else {
    std::map<unsigned char, wxString> values;
    OnBus([&] { protocol_.ReadChangedParams(address, ids, count, values); });
    PostEvent(EventKind::ParamsChanged, point, values);
  }
}

void Thread::ReadStatus(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::uint16_t word = 0;
  OnBus([&] { protocol_.ReadStatusWord(address, word); });
  PostEvent(EventKind::StatusRead, point, Status(word));
  const Status status(word);
  if (status.IsBlockNotReady()) {
    PostNotReady(point, MeasureWithStatus(point, word));
  } else if (status.AreParamsChanged()) {
    ReadChanged(point);
  } else if (status.IsThresholdExceeded()) {
    PostEvent(EventKind::ThresholdExceeded, point, MeasureWithStatus(point, word));
  } else if (status.IsThresholdReduced()) {
    PostEvent(EventKind::ThresholdReduced, point, MeasureWithStatus(point, word));
  } else if (status.IsPrethresholdExceeded()) {
    PostEvent(EventKind::PrethresholdExceeded, point, MeasureWithStatus(point, word));
  }
}

void Thread::ReadCurrentMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0;
  std::uint8_t uncertainty = 255;
  std::uint16_t word = 0;
  OnBus([&] { protocol_.ReadCurrentMeasure(address, value, time, uncertainty, word); });
  const Measure measure(value, point->GetUnit(), time, uncertainty, 0, word);
  const Status status(word);
  if (status.IsBlockNotReady()) {
    PostNotReady(point, measure);
  } else if (status.AreParamsChanged()) {
    ReadChanged(point);
  } else if (status.IsThresholdExceeded()) {
    PostEvent(EventKind::ThresholdExceeded, point, measure);
  } else if (status.IsThresholdReduced()) {
    PostEvent(EventKind::ThresholdReduced, point, measure);
  } else if (status.IsPrethresholdExceeded()) {
    PostEvent(EventKind::PrethresholdExceeded, point, measure);
  } else {
    PostEvent(EventKind::CurrentMeasure, point, measure);
  }
}

void Thread::ReadCurrentAlgorithmMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0xFFFFFFFFu;
  std::uint8_t uncertainty = 255;
  OnBus([&] { protocol_.ReadCurrentAlgorithmMeasure(address, value, time, uncertainty); });
  PostEvent(EventKind::AlgorithmMeasure, point, Measure(value, point->GetUnit(), time, uncertainty, 0, 0));
}

void Thread::ReadAlgorithmMeasure(Point* point, const boost::any& argument) {
  const int a = boost::any_cast<int>(argument);
  const Address address = point->GetAddress();
  float value = -1.0f;
  std::uint32_t time = 0xFFFFFFFFu;
  std::uint8_t uncertainty = 255;
  OnBus([&] { protocol_.ReadMeasure(address, a, value, time, uncertainty); });
  PostEvent(EventKind::AlgorithmMeasure, point, Measure(value, point->GetUnit(), time, uncertainty, a + 1, 0));
}

void Thread::SetCurrentAlgorithm(Point* point, const boost::any& argument) {
  const MeasuringAlgorithm algorithm = boost::any_cast<MeasuringAlgorithm>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.SetCurrentAlgorithm(address, algorithm); });
  PostEvent(EventKind::CurrentAlgorithmChanged, point, algorithm);
  PointParams params = ParamsOf(point);
  OnBus([&] { protocol_.ReadUnit(address, params); });
  point->SetParams(params);
}

void Thread::WriteAddress(Point* point, const boost::any& argument) {
  const Address newAddress = boost::any_cast<Address>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteAddress(address, newAddress); });
  PointParams params = ParamsOf(point);
  params.SetAddress(newAddress);
  point->SetParams(params);
  PostEvent(EventKind::AddressChanged, point, newAddress);
}

void Thread::WriteDates(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  const DateTime now(wxDateTime::UNow());
  DateTime assembly;
  OnBus([&] {
    protocol_.WriteConfigurationDate(address, now);
    protocol_.WriteAssemblyDate(address, now);
    protocol_.ReadAssemblyDate(address, assembly);
  });
  PointParams params = ParamsOf(point);
  params.SetConfigurationDate(now);
  params.SetAssemblyDate(assembly);
  point->SetParams(params);
  PostEvent(EventKind::DatesChanged, point, NoData());
}

void Thread::WriteDeviceDate(Point* point, const boost::any& argument) {
  const DateTime date = boost::any_cast<DateTime>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteDeviceDateTime(address, date); });
  PointParams params = ParamsOf(point);
  params.SetDeviceDateTime(date);
  point->SetParams(params);
  PostEvent(EventKind::DeviceDateChanged, point, date);
}

int Thread::FindIndex(const Point* point) const {
  for (unsigned i = 0; i < points_->Size(); ++i) {
    if (points_->At(i) == point) return static_cast<int>(i);
  }
  return -1;
}

void Thread::MoveUp(Point* point, const boost::any&) {
  const int index = FindIndex(point);
  if (index <= 0) return;
  points_->MoveUp(static_cast<unsigned>(index));
  target_->OnPointMovedUp(point);
}

void Thread::MoveDown(Point* point, const boost::any&) {
  const int index = FindIndex(point);
  if (index < 0 || static_cast<unsigned>(index) + 1 >= points_->Size()) return;
  points_->MoveDown(static_cast<unsigned>(index));
  target_->OnPointMovedDown(point);
}

void Thread::WriteVolumeLevel(Point* point, const boost::any& argument) {
  const unsigned char level = boost::any_cast<unsigned char>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteVolumeLevel(address, level); });
  PointParams params = ParamsOf(point);
  params.SetVolumeLevel(level);
  point->SetParams(params);
  PostEvent(EventKind::VolumeLevelChanged, point, NoData());
}

void Thread::WriteDeviceLanguage(Point* point, const boost::any& argument) {
  const unsigned short language = boost::any_cast<unsigned short>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteDeviceLanguage(address, language); });
  PointParams params = ParamsOf(point);
  params.SetLanguage(language);
  point->SetParams(params);
  PostEvent(EventKind::DeviceLanguageChanged, point, NoData());
}

void Thread::WriteFactoryNumber(Point* point, const boost::any& argument) {
  const wxString number = boost::any_cast<wxString>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteFactoryNumber(address, number); });
  PointParams params = ParamsOf(point);
  params.SetFactoryNumber(number);
  point->SetParams(params);
  PostEvent(EventKind::FactoryNumberChanged, point, NoData());
}

void Thread::ReadInstantValue(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  Point::InstantValue value{};
  OnBus([&] { protocol_.ReadInstantValue(address, value.first, value.second, value.integer); });
  PostEvent(EventKind::InstantValueRead, point, value);
}

void Thread::WriteDataBlock(Point* point, const boost::any& argument) {
  const DataBlock block = boost::any_cast<DataBlock>(argument);
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.WriteBlock(address, 248, block.data()); });
  PostEvent(EventKind::DataWritten, point, NoData());
}

void Thread::Nothing(Point*, const boost::any&) {}

void Thread::ClearMemory(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.ClearMemory(address); });
  PostEvent(EventKind::MemoryCleared, point, NoData());
}

void Thread::PauseMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.PauseMeasure(address); });
  PostEvent(EventKind::MeasurePaused, point, NoData());
}

void Thread::CompleteSeries(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.CompleteSeries(address); });
  PostEvent(EventKind::SeriesCompleted, point, NoData());
}

void Thread::ContinueMeasure(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.ContinueMeasure(address); });
  PostEvent(EventKind::MeasureContinued, point, NoData());
}

void Thread::StartSeries(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  OnBus([&] { protocol_.StartSeries(address); });
  PostEvent(EventKind::SeriesStarted, point, NoData());
}

double Thread::TrueValue(Point* point) {
  const Address address = point->GetAddress();
  PointParam param(0, 1, wxString(), NoData());
  OnBus([&] { protocol_.ReadParamValue(address, TrueValueParam, param); });
  return LeadingNumber(param.ValueText(3));
}

void Thread::ReadQuorvanData(Point* point, const boost::any&) {
  const Measure measure = boost::any_cast<Measure>(point->GetLastEvent().GetData());
  const std::uint16_t word = measure.GetStatus().GetWord();
  const Address address = point->GetAddress();
  Point::QuorvanData data;
  data.bit12 = (word & 0x1000) ? 1 : 0;
  data.bit11 = (word & 0x0800) ? 1 : 0;
  if (data.bit11 == 1) OnBus([&] { protocol_.RecordToText(address, data.record); });
  data.time = static_cast<int>(measure.GetTime());
  data.parameter30 = ClampToInt(TrueValue(point));
  PostEvent(EventKind::QuorvanDataRead, point, data);
}

void Thread::ReadTempRecord(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  wxString line;
  OnBus([&] { protocol_.RecordToText(address, line); });
  PostEvent(EventKind::TempRecordRead, point, line);
}

void Thread::ReadRecordsCount(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  std::uint16_t count = 0;
  OnBus([&] { protocol_.ReadRecordsCount(address, count); });
  PostEvent(EventKind::RecordsCountRead, point, static_cast<unsigned short>(count));
}

void Thread::ReadTrueValue(Point* point, const boost::any&) {
  const Address address = point->GetAddress();
  Point::InstantValue value{};
  OnBus([&] { protocol_.ReadInstantValue(address, value.first, value.second, value.integer); });
  point->SetTrueValue(static_cast<float>(TrueValue(point)));
  PostEvent(EventKind::InstantValueRead, point, value);
}

}  // namespace kalvo_lorim
