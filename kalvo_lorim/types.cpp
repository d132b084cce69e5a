#include "kalvo_lorim/types.h"

#include <cstring>

namespace kalvo_lorim {

wxString Address::Text() const { return wxString::Format("%d.%d.%d", a, b, c); }
wxString Address::PaddedText() const { return wxString::Format("%03d.%03d.%03d", a, b, c); }
wxString Address::KeyText() const { return wxString::Format("%3d.%3d.%3d", a, b, c); }

bool operator==(const Address& x, const Address& y) {
  return x.a == y.a && x.b == y.b && x.c == y.c;
}
bool operator!=(const Address& x, const Address& y) { return !(x == y); }

bool ParseAddress(const wxString& text, Address& address) {
  const auto validLength = [](size_t n) { return n >= 1 && n <= 3; };

  const wxString first = text.BeforeFirst('.');
  if (!validLength(first.length())) return false;
  const wxString second = text.Mid(first.length() + 1).BeforeFirst('.');
  if (!validLength(second.length())) return false;
  const wxString third = text.Mid(first.length() + second.length() + 2);
  if (!validLength(third.length())) return false;

  long n[3];
  if (!first.ToLong(&n[0]) || !second.ToLong(&n[1]) || !third.ToLong(&n[2])) return false;
  for (long v : n) {
    if (v < 0 || v > 255) return false;
  }
  address.a = static_cast<std::uint8_t>(n[0]);
  address.b = static_cast<std::uint8_t>(n[1]);
  address.c = static_cast<std::uint8_t>(n[2]);
  return true;
}

DateTime::DateTime(const wxDateTime& when) {
  const wxDateTime::Tm tm = when.GetTm(wxDateTime::Local);
  const int y = tm.year;
  year = static_cast<std::uint8_t>(y < 2000 ? y - 1900 : y - 2000);
  month = static_cast<std::uint8_t>(tm.mon + 1);
  day = static_cast<std::uint8_t>(tm.mday);
  hour = static_cast<std::uint8_t>(tm.hour);
  minute = static_cast<std::uint8_t>(tm.min);
  second = static_cast<std::uint8_t>(tm.sec);
  milliseconds = static_cast<std::uint16_t>(tm.msec);
}

DateTime::DateTime(const std::uint8_t (&bytes)[Size])
    : year(bytes[0]),
      month(bytes[1]),
      day(bytes[2]),
      hour(bytes[3]),
      minute(bytes[4]),
      second(bytes[5]),
      milliseconds(static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8))) {}

DateTime::DateTime(std::uint8_t year_, std::uint8_t month_, std::uint8_t day_, std::uint8_t hour_,
                   std::uint8_t minute_, std::uint8_t second_, std::uint16_t milliseconds_)
    : year(year_),
      month(month_),
      day(day_),
      hour(hour_),
      minute(minute_),
      second(second_),
      milliseconds(milliseconds_) {}

void DateTime::ToBytes(std::uint8_t (&bytes)[Size]) const {
  bytes[0] = year;
  bytes[1] = month;
  bytes[2] = day;
  bytes[3] = hour;
  bytes[4] = minute;
  bytes[5] = second;
  bytes[6] = static_cast<std::uint8_t>(milliseconds & 0xFF);
  bytes[7] = static_cast<std::uint8_t>(milliseconds >> 8);
}

bool DateTime::IsNoInformation() const { return *this == DateTime(); }

bool operator==(const DateTime& x, const DateTime& y) {
  return x.year == y.year && x.month == y.month && x.day == y.day && x.hour == y.hour &&
         x.minute == y.minute && x.second == y.second && x.milliseconds == y.milliseconds;
}
bool operator!=(const DateTime& x, const DateTime& y) { return !(x == y); }

bool operator==(const LSingle& x, const LSingle& y) {
  return std::memcmp(x.bytes, y.bytes, sizeof x.bytes) == 0;
}
bool operator!=(const LSingle& x, const LSingle& y) { return !(x == y); }

}  // namespace kalvo_lorim

StateColours::StateColours(int level) : level_(level) {
  switch (level) {
    case 0:
      background_ = wxColour(0, 255, 0).GetRGB();
      text_ = wxColour(255, 255, 255).GetRGB();
      flag_ = false;
      break;
    case 1:
      background_ = wxColour(255, 250, 0).GetRGB();
      text_ = wxColour(0, 0, 0).GetRGB();
      flag_ = false;
      break;
    case 2:
      background_ = wxColour(255, 0, 0).GetRGB();
      text_ = wxColour(255, 255, 255).GetRGB();
      flag_ = true;
      break;
    default:
      background_ = wxColour(0, 255, 0).GetRGB();
      text_ = wxColour(0, 0, 0).GetRGB();
      flag_ = false;
      break;
  }
}

const wxString UnknownVariableText = wxS("Unknown variable");
const StateColours DefaultStateColours(-1);
