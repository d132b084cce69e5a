#pragma once
// Number texts in the C numeric locale, whatever locale the process runs
// with: the texts travel to the point and back, so "12,3" must never appear.

#include <wx/string.h>

namespace kalvo_lorim {

// printf-style formatting of numbers; pass no wxString arguments.
wxString FormatNumber(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kalvo_lorim
