#include "fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <stdexcept>

#include <wx/init.h>
#include <wx/log.h>

#include "kalvo_lorim/unicode.h"

namespace fuzzsupport {

void Setup() {
  static wxInitializer* wx = nullptr;
  if (wx) return;
  wx = new wxInitializer;  // lives until the process ends
  if (!wx->IsOk()) {
    std::fprintf(stderr, "wxWidgets failed to initialise\n");
    std::abort();
  }
  std::setlocale(LC_NUMERIC, "C");
  // Log messages of failed conversions would only slow the run down.
  wxLog::EnableLogging(false);
}

wxString TextOf(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const wxString utf8 = wxString::FromUTF8(bytes, size);
  if (!utf8.empty() || size == 0) return utf8;
  return wxString(bytes, wxConvISO8859_1, size);
}

void Fail(const char* what, const wxString& detail) {
  // Values that are no characters cannot be written as UTF-8: shown as numbers.
  wxString shown;
  for (wxString::const_iterator it = detail.begin(); it != detail.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if (!kalvo_lorim::IsCharacter(c)) {
      shown += wxString::Format("\\x{%x}", c);
    } else {
      shown += *it;
    }
  }
  std::fprintf(stderr, "property broken: %s\n  %s\n", what, shown.utf8_string().c_str());
  std::fflush(stderr);
  std::abort();
}

ScratchFile::ScratchFile() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kalvo_fuzz_XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  path_ = dir_ + "/input.map";
}

ScratchFile::~ScratchFile() {
  unlink(path_.c_str());
  rmdir(dir_.c_str());
}

void ScratchFile::Write(const std::uint8_t* data, std::size_t size) const {
  std::FILE* f = std::fopen(path_.c_str(), "wb");
  if (!f) Fail("scratch file cannot be written", wxString(path_));
  if (size && std::fwrite(data, 1, size, f) != size) Fail("short write", wxString(path_));
  std::fclose(f);
}

}  // namespace fuzzsupport
