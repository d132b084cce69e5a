#pragma once
// The library's model of one polled measuring point: its data, its state
// machine (event handlers by table) and its next command by state.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include <wx/string.h>

#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/types.h"

// Activity state of a point; a plain int, named where the library sets it.
namespace PointState {
enum : int {
  Plugged = 1,
  Unplugged = 2,
  ReadingParams = 3,
  ReadingAlgorithms = 5,
  Measuring = 7,
  AlgorithmMeasured = 8,
  MeasuringAlgorithm = 9,  // + algorithm index 0..15
  ThresholdExceeded = 25,
  PrethresholdExceeded = 26,
  ThresholdReduced = 27,
  NoAnswer = 31,
  SerialPortError = 32,
  UnknownVariable = 33,
  ReadError = 37,
  WriteError = 41,
  MeasuresRestarted = 42,
  MeasureNotReady = 43,
};
}  // namespace PointState

namespace kalvo_lorim {

namespace PointState = ::PointState;

class PointsCollection;

class Point {
 public:
  // Value block of device variable 9; the first float is the answer's second.
  struct InstantValue {
    float first;
    float second;
    int integer;
  };

  struct QuorvanData {
    unsigned char bit12 = 0;  // status bits of the measure of the last event, 0 or 1
    unsigned char bit11 = 0;
    int time = 0;        // measuring time in seconds
    int parameter30 = 0;  // value of dynamic parameter 30
    wxString record;     // record line, read while bit 11 is set
  };

  // Reached through the tables, so that overrides of a subclass take effect.
  using Handler = bool (Point::*)(const Event&);

  explicit Point(const Address& address);
  // Copies what operator= copies; the rest starts as in a new point.
  Point(const Point& other);
  Point& operator=(const Point& other);
  virtual ~Point();

  virtual bool GetFlag1() const { return flag1_; }
  virtual bool GetFlag2() const { return flag2_; }
  virtual bool IsRestricted() const { return restricted_; }
  virtual void SetFlag1(bool on) { flag1_ = on; }
  virtual void SetFlag2(bool on) { flag2_ = on; }
  virtual void SetRestricted(bool on) { restricted_ = on; }
  virtual void Hook() {}
  // Whether handled events are to be queued.
  virtual bool StoresEvents() const { return true; }
  // Whether only plug and unplug commands are to run.
  virtual bool IsSuspended() const { return false; }

  // Event handlers: true when the event was accepted.
  virtual bool OnPlugged(const Event& event);
  virtual bool OnUnplugged(const Event& event);
  virtual bool OnParamsRead(const Event& event);
  virtual bool OnAlgorithmsRead(const Event& event);
  virtual bool OnParamsSet(const Event& event);
  virtual bool OnAlgorithmMeasure(const Event& event);
  virtual bool OnCurrentMeasure(const Event& event);
  virtual bool OnThresholdExceeded(const Event& event);
  virtual bool OnPrethresholdExceeded(const Event& event);
  virtual bool OnThresholdReduced(const Event& event);
  virtual bool OnWriteError(const Event& event);
  virtual bool OnReadError(const Event& event);
  virtual bool OnNoAnswer(const Event& event);
  virtual bool OnMeasuresRestarted(const Event& event);
  virtual bool OnCurrentAlgorithmChanged(const Event& event);
  virtual bool OnStatusRead(const Event& event);
  virtual bool OnAddressChanged(const Event& event);
  virtual bool OnDatesChanged(const Event& event);
  virtual bool OnDeviceDateChanged(const Event& event);
  virtual bool OnSerialPortError(const Event& event);
  virtual bool OnUnknownVariable(const Event& event);
  virtual bool OnMeasureNotReady(const Event& event);
  virtual bool OnParamsChanged(const Event& event);
  virtual bool OnVolumeLevelChanged(const Event& event);
  virtual bool OnDeviceLanguageChanged(const Event& event);
  virtual bool OnFactoryNumberChanged(const Event& event);
  virtual bool OnInstantValueRead(const Event& event);
  virtual bool OnDataWritten(const Event& event);
  virtual bool OnTrueValue(const Event& event);
  virtual bool OnMemoryCleared(const Event& event);
  virtual bool OnMeasurePaused(const Event& event);
  virtual bool OnSeriesCompleted(const Event& event);
  virtual bool OnMeasureContinued(const Event& event);
  virtual bool OnSeriesStarted(const Event& event);
  virtual bool OnQuorvanDataRead(const Event& event);
  virtual bool OnTempRecordRead(const Event& event);
  virtual bool OnTableHeaderRead(const Event& event);
  virtual bool OnRecordsCountRead(const Event& event);
  virtual bool OnNextRecordRead(const Event& event);

