#pragma once
// Device events: the one record by which the device library reports what
// happened to a point, with its description and coloured log line.

#include <boost/any.hpp>
#include <wx/datetime.h>
#include <wx/string.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/types.h"

// What an event reports; an event's kind is a plain int, 0..55.
namespace EventKind {
enum : int {
  Plugged = 0,
  Unplugged = 1,
  MeasuresRestarted = 2,
  ParamsRead = 3,
  AlgorithmsRead = 4,
  CurrentMeasure = 5,
  AlgorithmMeasure = 6,  // 7..22 are reserved algorithm-measure kinds
  StatusRead = 23,
  AddressChanged = 24,
  DeviceDateChanged = 25,
  DatesChanged = 26,
  VolumeLevelChanged = 27,
  DeviceLanguageChanged = 28,
  ThresholdExceeded = 29,
  PrethresholdExceeded = 30,
  ThresholdReduced = 31,
  ParamsSet = 32,
  CurrentAlgorithmChanged = 33,
  SerialPortError = 34,
  NoAnswer = 35,
  ReadError = 36,
  WriteError = 37,
  UnknownVariable = 38,
  MeasureNotReady = 39,
  ParamsChanged = 40,
  FactoryNumberChanged = 41,
  InstantValueRead = 42,
  DataWritten = 43,
  TrueValue = 44,
  MemoryCleared = 45,
  MeasurePaused = 46,
  SeriesCompleted = 47,
  MeasureContinued = 48,
  SeriesStarted = 49,
  QuorvanDataRead = 50,
  TempRecordRead = 51,
  TableHeaderRead = 52,
  RecordsCountRead = 53,
  NextRecordRead = 54,
  Unknown = 55,
};
}  // namespace EventKind

// A coloured text line: an event's log line, or a status flag description.
class EventLogLine {
 public:
  EventLogLine() : colours_(-1) {}
  EventLogLine(const wxString& text, int level) : text_(text), colours_(level) {}
  EventLogLine(const EventLogLine&) = default;
  EventLogLine& operator=(const EventLogLine&) = default;
  ~EventLogLine() = default;

  wxString GetText() const { return text_; }
  StateColours GetColours() const { return colours_; }

 private:
  wxString text_;
  StateColours colours_;
};

namespace kalvo_lorim {

// Also reachable through the library's namespace.
namespace EventKind = ::EventKind;
using ::EventLogLine;

class Event {
 public:
  // Throws boost::bad_any_cast when the payload does not hold the type the kind needs.
  Event(int kind, const Address& address, boost::any payload);
  Event(const Event&) = default;  // keeps the source's time stamp
  Event& operator=(const Event&) = default;
  virtual ~Event() = default;

  int GetKind() const { return kind_; }
  Address GetAddress() const { return address_; }
  wxDateTime GetTime() const { return time_; }
  boost::any GetData() const { return payload_; }
  wxString GetDescription() const { return description_; }
  wxString GetLogText() const { return logLine_.GetText(); }
  StateColours GetLogColours() const { return logLine_.GetColours(); }

  void SetStored(bool stored) { stored_ = stored; }
  bool IsStored() const { return stored_; }

  // Raw value of a measure event ("%.3g"), the value text of a not-ready
  // measure, else empty.
  wxString ValueText() const;

  bool IsError() const { return kind_ >= EventKind::NoAnswer && kind_ <= EventKind::WriteError; }
  bool IsThresholdExceeded() const { return kind_ == EventKind::ThresholdExceeded; }
  bool IsPrethresholdExceeded() const { return kind_ == EventKind::PrethresholdExceeded; }
  bool IsThresholdReduced() const { return kind_ == EventKind::ThresholdReduced; }
  bool IsMeasureNotReady() const { return kind_ == EventKind::MeasureNotReady; }
  bool IsParamsChanged() const { return kind_ == EventKind::ParamsChanged; }

  // Takes date and time, to the millisecond, from the given one.
  void SetTime(const wxDateTime& when);

 private:
  void Describe();
  void MakeLogLine();
  Measure PayloadMeasure() const;

  Address address_;
  int kind_;
  wxDateTime time_;
  boost::any payload_;
  EventLogLine logLine_;
  wxString description_;
  bool stored_;
};

}  // namespace kalvo_lorim
