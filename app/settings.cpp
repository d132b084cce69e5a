// The settings file, its exchange with AppSettings, the port configuration
// and the work-in-system command line.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/sstream.h>
#include <wx/wfstream.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "kalvo_lorim/unicode.h"

namespace {

// wxFileConfig's own reading of a group header line: the group's path as its
// parser would set it, or false when the line is no group header.
bool GroupHeaderPath(const wxString& line, wxFileConfig& scratch, wxString& path) {
  std::wstring s = line.ToStdWstring();
  s = s.substr(0, s.find(L'\0'));  // the parser stops at a NUL
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
  scratch.SetPath(wxString("/") + name);
  path = scratch.GetPath();
  return true;
}

// wxFileConfig's own reading of an entry line: the entry's name, or false
// when the line is no entry. The name is the text up to the first unquoted
// '=', ASCII blanks cut off at its end, and a backslash stands for the
// character after it. The reader asserts on an empty name.
bool EntryName(const wxString& line, wxString& name) {
  std::wstring s = line.ToStdWstring();
  s = s.substr(0, s.find(L'\0'));
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
std::string ByteOrderMarkOf(const std::string& start) {
  for (const MarkConversion& m : Marks()) {
    if (start.compare(0, m.mark.size(), m.mark) == 0) return m.mark;
  }
  return std::string();
}

// The conversion a file with this mark (or none) was read in.
const wxMBConv& ConversionOf(const std::string& mark, bool byBytes) {
  for (const MarkConversion& m : Marks()) {
    if (m.mark == mark) return *m.conv;
  }
  return byBytes ? static_cast<const wxMBConv&>(wxConvISO8859_1) : wxConvUTF8;
}

std::string ByteOrderMark(const wxString& path) {
  wxFile file;
  char head[4] = {};
  if (!wxFileName::FileExists(path) || !file.Open(path)) return std::string();
  const ssize_t n = file.Read(head, sizeof head);
  return ByteOrderMarkOf(std::string(head, n > 0 ? static_cast<std::size_t>(n) : 0));
}

bool CharactersOnly(const wxString& text) {
  for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
    if (!kalvo_lorim::IsCharacter(static_cast<wxUint32>((*it).GetValue()))) return false;
  }
  return true;
}

void SayOfLine(const wxString& path, std::size_t line, const wxString& what) {
  std::fprintf(stderr, "kalvo_checker: the settings file %s, line %zu: %s\n",
               static_cast<const char*>(path.utf8_str()), line, static_cast<const char*>(what.utf8_str()));
}

// The toolkit's ini reader asserts on a group that opens again and on an
// entry without a name. Such a file is read as far as it reads: a group that
// opens again joins its first opening, its lines put at the end of that
// opening's, where a key set before keeps only its later line; an entry
// without a name is dropped. Each step is said on standard error. False
// when there is nothing to mend.
bool MendGroupsAndNames(const wxString& text, const wxString& path, wxString& mended) {
  // The toolkit's lines, each cut at a NUL, where its parser stops.
  std::vector<wxString> lines;
  for (std::size_t from = 0; from < text.length();) {
    std::size_t to = text.find_first_of("\r\n", from);
    if (to == wxString::npos) to = text.length();
    wxString line = text.substr(from, to - from);
    line = line.substr(0, line.find(wxUniChar(0)));
    lines.push_back(line);
    from = to + (text.compare(to, 2, "\r\n") == 0 ? 2 : 1);
  }

  struct Opening {
    std::size_t header;  // npos: the lines before the first group
    std::vector<std::size_t> lines;
    // Lower-case entry name -> the lines that set it.
    std::map<wxString, std::vector<std::size_t>> keys;
  };
  std::vector<Opening> openings(1, Opening{wxString::npos, {}, {}});
  std::map<wxString, std::size_t> firstOpening;  // by lower-case group path
  std::vector<bool> dropped(lines.size(), false);
  std::size_t current = 0;
  bool again = false;           // `current` opened again
  std::set<wxString> setAgain;  // keys the current opening set so far
  bool changed = false;

  wxStringInputStream none(wxString{});
  wxFileConfig scratch(none);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    wxString group, name;
    if (GroupHeaderPath(lines[i], scratch, group)) {
      again = false;
      // The root group may open any number of times; other group names
      // match whatever their case.
      const auto first = group.empty() || group == "/" ? firstOpening.end() : firstOpening.find(group.Lower());
      if (first != firstOpening.end()) {
        current = first->second;
        again = true;
        setAgain.clear();
        dropped[i] = changed = true;
        SayOfLine(path, i + 1,
                  wxString::Format("the group [%s] opens again; its entries join the group of line %zu",
                                   group.Mid(1), openings[current].header + 1));
        continue;
      }
      current = openings.size();
      openings.push_back(Opening{i, {}, {}});
      if (!group.empty() && group != "/") firstOpening[group.Lower()] = current;
      continue;
    }
    Opening& opening = openings[current];
    if (EntryName(lines[i], name)) {
      if (name.empty()) {
        dropped[i] = changed = true;
        SayOfLine(path, i + 1, "an entry without a name is skipped");
        continue;
      }
      // The reader takes a leading '!' for a mark, not for part of the name.
      const wxString key = (name[0] == '!' ? name.Mid(1) : name).Lower();
      std::vector<std::size_t>& before = opening.keys[key];
      if (again && setAgain.insert(key).second) {
        for (std::size_t earlier : before) {
          dropped[earlier] = true;
          SayOfLine(path, earlier + 1,
                    wxString::Format("the entry %s is set again at line %zu; the later value is used", name, i + 1));
        }
        before.clear();
      }
      before.push_back(i);
    }
    opening.lines.push_back(i);
  }
  if (!changed) return false;

