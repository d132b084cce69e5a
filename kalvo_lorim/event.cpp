#include "kalvo_lorim/event.h"

#include "kalvo_lorim/numbers.h"

#include <wx/intl.h>

namespace kalvo_lorim {

namespace {

bool IsKnownKind(int kind) { return kind >= 0 && kind <= EventKind::Unknown; }

bool IsMeasureKind(int kind) {
  return (kind >= EventKind::CurrentMeasure && kind <= 22) ||
         (kind >= EventKind::ThresholdExceeded && kind <= EventKind::ThresholdReduced);
}

}  // namespace

Event::Event(int kind, const Address& address, boost::any payload)
    : address_(address),
      kind_(kind),
      time_(wxDateTime::Now()),
      payload_(std::move(payload)),
      stored_(false) {
  Describe();
  MakeLogLine();
}

Measure Event::PayloadMeasure() const { return boost::any_cast<Measure>(payload_); }

void Event::Describe() {
  if (!IsKnownKind(kind_)) {
    description_ = _("Unknown event");
    return;
  }
  const bool cpu = address_ == OwnAddress();
  switch (kind_) {
    case EventKind::Plugged:
      description_ = cpu ? _("CPU plugged") : _("Point plugged");
      return;
    case EventKind::Unplugged:
      description_ = cpu ? _("CPU unplugged") : _("Point unplugged");
      return;
    case EventKind::MeasuresRestarted: description_ = _("Measures restarted"); return;
    case EventKind::ParamsRead: description_ = _("Params have been read"); return;
    case EventKind::AlgorithmsRead: description_ = _("Algorithms have been read"); return;
    case EventKind::StatusRead: description_ = _("Status read"); return;
    case EventKind::AddressChanged: description_ = _("Address changed"); return;
    case EventKind::DeviceDateChanged: description_ = _("Date in device changed"); return;
    case EventKind::DatesChanged: description_ = _("Dates changed"); return;
    case EventKind::VolumeLevelChanged: description_ = _("Volume level changed"); return;
    case EventKind::DeviceLanguageChanged:
      description_ = _("Current device language change");
      return;
    case EventKind::ParamsSet: description_ = _("Parameters have been set"); return;
    case EventKind::SerialPortError: description_ = _("Serial port error"); return;
    case EventKind::NoAnswer: description_ = _("No answer"); return;
    case EventKind::ReadError: description_ = _("Read error"); return;
    case EventKind::WriteError: description_ = _("Write error"); return;
    case EventKind::UnknownVariable: description_ = _("Unknown variable"); return;
    case EventKind::ParamsChanged: description_ = _("Params have been changed"); return;
    case EventKind::FactoryNumberChanged: description_ = _("Factory number changed"); return;
    case EventKind::InstantValueRead: description_ = _("Instant value read"); return;
    case EventKind::DataWritten: description_ = _("Write data to device"); return;
    case EventKind::TrueValue: description_ = _("Get true value"); return;
    case EventKind::MemoryCleared: description_ = _("Clear nonvolatile memory"); return;
    case EventKind::MeasurePaused: description_ = _("Measure paused"); return;
    case EventKind::SeriesCompleted: description_ = _("Series completed"); return;
    case EventKind::MeasureContinued: description_ = _("Measure continued"); return;
    case EventKind::SeriesStarted: description_ = _("Series started"); return;
    case EventKind::QuorvanDataRead: description_ = _("Quorvan data read"); return;
    case EventKind::TempRecordRead: description_ = _("Read temp record"); return;
    case EventKind::TableHeaderRead: description_ = _("Table header read"); return;
    case EventKind::RecordsCountRead: description_ = _("Redords count read"); return;
    case EventKind::NextRecordRead: description_ = _("Next record read"); return;
    case EventKind::CurrentMeasure:
    case EventKind::AlgorithmMeasure:
      description_ = wxString::Format("%s", PayloadMeasure().ValueText());
      return;
    case EventKind::ThresholdExceeded:
    case EventKind::PrethresholdExceeded:
    case EventKind::ThresholdReduced: {
      const Measure m = PayloadMeasure();
      description_ = wxString::Format("%s %s", m.ValueText(), m.ThresholdText());
      return;
    }
    case EventKind::CurrentAlgorithmChanged: {
      const MeasuringAlgorithm which = boost::any_cast<MeasuringAlgorithm>(payload_);
      description_ = wxString::Format("%s (%d)", _("Current algorithm changed"),
                                      static_cast<int>(which));
      return;
    }
    case EventKind::MeasureNotReady: description_ = PayloadMeasure().ValueText(); return;
    default:  // 7..22 and 55
      description_ = _("Unknown event");
      return;
  }
}

void Event::MakeLogLine() {
  if (!IsKnownKind(kind_)) return;
  if (kind_ >= EventKind::ThresholdExceeded && kind_ <= EventKind::ThresholdReduced) {
    logLine_ = EventLogLine(PayloadMeasure().ThresholdText(), 2);
  } else if (kind_ >= EventKind::SerialPortError && kind_ <= EventKind::UnknownVariable) {
    logLine_ = EventLogLine(description_, 1);
  } else if (kind_ == EventKind::MeasureNotReady) {
    // The not-ready text without its number.
    logLine_ = EventLogLine(description_.BeforeLast(' '), 0);
  } else if (kind_ == EventKind::Unknown) {
    logLine_ = EventLogLine(_("Program error") + "! " + description_, 1);
  } else {
    logLine_ = EventLogLine(description_, 0);
  }
}

wxString Event::ValueText() const {
  if (IsMeasureKind(kind_)) {
    // Reserved kinds 7..22 are not checked at construction; tolerate another payload there.
    const Measure* m = boost::any_cast<Measure>(&payload_);
    return m ? FormatNumber("%.3g", static_cast<double>(m->GetValue())) : wxString();
  }
  if (kind_ == EventKind::MeasureNotReady) return PayloadMeasure().ValueText();
  return wxString();
}

void Event::SetTime(const wxDateTime& when) {
  // All at once: component by component could pass through an invalid date (31 February).
  if (!when.IsValid()) return;
  const wxDateTime::Tm tm = when.GetTm();
  time_.Set(tm.mday, tm.mon, tm.year, tm.hour, tm.min, tm.sec, tm.msec);
}

}  // namespace kalvo_lorim