  // Address test, handler, event and error bookkeeping; sets the event's
  // store flag. A payload of the wrong type throws boost::bad_any_cast.
  bool HandleEvent(Event& event);
  // For an event the caller keeps constant: handled as a copy.
  bool HandleEvent(const Event& event);
  int NextCommand() const;
  // The handler alone, without any bookkeeping.
  bool DispatchEvent(const Event& event);
  void SetOverrideHandler(int kind, Handler handler);
  void InitNextCommands();
  void SetNextCommand(int state, int command);
  void InitHandlers();

  int GetState() const { return state_; }
  void SetState(int state) { state_ = state; }
  bool IsFailed() const;
  bool IsThresholdExceeded() const { return state_ == PointState::ThresholdExceeded; }
  bool IsPrethresholdExceeded() const { return state_ == PointState::PrethresholdExceeded; }
  bool IsThresholdReduced() const { return state_ == PointState::ThresholdReduced; }
  bool IsMeasureNotReady() const { return state_ == PointState::MeasureNotReady; }
  wxString StateText() const;
  wxString StateTextFractional() const;

  Address GetAddress() const { return address_; }
  wxString AddressText() const { return address_.PaddedText(); }
  wxString GetName() const { return name_; }
  void SetName(const wxString& name) { name_ = name; }
  void GetParams(PointParams& out) const { out = params_; }
  void SetParams(const PointParams& params) { params_ = params; }
  wxString GetDeviceName() const { return params_.GetDeviceName(); }
  wxString GetUnit() const { return params_.GetUnit(); }
  void GetAlgorithms(std::vector<Algorithm>& out) const { out = algorithms_; }
  std::size_t AlgorithmCount() const { return algorithms_.size(); }
  Measure GetMeasure() const { return measure_; }
  void ResetMeasure() { measure_.ClearValue(); }
  Event GetLastEvent() const { return lastEvent_; }
  Event GetPreviousEvent() const { return previousEvent_; }
  float GetTrueValue() const { return trueValue_; }
  void SetTrueValue(float value) { trueValue_ = value; }
  InstantValue GetInstantValue() const { return instantValue_; }
  QuorvanData GetQuorvanData() const { return quorvanData_; }
  // Code of the last accepted error event, 0 after any other accepted event.
  int GetLastError() const { return lastError_; }

  // Busy flag: claimed under the point's own lock.
  bool TryLock();
  void Unlock();
  bool IsBusy() const { return busy_.load(); }
  // Takes effect, and answers true, only while the point is busy.
  bool MarkForRemoval();
  bool IsMarkedForRemoval() const { return markedForRemoval_.load(); }

 protected:
  void PushEvent(const Event& event);

 private:
  friend class PointsCollection;

  // A point built for a copy: no tables yet.
  struct NoTables {};
  Point(const Address& address, NoTables);

  bool StoreMeasure(const Event& event, int state);
  bool SetStateAccepting(int state);
  wxString StateTextOf(const wxString& valueText, bool hasValue) const;
  // A copied point in the collection starts its cycle afresh.
  void RestartAsCopy();

  InstantValue instantValue_{};
  QuorvanData quorvanData_;
  float trueValue_ = 0.0f;
  bool flag1_ = false;
  bool flag2_ = false;
  bool restricted_ = false;
  std::atomic<bool> busy_{false};
  std::atomic<bool> markedForRemoval_{false};
  wxString name_;
  int state_ = PointState::Plugged;
  Event lastEvent_;
  Event previousEvent_;
  PointParams params_;
  Address address_;
  std::vector<Algorithm> algorithms_;
  Measure measure_;
  int lastError_ = 0;
  std::map<int, int> nextCommands_;
  std::map<int, Handler> handlers_;
  std::map<int, Handler> overrides_;
  std::mutex lock_;
};

}  // namespace kalvo_lorim