  mended.clear();
  for (const Opening& opening : openings) {
    if (opening.header != wxString::npos) mended << lines[opening.header] << '\n';
    for (std::size_t i : opening.lines) {
      if (!dropped[i]) mended << lines[i] << '\n';
    }
  }
  return true;
}

// What the settings file gives the configuration object.
struct SettingsText {
  // False: damaged or unreadable, not read at all.
  bool readable = true;
  // A file without byte order mark that is read one character per byte, as
  // the toolkit reads one that is not UTF-8.
  bool byBytes = false;
  std::string mark;
  // The text to read instead of the file, which the toolkit cannot read as
  // it stands.
  bool mended = false;
  wxString text;
};

// The toolkit's ini reader reads a huge file in quadratic time, and drops a
// file it cannot open or decode without a word, then reports its flush as
// done; such a file is not given to it. Nor is one it would assert on.
SettingsText ReadSettingsText(const wxString& path) {
  SettingsText result;
  if (!wxFileName::FileExists(path)) return result;
  SettingsText damaged;
  damaged.readable = false;
  wxFile file;
  if (!file.Open(path)) return damaged;
  const wxFileOffset size = file.Length();
  if (size < 0 || static_cast<std::size_t>(size) > gwxApp::MaxSettingsFileSize) return damaged;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && file.Read(&bytes[0], bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    return damaged;
  }
  result.mark = ByteOrderMarkOf(bytes);
  wxString text(bytes.data(), wxConvAuto(), bytes.size());
  if (!bytes.empty() && text.empty()) return damaged;
  // Not UTF-8, or UTF-8 holding surrogate codes, which the toolkit's UTF-8
  // reading lets through and asserts on when it writes them back: read one
  // character per byte, it is written back byte for byte.
  if (result.mark.empty() && !bytes.empty() &&
      (wxString(bytes.data(), wxConvUTF8, bytes.size()).empty() || !CharactersOnly(text))) {
    result.byBytes = true;
    text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
  }
  // A UTF-32 file can hold numbers that are no characters, and so can a
  // marked UTF-8 file.
  if (!CharactersOnly(text)) return damaged;
  result.mended = MendGroupsAndNames(text, path, result.text);
  return result;
}

// The file's identity: the toolkit's flush replaces the file when it writes.
ino_t FileIdentity(const wxString& path) {
  struct stat st;
  return ::stat(path.fn_str(), &st) == 0 ? st.st_ino : 0;
}

// Through a temporary file, as the toolkit's own flush does: a failed write
// leaves the old file whole.
bool ReplaceFile(const wxString& path, const std::string& bytes) {
  wxTempFileOutputStream out(path);
  return out.IsOk() && out.WriteAll(bytes.data(), bytes.size()) && out.Commit();
}

