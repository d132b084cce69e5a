// The settings file, its exchange with AppSettings, the port configuration
// and the work-in-system command line.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <set>
#include <string>

#include <sys/stat.h>

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

// wxFileConfig's own reading of an entry line: true when it would make an
// entry with an empty name, which it asserts on. The name is the text up to
// the first unquoted '=', ASCII blanks cut off at its end, and a backslash
// stands for the character after it.
bool EntryNameEmpty(const wxString& line) {
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
  // Nothing, or a lone backslash that quotes nothing.
  return end == i || (end == i + 1 && s[i] == L'\\');
}

// The byte order mark that the bytes start with, as the toolkit's decoder
// tells them apart; empty when there is none.
std::string ByteOrderMarkOf(const std::string& start) {
  for (const std::string& mark : {std::string("\xFF\xFE\0\0", 4), std::string("\0\0\xFE\xFF", 4),
                                 std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"),
                                 std::string("\xFE\xFF")}) {
    if (start.compare(0, mark.size(), mark) == 0) return mark;
  }
  return std::string();
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

// The toolkit's ini reader asserts on a group that opens twice and on an
// entry without a name, reads a huge file in quadratic time, and drops a
// file it cannot open or decode without a word, then reports its flush as
// done; such a file is not given to it.
// `byBytes` tells a file without byte order mark that is read one character
// per byte, as the toolkit reads one that is not UTF-8.
bool SettingsTextReadable(const wxString& path, bool& byBytes) {
  byBytes = false;
  if (!wxFileName::FileExists(path)) return true;
  wxFile file;
  if (!file.Open(path)) return false;
  const wxFileOffset size = file.Length();
  if (size < 0 || static_cast<std::size_t>(size) > gwxApp::MaxSettingsFileSize) return false;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && file.Read(&bytes[0], bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    return false;
  }
  wxString text(bytes.data(), wxConvAuto(), bytes.size());
  if (!bytes.empty() && text.empty()) return false;
  // The toolkit's UTF-8 reading lets surrogate codes through, which it
  // asserts on when it writes them back: such a file is not UTF-8. Read one
  // character per byte, it is written back byte for byte.
  if (!CharactersOnly(text) && ByteOrderMarkOf(bytes).empty()) {
    byBytes = true;
    text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
  }
  // A UTF-32 file can hold numbers that are no characters, and so can a
  // marked UTF-8 file.
  if (!CharactersOnly(text)) return false;

  wxStringInputStream none(wxString{});
  wxFileConfig scratch(none);
  std::set<wxString> seen;  // the root group may open any number of times
  std::size_t from = 0;
  while (from <= text.length()) {
    std::size_t to = text.find_first_of("\r\n", from);
    if (to == wxString::npos) to = text.length();
    const wxString line = text.substr(from, to - from);
    wxString group;
    // Group names match whatever their case.
    if (GroupHeaderPath(line, scratch, group) && !group.empty() && group != "/" &&
        !seen.insert(group.Lower()).second) {
      return false;
    }
    if (EntryNameEmpty(line)) return false;
    from = to + 1;
  }
  return true;
}

// The file's identity: the toolkit's flush replaces the file when it writes.
ino_t FileIdentity(const wxString& path) {
  struct stat st;
  return ::stat(path.fn_str(), &st) == 0 ? st.st_ino : 0;
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
  wxTempFileOutputStream out(path);
  bytes.insert(0, mark);
  return out.IsOk() && out.WriteAll(bytes.data(), bytes.size()) && out.Commit();
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
                                       const wxString& path, bool& detached) {
  wxLogNull quiet;  // a bad line takes its default, without a box
  wxFileConfig* result;
  bool byBytes = false;
  detached = !SettingsTextReadable(path, byBytes);
  if (detached) {
    std::fprintf(stderr,
                 "kalvo_checker: the settings file %s is damaged or unreadable; "
                 "every setting takes its default\n",
                 static_cast<const char*>(path.utf8_str()));
    wxStringInputStream none(wxString{});
    result = new wxFileConfig(none);
  } else {
    const wxConvAuto automatic;
    result = new wxFileConfig(name, vendor, path, wxString(), wxCONFIG_USE_RELATIVE_PATH,
                              byBytes ? wxConvISO8859_1 : static_cast<const wxMBConv&>(automatic));
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
  if (detachedConfig && wxFileExists(localFile) && !wxFile::Access(localFile, wxFile::read)) {
    // A file that could not even be read is not overwritten.
    ok = false;
  } else if (detachedConfig) {
    // Through a temporary file, as the toolkit's own flush does.
    wxTempFileOutputStream out(localFile);
    ok = out.IsOk() && config->Save(out, wxConvUTF8) && out.Commit();
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
