#pragma once
// The settings file as text: read as far as it reads, in the coding it is
// in, mended where the toolkit's ini reader would assert, kept aside whole
// when it is not read whole, and written back in its coding.

#include <cstddef>
#include <string>

#include <wx/fileconf.h>
#include <wx/string.h>

class SettingsFile {
 public:
  // Bounds of what is read, far above any settings file, other programs'
  // groups included: the time of reading grows with the size, and in the
  // toolkit's reader faster than the number of entries in one group (or of
  // groups). A file past them is kept aside and not read.
  static constexpr std::size_t MaxSize = 4 * 1024 * 1024;
  static constexpr std::size_t MaxEntries = 100 * 1000;  // entries and group headers
  // How many steps of mending standard error names one by one.
  static constexpr std::size_t StepsNamed = 10;

  // Reads the file at `path`; a missing file reads as empty. Standard error
  // says what was not read.
  explicit SettingsFile(const wxString& path);

  // A configuration object holding what was read, not bound to the file.
  wxFileConfig* MakeConfig() const;
  // Writes the configuration over the file, in the coding the file was read
  // in, through a temporary file and one rename; false, with the file left
  // as it was, when that fails or when the file may not be written over. A
  // file not read whole is first copied beside it, under a name that says
  // so, and standard error names the copy.
  bool Write(wxFileConfig& config);

  // The whole file was read (or there is none): nothing of it is lost when
  // it is written over.
  bool ReadWhole() const { return readWhole_; }
  // False for a file that was not read whole and cannot be copied (not a
  // regular file, not readable).
  bool MayWriteOver() const { return mayWriteOver_; }
  // The copy kept of a file not read whole; empty until one is made.
  const wxString& KeptCopy() const { return keptCopy_; }
  // Lines were joined or dropped so that the toolkit's reader reads the file.
  bool Mended() const { return mended_; }

 private:
  void Read();
  // Not read at all, for this reason; `canCopy`: it can be copied aside
  // before it is written over.
  void NotRead(const wxString& why, bool canCopy);
  // Copies the file beside itself; false with the reason in `error`.
  bool KeepAside(wxString& error);

  wxString path_;
  // What the toolkit's reader gets: the file's text, mended.
  wxString text_;
  // The file's byte order mark, and whether it was read one character per
  // byte (a file without mark that is no UTF-8).
  std::string mark_;
  bool byBytes_ = false;
  bool mended_ = false;
  bool readWhole_ = true;
  bool mayWriteOver_ = true;
  wxString keptCopy_;
};
