// The settings file as text: its coding, the mending of what the toolkit's
// reader would assert on, the copy kept of a file not read whole, and the
// writing back through one rename.
#include "app/settingsfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include <wx/arrstr.h>
#include <wx/convauto.h>
#include <wx/datetime.h>
#include <wx/log.h>
#include <wx/sstream.h>

#include "kalvo_lorim/unicode.h"

namespace {

// wxFileConfig's own reading of a group header line: the group's path as its
// parser would set it, or false when the line is no group header.
bool GroupHeaderPath(const wxString& line, wxString& path) {
  const std::wstring_view s(line.wc_str(), line.length());
  std::size_t i = 0;
  while (i < s.size() && std::iswspace(s[i])) ++i;
  if (i >= s.size() || s[i] != L'[') return false;
  const std::size_t start = i + 1;
  std::size_t end = start;
  bool closed = false;
  for (; end < s.size(); ++end) {
    if (s[end] == L'\\') {
      if (++end >= s.size()) break;
      continue;
    }
    if (s[end] == L']') {
      closed = true;
      break;
    }
  }
  if (!closed) return false;
  wxString name;
  for (std::size_t k = start; k < end; ++k) {
    if (s[k] == L'\\' && ++k >= end) break;
    name += wxUniChar(static_cast<wxUint32>(s[k]));
  }
  // The parts of the path as the configuration's SetPath takes them.
  wxArrayString parts;
  wxSplitPath(parts, "/" + name);
  path.clear();
  for (const wxString& part : parts) path << '/' << part;
  return true;
}

// wxFileConfig's own reading of an entry line: the entry's name, or false
// when the line is no entry. The name is the text up to the first unquoted
// '=', ASCII blanks cut off at its end, and a backslash stands for the
// character after it. The reader asserts on an empty name.
bool EntryName(const wxString& line, wxString& name) {
  const std::wstring_view s(line.wc_str(), line.length());
  std::size_t i = 0;
  while (i < s.size() && std::iswspace(s[i])) ++i;
  if (i >= s.size() || s[i] == L';' || s[i] == L'#' || s[i] == L'[') return false;
  std::size_t end = i;
  while (end < s.size() && s[end] != L'=') {
    if (s[end] == L'\\' && ++end >= s.size()) break;
    ++end;
  }
  if (end >= s.size()) return false;  // no '=': the reader skips the line
  while (end > i && s[end - 1] < 127 && std::iswspace(s[end - 1])) --end;
  name.clear();
  for (std::size_t k = i; k < end; ++k) {
    if (s[k] == L'\\' && ++k >= end) break;  // a lone backslash quotes nothing
    name += wxUniChar(static_cast<wxUint32>(s[k]));
  }
  return true;
}

// The byte order marks as the toolkit's decoder tells them apart, with the
// conversion it reads the rest of the file in.
struct MarkConversion {
  std::string mark;
  const wxMBConv* conv;
};

const std::vector<MarkConversion>& Marks() {
  static const wxMBConvUTF32LE utf32le;
  static const wxMBConvUTF32BE utf32be;
  static const wxMBConvUTF16LE utf16le;
  static const wxMBConvUTF16BE utf16be;
  static const std::vector<MarkConversion> marks = {{std::string("\xFF\xFE\0\0", 4), &utf32le},
                                                    {std::string("\0\0\xFE\xFF", 4), &utf32be},
                                                    {"\xEF\xBB\xBF", &wxConvUTF8},
                                                    {"\xFF\xFE", &utf16le},
                                                    {"\xFE\xFF", &utf16be}};
  return marks;
}

// The byte order mark that the bytes start with; empty when there is none.
std::string ByteOrderMarkOf(const std::string& bytes) {
  for (const MarkConversion& m : Marks()) {
    if (bytes.compare(0, m.mark.size(), m.mark) == 0) return m.mark;
  }
  return std::string();
}

// The conversion a file with this mark (or none) is read and written in.
const wxMBConv& ConversionOf(const std::string& mark, bool byBytes) {
  for (const MarkConversion& m : Marks()) {
    if (m.mark == mark) return *m.conv;
  }
  return byBytes ? static_cast<const wxMBConv&>(wxConvISO8859_1) : wxConvUTF8;
}

bool CharactersOnly(const wxString& text) {
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    if (!kalvo_lorim::IsCharacter(static_cast<wxUint32>((*it).GetValue()))) return false;
  }
  return true;
}

