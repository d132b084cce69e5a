#pragma once
// Shared pieces of the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <string>

#include <wx/string.h>

namespace fuzzsupport {

// Sets up wxWidgets' base library and the C numeric locale once per process.
void Setup();

// The input as text: UTF-8 when it is valid UTF-8, else one character per byte.
wxString TextOf(const std::uint8_t* data, std::size_t size);

// Reports a broken property of the code under test and aborts, so that the
// fuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* what, const wxString& detail);

// A file of this process that the targets fill with the input.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& Path() const { return path_; }
  void Write(const std::uint8_t* data, std::size_t size) const;

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace fuzzsupport
