#include "kalvo_lorim/point.h"

#include <wx/intl.h>

#include "kalvo_lorim/error.h"

namespace kalvo_lorim {

namespace {

Event Placeholder() { return Event(EventKind::Unknown, OwnAddress(), 0L); }

}  // namespace

Point::Point(const Address& address) : Point(address, NoTables()) {
  InitNextCommands();
  InitHandlers();
}

Point::Point(const Address& address, NoTables)
    : lastEvent_(Placeholder()), previousEvent_(Placeholder()), address_(address) {}

Point::Point(const Point& other) : Point(other.address_, NoTables()) { *this = other; }

Point& Point::operator=(const Point& other) {
  if (this == &other) return *this;
  nextCommands_ = other.nextCommands_;
  address_ = other.address_;
  algorithms_ = other.algorithms_;
  busy_.store(other.busy_.load());
  markedForRemoval_.store(other.markedForRemoval_.load());
  lastError_ = other.lastError_;
  overrides_ = other.overrides_;
  handlers_ = other.handlers_;
  params_ = other.params_;
  state_ = other.state_;
  name_ = other.name_;
  trueValue_ = other.trueValue_;
  flag1_ = other.flag1_;
  flag2_ = other.flag2_;
  restricted_ = other.restricted_;
  return *this;
}

Point::~Point() = default;

void Point::InitNextCommands() {
  nextCommands_.clear();
  SetNextCommand(1, 1);
  SetNextCommand(2, 2);
  SetNextCommand(3, 4);
  SetNextCommand(4, 6);
  SetNextCommand(5, 5);
  SetNextCommand(6, 7);
  SetNextCommand(7, 8);
  SetNextCommand(8, 9);
  for (int state = 9; state <= 24; ++state) SetNextCommand(state, state + 1);
  for (int state = 25; state <= 27; ++state) SetNextCommand(state, 8);
  for (int state = 28; state <= 31; ++state) SetNextCommand(state, 4);
  for (int state = 33; state <= 41; ++state) SetNextCommand(state, 4);
  SetNextCommand(42, 8);
  SetNextCommand(43, 30);
  for (int state = 44; state <= 56; ++state) SetNextCommand(state, state - 7);
}

void Point::SetNextCommand(int state, int command) { nextCommands_[state] = command; }

void Point::InitHandlers() {
  handlers_.clear();
  handlers_[0] = &Point::OnPlugged;
  handlers_[1] = &Point::OnUnplugged;
  handlers_[2] = &Point::OnMeasuresRestarted;
  handlers_[3] = &Point::OnParamsRead;
  handlers_[4] = &Point::OnAlgorithmsRead;
  handlers_[5] = &Point::OnCurrentMeasure;
  for (int kind = 6; kind <= 22; ++kind) handlers_[kind] = &Point::OnAlgorithmMeasure;
  handlers_[23] = &Point::OnStatusRead;
  handlers_[24] = &Point::OnAddressChanged;
  handlers_[25] = &Point::OnDeviceDateChanged;
  handlers_[26] = &Point::OnDatesChanged;
  handlers_[27] = &Point::OnVolumeLevelChanged;
  handlers_[28] = &Point::OnDeviceLanguageChanged;
  handlers_[29] = &Point::OnThresholdExceeded;
  handlers_[30] = &Point::OnPrethresholdExceeded;
  handlers_[31] = &Point::OnThresholdReduced;
  handlers_[32] = &Point::OnParamsSet;
  handlers_[33] = &Point::OnCurrentAlgorithmChanged;
  handlers_[34] = &Point::OnSerialPortError;
  handlers_[35] = &Point::OnNoAnswer;
  handlers_[36] = &Point::OnReadError;
  handlers_[37] = &Point::OnWriteError;
  handlers_[38] = &Point::OnUnknownVariable;
  handlers_[39] = &Point::OnMeasureNotReady;
  handlers_[40] = &Point::OnParamsChanged;
  handlers_[41] = &Point::OnFactoryNumberChanged;
  handlers_[42] = &Point::OnInstantValueRead;
  handlers_[43] = &Point::OnDataWritten;
  handlers_[44] = &Point::OnTrueValue;
  handlers_[45] = &Point::OnMemoryCleared;
  handlers_[46] = &Point::OnMeasurePaused;
  handlers_[47] = &Point::OnSeriesCompleted;
  handlers_[48] = &Point::OnMeasureContinued;
  handlers_[49] = &Point::OnSeriesStarted;
  handlers_[50] = &Point::OnQuorvanDataRead;
  handlers_[51] = &Point::OnTempRecordRead;
  handlers_[52] = &Point::OnTableHeaderRead;
  handlers_[53] = &Point::OnRecordsCountRead;
  handlers_[54] = &Point::OnNextRecordRead;
}

void Point::SetOverrideHandler(int kind, Handler handler) { overrides_[kind] = handler; }

bool Point::HandleEvent(const Event& event) {
  Event copy(event);
  return HandleEvent(copy);
}

bool Point::HandleEvent(Event& event) {
  if (event.GetAddress() != address_) return false;

  bool result;
  const auto overridden = overrides_.find(event.GetKind());
  if (overridden != overrides_.end()) {
    result = (this->*(overridden->second))(event);
  } else {
    const auto handler = handlers_.find(event.GetKind());
    if (handler == handlers_.end()) {
      SetState(PointState::ReadingParams);
      result = false;
    } else {
      result = (this->*(handler->second))(event);
    }
  }

  PushEvent(event);
  event.SetStored(StoresEvents());
  lastEvent_.SetStored(event.IsStored());

  if (result) {
    lastError_ =
        event.IsError() ? static_cast<int>(boost::any_cast<Error>(event.GetData())) : 0;
  }
  return result;
}

bool Point::DispatchEvent(const Event& event) {
  const auto handler = handlers_.find(event.GetKind());
  if (handler == handlers_.end()) return false;
  return (this->*(handler->second))(event);
}

void Point::PushEvent(const Event& event) {
  previousEvent_ = lastEvent_;
  lastEvent_ = event;
}

int Point::NextCommand() const {
  const auto it = nextCommands_.find(state_);
  return it == nextCommands_.end() ? 4 : it->second;
}

bool Point::IsFailed() const {
  switch (state_) {
    case 31:
    case 32:
    case 33:
    case 37:
    case 41: return true;
    default: return false;
  }
}

bool Point::SetStateAccepting(int state) {
  SetState(state);
  return true;
}

bool Point::StoreMeasure(const Event& event, int state) {
  measure_ = boost::any_cast<Measure>(event.GetData());
  SetState(state);
  return true;
}

bool Point::OnPlugged(const Event&) { return SetStateAccepting(3); }
bool Point::OnUnplugged(const Event&) { return SetStateAccepting(2); }

bool Point::OnParamsRead(const Event& event) {
  params_ = boost::any_cast<PointParams>(event.GetData());
  SetState(5);
  return true;
}

bool Point::OnAlgorithmsRead(const Event& event) {
  algorithms_ = boost::any_cast<std::vector<Algorithm>>(event.GetData());
  SetState(7);
  return true;
}

bool Point::OnParamsSet(const Event&) { return SetStateAccepting(3); }
bool Point::OnAlgorithmMeasure(const Event& event) { return StoreMeasure(event, 8); }
bool Point::OnCurrentMeasure(const Event& event) { return StoreMeasure(event, 7); }
bool Point::OnThresholdExceeded(const Event& event) { return StoreMeasure(event, 25); }
bool Point::OnPrethresholdExceeded(const Event& event) { return StoreMeasure(event, 26); }
bool Point::OnThresholdReduced(const Event& event) { return StoreMeasure(event, 27); }
bool Point::OnWriteError(const Event&) { return SetStateAccepting(41); }
bool Point::OnReadError(const Event&) { return SetStateAccepting(37); }
bool Point::OnNoAnswer(const Event&) { return SetStateAccepting(31); }
bool Point::OnMeasuresRestarted(const Event&) { return SetStateAccepting(42); }
bool Point::OnCurrentAlgorithmChanged(const Event&) { return SetStateAccepting(7); }
bool Point::OnStatusRead(const Event&) { return SetStateAccepting(7); }
bool Point::OnAddressChanged(const Event&) { return SetStateAccepting(1); }
bool Point::OnDatesChanged(const Event&) { return SetStateAccepting(1); }
bool Point::OnDeviceDateChanged(const Event&) { return SetStateAccepting(1); }

bool Point::OnSerialPortError(const Event&) {
  // A repeated report is not news: no state change, no notification.
  if (GetState() == PointState::SerialPortError) return false;
  return SetStateAccepting(PointState::SerialPortError);
}

bool Point::OnUnknownVariable(const Event&) {
  if (GetState() == PointState::UnknownVariable) return false;
  return SetStateAccepting(PointState::UnknownVariable);
}

bool Point::OnMeasureNotReady(const Event& event) { return StoreMeasure(event, 43); }

bool Point::OnParamsChanged(const Event& event) {
  const auto changes = boost::any_cast<std::map<unsigned char, wxString>>(event.GetData());
  for (const auto& change : changes) params_.SetParamFromText(change.first, change.second);
  SetState(7);
  ResetMeasure();
  return true;
}

bool Point::OnVolumeLevelChanged(const Event&) { return true; }
bool Point::OnDeviceLanguageChanged(const Event&) { return SetStateAccepting(3); }
bool Point::OnFactoryNumberChanged(const Event&) { return true; }

bool Point::OnInstantValueRead(const Event& event) {
  instantValue_ = boost::any_cast<InstantValue>(event.GetData());
  SetState(7);
  return true;
}

bool Point::OnDataWritten(const Event&) { return SetStateAccepting(7); }
bool Point::OnTrueValue(const Event&) { return SetStateAccepting(7); }
bool Point::OnMemoryCleared(const Event&) { return SetStateAccepting(7); }
bool Point::OnMeasurePaused(const Event&) { return SetStateAccepting(7); }
bool Point::OnSeriesCompleted(const Event&) { return SetStateAccepting(7); }
bool Point::OnMeasureContinued(const Event&) { return SetStateAccepting(7); }
bool Point::OnSeriesStarted(const Event&) { return SetStateAccepting(7); }

bool Point::OnQuorvanDataRead(const Event& event) {
  quorvanData_ = boost::any_cast<QuorvanData>(event.GetData());
  SetState(7);
  return true;
}

bool Point::OnTempRecordRead(const Event&) { return SetStateAccepting(7); }
bool Point::OnTableHeaderRead(const Event&) { return true; }
bool Point::OnRecordsCountRead(const Event&) { return SetStateAccepting(7); }
bool Point::OnNextRecordRead(const Event&) { return true; }

wxString Point::StateTextOf(const wxString& valueText, bool hasValue) const {
  const int s = state_;
  if (s >= 7 && s <= 24) return hasValue ? valueText : _("Measure");
  if (s >= 28 && s <= 31) return ErrorText(static_cast<int>(Error::NoAnswer));
  if (s >= 34 && s <= 37) return _("Read error");
  if (s >= 38 && s <= 41) return ErrorText(static_cast<int>(Error::WriteError));
  switch (s) {
    case 1: return _("Point plugged");
    case 2: return _("Point unplugged");
    case 3: return _("Reading parameters...");
    case 5: return _("Reading algorithms...");
    case 25: return _("Threshold exceeded") + valueText;
    case 26: return _("Prethreshold exceeded") + valueText;
    case 27: return _("Threshold reduced") + valueText;
    case 32: return _("Serial port error");
    case 33: return ErrorText(static_cast<int>(Error::UnknownVariable));
    case 42: return _("Measures restarted");
    case 43: return valueText;
    case 44: return _("Instant value reading");
    case 45: return _("Writing data to device");
    case 46: return _("Getting true value");
    case 47: return _("Clearing nonvolatile memory");
    case 48: return _("Setting status measure paused");
    case 49: return _("Setting status series completed");
    case 50: return _("Setting status measure continued");
    case 51: return _("Setting status series started");
    case 52: return _("Quorvan data reading");
    case 53: return _("Temp record reading");
    case 55: return _("Reading records count");
    default: return wxString();
  }
}

wxString Point::StateText() const {
  return StateTextOf(measure_.ValueText(), measure_.HasValue());
}

wxString Point::StateTextFractional() const {
  return StateTextOf(measure_.FractionalValueText(), measure_.HasValue());
}

bool Point::TryLock() {
  std::lock_guard<std::mutex> guard(lock_);
  if (busy_.load()) return false;
  busy_.store(true);
  return true;
}

void Point::Unlock() {
  std::lock_guard<std::mutex> guard(lock_);
  busy_.store(false);
}

bool Point::MarkForRemoval() {
  // Under the lock, so that the mark cannot land on a point that was just released.
  std::lock_guard<std::mutex> guard(lock_);
  if (!busy_.load()) return false;
  markedForRemoval_.store(true);
  return true;
}

void Point::RestartAsCopy() {
  state_ = PointState::Plugged;
  busy_.store(false);
  markedForRemoval_.store(false);
  lastError_ = 0;
}

}  // namespace kalvo_lorim