void Report(const wxString& text) {
  std::fprintf(stderr, "kalvo_checker: %s\n", static_cast<const char*>(text.utf8_str()));
}

// The steps of mending, for standard error: the first ones one line each,
// then how many more there were.
class Steps {
 public:
  explicit Steps(const wxString& path) : path_(path) {}
  void Add(std::size_t line, const wxString& what) {
    if (++count_ <= SettingsFile::StepsNamed) {
      named_.push_back(wxString::Format("the settings file %s, line %zu: %s", path_, line, what));
    }
  }
  void Say() const {
    for (const wxString& step : named_) Report(step);
    if (count_ > named_.size()) {
      Report(wxString::Format("the settings file %s: and %zu more such steps", path_, count_ - named_.size()));
    }
  }

 private:
  wxString path_;
  std::vector<wxString> named_;
  std::size_t count_ = 0;
};

// The text as the toolkit's reader is to get it.
struct Mending {
  wxString text;
  // Lines were joined or dropped.
  bool changed = false;
  // More entries and group headers than are read: nothing else is set.
  bool tooMany = false;
  // The first line that a zero byte ends early (1-based; 0 for none).
  std::size_t zeroLine = 0;
};

// The toolkit's ini reader asserts on a group that opens again and on an
// entry without a name. Such a file is read as far as it reads: a group that
// opens again joins its first opening, its lines put at the end of that
// opening's, where a key set before keeps only its later line; an entry
// without a name is dropped. A key pinned with '!' keeps its first pinned
// line in its group and no other, as the reader ignores a later value of it
// (an earlier one it would take as a second entry of the same name). Each
// line is cut at a zero byte, where the reader stops.
Mending Mend(const wxString& text, Steps& steps) {
  Mending result;
  std::vector<wxString> lines;
  for (std::size_t from = 0; from < text.length();) {
    std::size_t to = text.find_first_of("\r\n", from);
    if (to == wxString::npos) to = text.length();
    wxString line = text.substr(from, to - from);
    const std::size_t zero = line.find(wxUniChar(0));
    if (zero != wxString::npos) {
      line.erase(zero);
      if (result.zeroLine == 0) result.zeroLine = lines.size() + 1;
    }
    lines.push_back(line);
    from = to + (text.compare(to, 2, "\r\n") == 0 ? 2 : 1);
  }

  struct Key {
    std::vector<std::size_t> lines;  // that set it
    std::size_t pin = wxString::npos;
  };
  struct Opening {
    std::size_t header;  // npos: the lines before the first group
    std::vector<std::size_t> lines;
    std::map<wxString, Key> keys;  // by lower-case name
  };
  std::vector<Opening> openings(1, Opening{wxString::npos, {}, {}});
  std::map<wxString, std::size_t> firstOpening;  // by lower-case group path
  std::vector<bool> dropped(lines.size(), false);
  std::size_t current = 0;
  bool again = false;           // `current` opened again
  std::set<wxString> setAgain;  // keys the current opening set so far
  std::size_t counted = 0;

  for (std::size_t i = 0; i < lines.size(); ++i) {
    wxString group, name;
    const bool header = GroupHeaderPath(lines[i], group);
    if (!header && !EntryName(lines[i], name)) {
      openings[current].lines.push_back(i);
      continue;
    }
    if (++counted > SettingsFile::MaxEntries) {
      result.tooMany = true;
      return result;
    }
    if (header) {
      again = false;
      // The root group may open any number of times; other group names
      // match whatever their case.
      const auto first = group.empty() ? firstOpening.end() : firstOpening.find(group.Lower());
      if (first != firstOpening.end()) {
        current = first->second;
        again = true;
        setAgain.clear();
        dropped[i] = result.changed = true;
        steps.Add(i + 1, wxString::Format("the group [%s] opens again; its entries join the group of line %zu",
                                          group.Mid(1), openings[current].header + 1));
        continue;
      }
      current = openings.size();
      openings.push_back(Opening{i, {}, {}});
      if (!group.empty()) firstOpening[group.Lower()] = current;
      continue;
    }
    Opening& opening = openings[current];
    opening.lines.push_back(i);
    if (name.empty()) {
      dropped[i] = result.changed = true;
      steps.Add(i + 1, "an entry without a name is skipped");
      continue;
    }
    // The reader takes a leading '!' for the pin, not for part of the name.
    const bool pinned = name[0] == '!';
    const wxString bare = pinned ? name.Mid(1) : name;
    const wxString lower = bare.Lower();
    Key& key = opening.keys[lower];
    if (key.pin != wxString::npos) {
      dropped[i] = result.changed = true;
      steps.Add(i + 1, wxString::Format("the entry %s is pinned at line %zu; this line is dropped", bare,
                                        key.pin + 1));
      continue;
    }
    if (pinned || (again && setAgain.insert(lower).second)) {
      for (std::size_t earlier : key.lines) {
        dropped[earlier] = result.changed = true;
        steps.Add(earlier + 1,
                  pinned ? wxString::Format("the entry %s is pinned at line %zu; this line is dropped", bare, i + 1)
                         : wxString::Format("the entry %s is set again at line %zu; the later value is used", name,
                                            i + 1));
      }
      key.lines.clear();
    }
    if (pinned) key.pin = i;
    key.lines.push_back(i);
  }

  for (const Opening& opening : openings) {
    if (opening.header != wxString::npos) result.text << lines[opening.header] << '\n';
    for (std::size_t i : opening.lines) {
      if (!dropped[i]) result.text << lines[i] << '\n';
    }
  }
  return result;
}