// The toolkit's flush writes a file back in its encoding but without the
// byte order mark: the next start would read a UTF-16 or UTF-32 file as
// UTF-8 and lose every setting, and take a UTF-8 file's leading U+FEFF for
// the mark. The mark is put back in front.
bool RestoreByteOrderMark(const wxString& path, const std::string& mark) {
  wxFile file;
  if (!file.Open(path)) return false;
  const wxFileOffset size = file.Length();
  if (size < 0) return false;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && file.Read(&bytes[0], bytes.size()) != static_cast<ssize_t>(bytes.size())) return false;
  file.Close();
  return ReplaceFile(path, mark + bytes);
}

// A configuration not bound to its file, written in the file's coding with
// its byte order mark. The toolkit's Save cuts each line at its first zero
// byte, of which UTF-16 and UTF-32 are full: it writes UTF-8 here.
bool SaveInCoding(wxFileConfig& config, const wxString& path, const std::string& mark, const wxMBConv& conv) {
  wxString text;
  wxStringOutputStream utf8(&text, wxConvUTF8);
  if (!config.Save(utf8, wxConvUTF8)) return false;
  const wxCharBuffer coded = text.mb_str(conv);
  // A character the coding has no bytes for: written as the toolkit's flush
  // would, not at all.
  if (!text.empty() && coded.length() == 0) return false;
  return ReplaceFile(path, mark + std::string(coded.data(), coded.length()));
}

// A whole number as the settings file stores it: blanks around it allowed,
// nothing else.
bool ReadWholeNumber(const wxString& text, long& value) {
  wxString t = text;
  t.Trim(true).Trim(false);
  return !t.empty() && t.ToCLong(&value);
}

}  // namespace

wxFileConfig* gwxApp::OpenSettingsFile(const wxString& name, const wxString& vendor,
                                       const wxString& path, SettingsSource& source) {
  wxLogNull quiet;  // a bad line takes its default, without a box
  wxFileConfig* result;
  const SettingsText file = ReadSettingsText(path);
  source = SettingsSource();
  if (!file.readable || file.mended) {
    if (!file.readable) {
      std::fprintf(stderr,
                   "kalvo_checker: the settings file %s is damaged or unreadable; "
                   "every setting takes its default\n",
                   static_cast<const char*>(path.utf8_str()));
    }
    source.detached = true;
    source.mark = file.mark;
    source.byBytes = file.byBytes;
    wxStringInputStream text(file.text);  // empty for a damaged file
    result = new wxFileConfig(text, wxConvUTF8);
  } else {
    const wxConvAuto automatic;
    result = new wxFileConfig(name, vendor, path, wxString(), wxCONFIG_USE_RELATIVE_PATH,
                              file.byBytes ? wxConvISO8859_1 : static_cast<const wxMBConv&>(automatic));
  }
  // Values come back exactly as written: a port name is no template.
  result->SetExpandEnvVars(false);
  return result;
}

bool gwxApp::WriteSettingsFile() {
  if (!config) return true;
  wxLogNull quiet;  // reported by the caller; no box while the program ends
  if (!saved) {
    config->DisableAutoSave();
    return true;
  }
  bool ok;
  if (settingsSource.detached && wxFileExists(localFile) && !wxFile::Access(localFile, wxFile::read)) {
    // A file that could not even be read is not overwritten.
    ok = false;
  } else if (settingsSource.detached) {
    ok = SaveInCoding(*config, localFile, settingsSource.mark,
                      ConversionOf(settingsSource.mark, settingsSource.byBytes));
  } else {
    const std::string mark = ByteOrderMark(localFile);
    const ino_t before = mark.empty() ? 0 : FileIdentity(localFile);
    ok = config->Flush();
    if (ok && !mark.empty() && FileIdentity(localFile) != before) ok = RestoreByteOrderMark(localFile, mark);
  }
  config->DisableAutoSave();  // a failed write is not tried again
  return ok;
}

bool gwxApp::ExchangeString(const wxString& group, const wxString& key, wxString& field,
                            const wxString& defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  const bool found = config->Read(path, &text) && !text.empty();
  field = found ? text : defaultValue;
  return found;
}

