#pragma once
// One measured value of a point with its automatically chosen power-of-ten
// prefix, as the device thread reads it and the panels show it.

#include <cstdint>

#include <wx/string.h>

#include "kalvo_lorim/types.h"

namespace kalvo_lorim {

// Marks a missing value (bit pattern 0xC426AAA0).
constexpr float NoMeasureValue = -666.666f;

class Measure {
 public:
  Measure();
  // Stores the reading and chooses the prefix and scaled value.
  Measure(float value, const wxString& unit, std::uint32_t time, std::uint8_t uncertainty,
          int algorithmNumber, std::uint16_t statusWord);

  // Engineer view ("×10³"), fractional view ("k").
  wxString ValueText() const;
  wxString FractionalValueText() const;
  // Label of the threshold state: bit 5 over 7 over 6 over 9.
  wxString ThresholdText() const;

  bool HasValue() const { return value_ != NoMeasureValue; }
  // Drops the value only; scaled value, prefixes and status stay.
  void ClearValue() { value_ = NoMeasureValue; }
  void SetNotReady(const wxString& text, int number);

  float GetValue() const { return value_; }
  float GetScaledValue() const { return scaled_; }
  float GetScaleFactor() const { return scaleFactor_; }
  std::uint32_t GetTime() const { return time_; }
  std::uint8_t GetUncertainty() const { return uncertainty_; }
  wxString GetUnit() const { return unit_; }
  wxString GetPrefix() const { return prefix_; }
  wxString GetPrefixLetter() const { return prefixLetter_; }
  int GetAlgorithmNumber() const { return algorithmNumber_; }
  Status GetStatus() const { return status_; }
  wxString GetNotReadyText() const { return notReadyText_; }
  int GetNotReadyNumber() const { return notReadyNumber_; }

 private:
  void AutoScale();
  wxString Text(const wxString& prefix) const;

  float value_;
  float scaled_;
  float scaleFactor_;
  std::uint32_t time_;
  std::uint8_t uncertainty_;
  wxString unit_;
  wxString prefix_;
  wxString prefixLetter_;
  int algorithmNumber_;
  Status status_;
  wxString notReadyText_;
  int notReadyNumber_;
};

}  // namespace kalvo_lorim