std::string SystemError(int error) { return std::strerror(error); }

// A new file beside `near`, removed unless it is put in place.
class TempFile {
 public:
  explicit TempFile(const std::string& near) : name_(near + ".tmp-XXXXXX") {
    fd_ = ::mkstemp(&name_[0]);
    if (fd_ < 0) name_.clear();
  }
  bool Ok() const { return fd_ >= 0; }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool Write(const char* data, std::size_t size) {
    while (fd_ >= 0 && size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
  }
  // Copies the whole file at `path`.
  bool CopyOf(const std::string& path) {
    const int from = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
      const ssize_t n = ::read(from, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || !Write(buffer, static_cast<std::size_t>(n))) {
        ok = n == 0;
        break;
      }
    }
    const int error = errno;
    ::close(from);
    errno = error;
    return ok;
  }
  // Gives the content its mode and waits until it is on the disk.
  bool Finish(mode_t mode) {
    if (fd_ < 0 || ::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) return false;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  // Puts the finished file in place as `target`. With `replace` false an
  // existing target stays: false, with errno EEXIST.
  bool RenameTo(const std::string& target, bool replace) {
    if (fd_ >= 0 || name_.empty()) return false;
    bool ok;
    if (replace) {
      ok = ::rename(name_.c_str(), target.c_str()) == 0;
    } else {
      ok = ::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
      // A file system without that rename: a new link replaces nothing either.
      if (!ok && (errno == EINVAL || errno == ENOSYS) && ::link(name_.c_str(), target.c_str()) == 0) {
        ::unlink(name_.c_str());
        ok = true;
      }
    }
    if (ok) name_.clear();
    return ok;
  }

 private:
  std::string name_;
  int fd_ = -1;
};

// The mode a new file gets, as the toolkit gives it.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0077);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

SettingsFile::SettingsFile(const wxString& path) : path_(path) { Read(); }

void SettingsFile::Read() {
  wxLogNull quiet;  // said on standard error; a box would open as the program ends
  struct stat st;
  if (::stat(path_.fn_str(), &st) != 0) {
    if (errno != ENOENT) NotRead(SystemError(errno), false);
    return;
  }
  if (!S_ISREG(st.st_mode)) return NotRead("it is not a regular file", false);
  if (static_cast<std::uintmax_t>(st.st_size) > MaxSize) {
    return NotRead(wxString::Format("it is larger than %zu MiB", MaxSize / (1024 * 1024)), true);
  }

  std::string bytes;
  {
    std::FILE* file = std::fopen(path_.fn_str(), "rb");
    if (!file) return NotRead(SystemError(errno), false);
    char buffer[64 * 1024];
    std::size_t n;
    while (bytes.size() <= MaxSize && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) return NotRead(SystemError(error), false);
    if (bytes.size() > MaxSize) return NotRead("it grew while it was read", true);
  }

  mark_ = ByteOrderMarkOf(bytes);
  wxString text;
  if (!mark_.empty()) {
    text = wxString(bytes.data(), wxConvAuto(), bytes.size());
    if (text.empty() && bytes.size() > mark_.size()) {
      return NotRead("it does not decode in the coding its byte order mark names", true);
    }
  } else if (!bytes.empty()) {
    text = wxString(bytes.data(), wxConvUTF8, bytes.size());
    // Not UTF-8, or UTF-8 holding surrogate codes, which the toolkit's UTF-8
    // reading lets through and asserts on when it writes them back: read one
    // character per byte, it is written back byte for byte.
    if (text.empty() || !CharactersOnly(text)) {
      byBytes_ = true;
      text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    }
  }
  // A UTF-32 file can hold numbers that are no characters, and so can a
  // marked UTF-8 file.
  if (!CharactersOnly(text)) return NotRead("it holds numbers that are no characters", true);

  Steps steps(path_);
  const Mending mending = Mend(text, steps);
  if (mending.tooMany) {
    return NotRead(wxString::Format("it has more than %zu entries and groups", MaxEntries), true);
  }
  steps.Say();
  text_ = mending.text;
  mended_ = mending.changed;
  if (mending.zeroLine == 0) return;
  readWhole_ = false;
  Report(wxString::Format("the settings file %s, line %zu: a zero byte ends what is read of the line; the whole "
                          "file is kept aside before it is written over",
                          path_, mending.zeroLine));
}

void SettingsFile::NotRead(const wxString& why, bool canCopy) {
  mark_.clear();
  byBytes_ = false;
  text_.clear();
  readWhole_ = false;
  mayWriteOver_ = canCopy;
  Report(wxString::Format("the settings file %s is not read (%s); every setting takes its default, and the file %s",
                          path_, why, canCopy ? "is kept aside before it is written over" : "is not written over"));
}

bool SettingsFile::KeepAside(wxString& error) {
  struct stat st;
  const std::string path(path_.fn_str());
  TempFile copy(path);
  if (!copy.Ok() || ::stat(path.c_str(), &st) != 0 || !copy.CopyOf(path) || !copy.Finish(st.st_mode & 07777)) {
    error = SystemError(errno);
    return false;
  }
  // Never over an earlier copy.
  const wxString stamp = path_ + ".unread-" + wxDateTime::Now().Format("%Y%m%d-%H%M%S");
  for (int n = 1; n <= 1000; ++n) {
    const wxString name = n == 1 ? stamp : wxString::Format("%s-%d", stamp, n);
    if (copy.RenameTo(std::string(name.fn_str()), false)) {
      keptCopy_ = name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  error = SystemError(errno);
  return false;
}

wxFileConfig* SettingsFile::MakeConfig() const {
  wxLogNull quiet;  // a line the reader warns of takes its default, without a box
  wxStringInputStream in(text_);
  auto* config = new wxFileConfig(in, wxConvUTF8);
  // Not bound to the file: nothing is written but by Write.
  config->DisableAutoSave();
  // Values come back exactly as written: a port name is no template.
  config->SetExpandEnvVars(false);
  return config;
}

bool SettingsFile::Write(wxFileConfig& config) {
  if (!mayWriteOver_) return false;
  const auto cannot = [this](const wxString& why) {
    Report(wxString::Format("cannot write the settings file %s (%s)", path_, why));
    return false;
  };
  // The toolkit's Save cuts each line at its first zero byte, of which UTF-16
  // and UTF-32 are full: it writes UTF-8 here.
  wxString text;
  wxStringOutputStream utf8(&text, wxConvUTF8);
  if (!config.Save(utf8, wxConvUTF8)) return cannot("the settings cannot be put as text");
  const wxCharBuffer coded = text.mb_str(ConversionOf(mark_, byBytes_));
  if (!text.empty() && coded.length() == 0) return cannot("a character has no bytes in the file's coding");
  std::string bytes = mark_ + std::string(coded.data(), coded.length());
  // A file without a mark whose first characters have the bytes of one
  // would be read in another coding at the next start: an empty line goes
  // before them.
  if (mark_.empty() && !ByteOrderMarkOf(bytes).empty()) bytes.insert(0, "\n");

  // Made only now: a run that ends before it writes leaves no copy behind.
  if (!readWhole_ && keptCopy_.empty()) {
    wxString error;
    if (!KeepAside(error)) {
      Report(wxString::Format("the settings file %s cannot be kept aside (%s); it is not written over", path_, error));
      return false;
    }
    Report(wxString::Format("the settings file %s is kept as %s before it is written over", path_, keptCopy_));
  }

  const std::string path(path_.fn_str());
  struct stat st;
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : NewFileMode();
  TempFile file(path);
  if (!file.Write(bytes.data(), bytes.size()) || !file.Finish(mode) || !file.RenameTo(path, true)) {
    return cannot(SystemError(errno));
  }
  return true;
}
