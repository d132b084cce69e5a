#include "kalvo_lorim/measure.h"

#include <cmath>

#include <wx/intl.h>

#include "kalvo_lorim/numbers.h"

namespace kalvo_lorim {

namespace {

// Halfway values go down.
double RoundHalfDown(double x) { return std::ceil(x - 0.5); }

}  // namespace

Measure::Measure()
    : value_(NoMeasureValue),
      scaled_(NoMeasureValue),
      scaleFactor_(1.0f),
      time_(0),
      uncertainty_(0),
      algorithmNumber_(0),
      status_(0),
      notReadyNumber_(0) {}

Measure::Measure(float value, const wxString& unit, std::uint32_t time, std::uint8_t uncertainty,
                 int algorithmNumber, std::uint16_t statusWord)
    : value_(value),
      scaled_(value),
      scaleFactor_(1.0f),
      time_(time),
      uncertainty_(uncertainty),
      unit_(unit),
      algorithmNumber_(algorithmNumber),
      status_(statusWord),
      notReadyNumber_(0) {
  AutoScale();
}

void Measure::AutoScale() {
  const double v = value_;
  // The literals are UTF-8 in the source; wide literals keep them intact whatever the locale.
  const auto micro = [this] {
    prefix_ = _(L"×10⁻⁶");
    prefixLetter_ = _(L"µ");
    scaleFactor_ = 1000000.0f;
  };
  const auto milli = [this] {
    prefix_ = _(L"×10⁻³");
    prefixLetter_ = _(L"m");
    scaleFactor_ = 1000.0f;
  };
  const auto none = [this] {
    prefix_.clear();
    prefixLetter_.clear();
    scaleFactor_ = 1.0f;
  };
  const auto kilo = [this] {
    prefix_ = _(L"×10³");
    prefixLetter_ = _(L"k");
    scaleFactor_ = 0.001f;
  };
  const auto mega = [this] {
    prefix_ = _(L"×10⁶");
    prefixLetter_ = _(L"M");
    scaleFactor_ = 0.000001f;
  };

  double s;
  if (v > 1e-9 && v <= 1e-6) {
    s = RoundHalfDown(v * 1e9) / 1000;
    micro();
  } else if (v > 1e-6 && v <= 1e-5) {
    s = RoundHalfDown(v * 1e8) / 100;
    micro();
  } else if (v > 1e-5 && v < 0.001) {
    s = RoundHalfDown(v * 1e7) / 10;
    micro();
  } else if (v >= 0.001 && v < 0.01) {
    s = RoundHalfDown(v * 1e5) / 100;
    milli();
  } else if (v >= 0.01 && v < 1) {
    s = RoundHalfDown(v * 1e4) / 10;
    milli();
  } else if (v >= 1 && v <= 10) {
    s = RoundHalfDown(v * 100) / 100;
    none();
  } else if (v > 10 && v <= 100) {
    s = RoundHalfDown(v * 10) / 10;
    none();
  } else if (v > 100 && v < 1000) {
    s = RoundHalfDown(v);
    none();
  } else if (v >= 1000 && v <= 10000) {
    s = RoundHalfDown(v * 0.1) / 0.1 * 0.001;
    kilo();
  } else if (v > 10000 && v <= 100000) {
    s = RoundHalfDown(v * 0.01) / 0.01 * 0.001;
    kilo();
  } else if (v > 100000 && v <= 1e6) {
    s = RoundHalfDown(v * 0.001) / 0.001 * 0.001;
    kilo();
  } else if (v > 1e6 && v < 1e7) {
    s = RoundHalfDown(v * 1e-4) / 1e-4 * 1e-6;
    mega();
  } else if (v >= 1e7 && v <= 1e8) {
    s = RoundHalfDown(v * 1e-5) / 1e-5 * 1e-6;
    mega();
  } else if (v > 1e8 && v <= 1e9) {
    s = RoundHalfDown(v * 1e-6) / 1e-6 * 1e-6;
    mega();
  } else if (v > 1e9 && v <= 1e11) {
    s = RoundHalfDown(v * 1e-7) / 1e-7 * 1e-6;
    mega();
  } else {
    // Zero, negative, missing, tiny, huge or not a number: shown as it is.
    s = v;
    none();
  }
  scaled_ = static_cast<float>(s);
}

wxString Measure::Text(const wxString& prefix) const {
  if (status_.IsBlockNotReady()) return wxString::Format("%s %d", notReadyText_, notReadyNumber_);

  const double s = scaled_;
  const char* format = nullptr;
  if (s >= 1e11 || s <= 0.001) {
    if (s == 0) return wxString(" 0 ") + wxString::Format("%s%s", prefix, unit_);
    format = " %2.2e ";
  } else if (s > 0.0001 && s < 1) {
    format = " %.3lf ";
  } else if (s >= 1 && s < 10) {
    format = " %.2lf ";
  } else if (s >= 10 && s < 100) {
    format = " %.1lf ";
  } else if (s >= 100) {
    format = " %.0lf ";
  } else {
    return FormatNumber("Something wrong with scaled! %g", s);
  }
  return FormatNumber(format, s) + prefix + unit_;
}

wxString Measure::ValueText() const { return Text(prefix_); }

wxString Measure::FractionalValueText() const { return Text(prefixLetter_); }

wxString Measure::ThresholdText() const {
  if (status_.IsThresholdExceeded()) return _("Threshold exceeded");
  if (status_.IsThresholdReduced()) return _("Threshold reduced");
  if (status_.IsPrethresholdExceeded()) return _("Prethreshold exceeded");
  if (status_.IsBlockNotReady()) return wxString::Format("%s %d", notReadyText_, notReadyNumber_);
  return _("Measure");
}

void Measure::SetNotReady(const wxString& text, int number) {
  notReadyText_ = text;
  notReadyNumber_ = number;
}

}  // namespace kalvo_lorim
