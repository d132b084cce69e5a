#include "kalvo_lorim/numbers.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace kalvo_lorim {

namespace {

// uselocale switches only the calling thread, so the device thread and the
// user-interface thread never see each other's switch.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

}  // namespace

wxString FormatNumber(const char* format, ...) {
  const locale_t previous = uselocale(CLocale());
  char small[128];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (n >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), format, again);
    text.resize(static_cast<std::size_t>(n));
  } else if (n > 0) {
    text.assign(small, static_cast<std::size_t>(n));
  }
  va_end(again);
  uselocale(previous);
  return wxString::FromAscii(text.c_str());
}

}  // namespace kalvo_lorim
