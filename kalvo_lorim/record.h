#pragma once
// The measurement record a point keeps for its current measuring series,
// and the text line the service view shows for it.

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

#include "kalvo_lorim/types.h"

namespace kalvo_lorim {

struct MeasurementRecord {
  static constexpr std::size_t Size = 72;

  std::uint8_t numberA = 0;
  DateTime d1;  // date and time of the record
  DateTime d2;  // only its time is shown
  float f1 = 0.0f;
  std::uint8_t numberB = 0;
  std::uint16_t n2 = 0;
  float f2 = 0.0f;
  DateTime d3;  // only its time is shown
  std::uint8_t flag = 0;
  std::uint32_t n1 = 0;

  // From the little-endian layout; bytes missing from a short record read as 0.
  static MeasurementRecord FromBytes(const std::uint8_t* bytes, std::size_t count);
};

// The record as one tab-separated line.
wxString RecordToText(const MeasurementRecord& record);

}  // namespace kalvo_lorim