bool gwxApp::ExchangeBool(const wxString& group, const wxString& key, bool& field,
                          bool defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  long value = 0;
  const bool found = config->Read(path, &text) && ReadWholeNumber(text, value);
  field = found ? value != 0 : defaultValue;
  return found;
}

bool gwxApp::ExchangeLong(const wxString& group, const wxString& key, long& field,
                          long defaultValue) {
  const wxString path = group + "/" + key;
  if (!loading) return config->Write(path, field);
  wxString text;
  long value = 0;
  const bool found = config->Read(path, &text) && ReadWholeNumber(text, value);
  field = found ? value : defaultValue;
  return found;
}

bool App::LoadSave(bool load) {
  loading = load;
  const wxString communication = "/communication";

  ExchangeString(communication, "serial_port", AppSettings.serialPort, "COM1");
  if (AppSettings.serialPort.empty()) AppSettings.serialPort = "COM1";
  ExchangeString("/baudrate", "baud_rate", AppSettings.baudRate, "9600");
  if (AppSettings.baudRate.empty()) AppSettings.baudRate = "9600";

  wxString address = AppSettings.address.Text();
  ExchangeString(communication, "address", address, "255.255.255");
  if (address.empty()) address = "255.255.255";
  // An address that does not read serves the point reached directly, not
  // 0.0.0, which nothing accepts for a point.
  if (!kalvo_lorim::ParseAddress(address, AppSettings.address)) {
    AppSettings.address = kalvo_lorim::NoAddress();
  }

  ExchangeBool(communication, "use_own_advanced_timeout", AppSettings.useOwnAdvancedTimeout, false);
  ExchangeLong(communication, "wait_receiver_timeout", AppSettings.waitReceiverTimeout, 40);
  ExchangeBool(communication, "work_in_system", AppSettings.workInSystem, false);
  ExchangeLong(communication, "count_digit_dyn_params", AppSettings.countDigitDynParams, 3);
  ExchangeLong("/inform_win_view_0-engineer_1-fractional", "inf_win_view", AppSettings.infWinView, 0);

  AppSettings.language = LanguageNameFromCode(languageCode);

  if (load) {
    AddCatalogs();
    if (AppSettings.workInSystem && !StartInSystem()) return false;
  }
  return true;
}

kalvo_lorim::SerialPortLorimProtocol::Configurator App::MakePortConfigurator() {
  std::string port;
  for (wxString::const_iterator it = AppSettings.serialPort.begin();
       it != AppSettings.serialPort.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    port += c > 127 ? '_' : static_cast<char>(c);
  }
  // A time-out that does not fit the configuration's unsigned field is
  // refused like one below the minimum, not wrapped into a huge wait.
  const long timeout = AppSettings.waitReceiverTimeout;
  const unsigned replyTimeout =
      timeout < 0 || static_cast<unsigned long>(timeout) > UINT_MAX ? 0u
                                                                    : static_cast<unsigned>(timeout);
  return kalvo_lorim::SerialPortLorimProtocol::Configurator(port.c_str(), replyTimeout, 6, 9600, 'N',
                                                            8, 0);
}

bool App::ParseCommandLine() {
  if (argc != 6) return false;
  const wxString login = argv[1];
  const wxString password = argv[2];
  const wxString port = argv[3];
  const wxString addressText = argv[4];
  const wxString timeoutText = argv[5];

  kalvo_lorim::Address address;
  if (!kalvo_lorim::ParseAddress(addressText, address)) return false;
  if (address == kalvo_lorim::BroadcastAddress() || address == kalvo_lorim::NoAddress() ||
      address == kalvo_lorim::OwnAddress()) {
    return false;
  }

  if (!port.StartsWith("COM")) return false;
  const std::wstring number = port.Mid(3).ToStdWstring();
  errno = 0;
  const long portNumber = std::wcstol(number.c_str(), nullptr, 10);
  if (portNumber < 1 || portNumber > 256) return false;

  long timeout = 0;
  if (!timeoutText.ToCLong(&timeout)) return false;

  cmdLogin = login;
  cmdPassword = password;
  cmdTimeout = timeout;
  cmdPort = port;
  cmdAddress = address;
  return true;
}
