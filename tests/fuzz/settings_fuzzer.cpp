// Arbitrary bytes as the settings file "./kalvo_checker.ini": the real
// application object reads it, writes it at its normal exit and reads it
// again.
//
// Properties:
//  - the record read back after the exit is the record that was written,
//    both unchanged and after every field was changed (a change that the next
//    start does not see is lost), its texts as the bytes the file holds; an
//    entry the file pins with '!' keeps its value, as the format wants;
//  - the written file is read as it stands: neither mended nor kept aside;
//  - a file not read whole is kept aside, byte for byte, before anything is
//    written; a file holding a zero byte outside UTF-16 or UTF-32 is one;
//  - a file of plain lines reads as the last value of each key of each
//    group, whatever opening of the group it stands in, or as its first
//    value pinned with '!'; an entry without a name is dropped;
//  - every entry of the file outside the program's own keys survives, as
//    the first reading had it (a file not read has none);
//  - a pinned entry stays pinned, with its value, through both exits;
//  - work-in-system mode (no map file here) ends loading with exactly one
//    message box, answered by a hook before any window is made; without it
//    loading succeeds with none.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <wx/fileconf.h>
#include <wx/log.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app_fuzz.h"
#include "kalvo_lorim/unicode.h"
#include "security/rights.h"

using fuzzsupport::Fail;
using kalvo_lorim::Address;

namespace {

const char* const kIni = "kalvo_checker.ini";

// The application object as the program has it, with the view of its
// settings file that the properties need.
class FuzzApp : public App {
 public:
  FuzzApp() {
    static const char* args[] = {"kalvo_checker"};
    argc = 1;
    argv.Init(1, const_cast<char**>(args));
  }
  const SettingsFile& File() const { return *settingsFile; }
  wxFileConfig& Config() { return *config; }
};

void ResetGlobals() {
  AppSettings = AppSettingsRecord();
  StartedFromSystem = false;
  security::SetWorkInSystem(false);
  security::UserList.clear();
  security::PointAccessList.clear();
}

// How the reader decodes a file: by its byte order mark, else as UTF-8 when
// it is UTF-8 holding characters only, else one character per byte.
enum class Coding { Utf8, Latin1, Other };

Coding CodingOf(const std::string& bytes) {
  auto starts = [&](const char* mark, std::size_t n) { return bytes.compare(0, n, mark, n) == 0; };
  if (starts("\xEF\xBB\xBF", 3)) return Coding::Utf8;
  if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2) || starts("\0\0\xFE\xFF", 4)) return Coding::Other;
  if (bytes.empty()) return Coding::Utf8;
  const wxString utf8 = wxString::FromUTF8(bytes.data(), bytes.size());
  if (utf8.empty()) return Coding::Latin1;
  for (wxString::const_iterator it = utf8.begin(); it != utf8.end(); ++it) {
    if (!kalvo_lorim::IsCharacter(static_cast<wxUint32>((*it).GetValue()))) return Coding::Latin1;
  }
  return Coding::Utf8;
}

// The bytes of a file; empty when it cannot be read.
std::string FileBytes(const char* path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path, "rb")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

Coding CodingOfFile() { return CodingOf(FileBytes(kIni)); }

// A text as the bytes the file holds for it: a file whose only bytes that
// are no UTF-8 were in the program's own keys reads as UTF-8 once they are
// rewritten, and the other entries keep their bytes, not their characters.
std::string BytesOf(const wxString& text, Coding coding) {
  if (coding == Coding::Latin1) {
    const wxCharBuffer b = text.mb_str(wxConvISO8859_1);
    if (b.length() == text.length()) return std::string(b.data(), b.length());
  }
  const wxScopedCharBuffer u = text.utf8_str();
  return std::string(u.data(), u.length());
}

// The fields of AppSettings that the settings file holds.
struct Stored {
  wxString serialPort, baudRate, address, language;
  bool useOwnAdvancedTimeout = false, workInSystem = false;
  long waitReceiverTimeout = 0, countDigitDynParams = 0, infWinView = 0;
  // How the file that gave or takes the record is read: its texts are
  // compared as the bytes the file holds for them.
  Coding coding = Coding::Utf8;

  static Stored Now() {
    const AppSettingsRecord& s = AppSettings;
    return {s.serialPort, s.baudRate, s.address.Text(), s.language, s.useOwnAdvancedTimeout,
            s.workInSystem, s.waitReceiverTimeout, s.countDigitDynParams, s.infWinView};
  }
  bool operator==(const Stored& o) const {
    const auto same = [&](const wxString& a, const wxString& b) {
      return BytesOf(a, coding) == BytesOf(b, o.coding);
    };
    return same(serialPort, o.serialPort) && same(baudRate, o.baudRate) && address == o.address &&
           same(language, o.language) && useOwnAdvancedTimeout == o.useOwnAdvancedTimeout &&
           workInSystem == o.workInSystem && waitReceiverTimeout == o.waitReceiverTimeout &&
           countDigitDynParams == o.countDigitDynParams && infWinView == o.infWinView;
  }
  wxString Text() const {
    return wxString::Format("port=[%s] baud=[%s] address=%s own=%d timeout=%ld system=%d digits=%ld view=%ld "
                            "language=[%s]",
                            serialPort, baudRate, address, useOwnAdvancedTimeout, waitReceiverTimeout,
                            workInSystem, countDigitDynParams, infWinView, language);
  }
};

// Every field of the record set to a value other than the one it has; the
// mode stays, so that not every second load ends in a message box.
void ChangeEveryField() {
  AppSettingsRecord& s = AppSettings;
  s.serialPort = s.serialPort == "COM7" ? "COM8" : "COM7";
  s.baudRate = s.baudRate == "19200" ? "38400" : "19200";
  s.address = s.address == Address(3, 4, 5) ? Address(6, 7, 8) : Address(3, 4, 5);
  s.useOwnAdvancedTimeout = !s.useOwnAdvancedTimeout;
  s.waitReceiverTimeout = s.waitReceiverTimeout == 250 ? 251 : 250;
  s.countDigitDynParams = s.countDigitDynParams == 6 ? 7 : 6;
  s.infWinView = s.infWinView == 0 ? 1 : 0;
  s.language = s.language == "english" ? "russian" : s.language == "russian" ? "ukrainian" : "english";
}

// In lower case.
const std::set<wxString>& OwnKeys() {
  static const std::set<wxString> keys = {
      "/communication/serial_port", "/communication/address", "/communication/use_own_advanced_timeout",
      "/communication/wait_receiver_timeout", "/communication/work_in_system",
      "/communication/count_digit_dyn_params", "/baudrate/baud_rate",
      "/inform_win_view_0-engineer_1-fractional/inf_win_view", "/i18n/language"};
  return keys;
}

using Entries = std::map<std::string, std::string>;
using TextEntries = std::map<wxString, wxString>;

// Every entry of the configuration as its reader hands it out.
void Walk(wxFileConfig& config, const wxString& path, TextEntries& out, int depth) {
  config.SetPath(path);
  const wxString prefix = path == "/" ? wxString("/") : path + "/";
  wxString name;
  long index = 0;
  std::vector<wxString> names;
  for (bool more = config.GetFirstEntry(name, index); more; more = config.GetNextEntry(name, index)) {
    names.push_back(name);
  }
  for (const wxString& n : names) {
    wxString value;
    out[prefix + n] = config.Read(n, &value) ? "=" + value : wxString("<unread>");
  }
  if (depth >= 16) return;
  std::vector<wxString> groups;
  for (bool more = config.GetFirstGroup(name, index); more; more = config.GetNextGroup(name, index)) {
    groups.push_back(name);
  }
  for (const wxString& g : groups) {
    Walk(config, prefix + g, out, depth + 1);
    config.SetPath(path);
  }
}

TextEntries AllEntries(FuzzApp& app) {
  TextEntries all;
  Walk(app.Config(), "/", all, 0);
  app.Config().SetPath("/");
  return all;
}

// Every entry outside the program's keys, in the bytes of the file.
Entries OtherEntries(FuzzApp& app) {
  const TextEntries all = AllEntries(app);
  const Coding coding = CodingOfFile();
  // The reader finds groups and entries whatever the case of their names.
  Entries others;
  for (const auto& [key, value] : all) {
    if (!OwnKeys().count(key.Lower())) others[BytesOf(key, coding)] = BytesOf(value, coding);
  }
  return others;
}

// The reading of a file whose lines are all plain: group headers and
// entries of letters, digits and '_' (values also '.'), the entries perhaps
// pinned with '!', entries without a name, comments and empty lines; the
// keys in lower case. False for any other file.
bool PlainReading(const std::uint8_t* bytes, std::size_t size, TextEntries& reading) {
  const auto plain = [](const std::string& s, bool value) {
    for (char c : s) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && !(value && c == '.')) return false;
    }
    return true;
  };
  std::set<wxString> pinned;
  std::string group = "/";
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  for (std::size_t from = 0; from < text.size();) {
    // A lone CR ends a line too; CR LF leaves an empty one between.
    std::size_t to = text.find_first_of("\r\n", from);
    if (to == std::string::npos) to = text.size();
    const std::string line = text.substr(from, to - from);
    from = to + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[' && line.size() > 2 && line.back() == ']' && plain(line.substr(1, line.size() - 2), false)) {
      group = "/" + wxString(line.substr(1, line.size() - 2)).Lower().ToStdString() + "/";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::size_t start = line[0] == '!' ? 1 : 0;
    const std::string key = line.substr(start, equals - start), value = line.substr(equals + 1);
    if (!plain(key, false) || !plain(value, true) || (start == 1 && key.empty())) return false;
    if (key.empty()) continue;
    const wxString path = wxString(group + key).Lower();
    if (pinned.count(path)) continue;
    if (start == 1) pinned.insert(path);
    reading[path] = "=" + wxString(value);
  }
  return true;
}

// The entries of the file just read that cannot be changed, with their
// values, in the bytes of the file: a value written to one of them does not
// read back. The paths in lower case.
Entries PinnedEntries(const SettingsFile& file) {
  wxLogNull quiet;
  const std::unique_ptr<wxFileConfig> config(file.MakeConfig());
  TextEntries all;
  Walk(*config, "/", all, 0);
  config->SetPath("/");
  const Coding coding = CodingOfFile();
  Entries pinned;
  for (const auto& [path, value] : all) {
    wxString before, after;
    // An entry named by the pin alone, or by a name that ends in '/', has no
    // path to write to.
    if (path.EndsWith("/") || !config->Read(path, &before)) continue;
    config->Write(path, before + "\x01changed");
    if (config->Read(path, &after) && after == before) pinned[BytesOf(path.Lower(), coding)] = BytesOf(before, coding);
  }
  return pinned;
}

// Loads the file as the program's start does and checks the boxes.
Stored Load(FuzzApp& app, const char* when) {
  ResetGlobals();
  appfuzz::BoxCounter boxes;
  // InitLanguage without the locale: its lookup of the toolkit's catalogs
  // would take nearly all of the time.
  wxString language;
  app.Config().Read("/i18n/Language", &language, wxString());
  app.SetLanguageFromName(language);
  const bool loaded = app.LoadSave(true);
  Stored got = Stored::Now();
  got.coding = CodingOfFile();
  const int expected = got.workInSystem ? 1 : 0;
  if (boxes.count != expected || loaded == got.workInSystem) {
    Fail(when, wxString::Format("loaded=%d, %d message boxes (last: %s) for %s", loaded, boxes.count,
                                boxes.last, got.Text()));
  }
  return got;
}

// The program's normal exit: the record goes into the file.
void Exit(FuzzApp* app) {
  app->OnExit();
  delete app;
}

// Every entry of `before` is in `after` with the same value.
void ExpectAmong(const Entries& before, const Entries& after, const char* what) {
  for (const auto& [key, value] : before) {
    const auto it = after.find(key);
    if (it == after.end() || it->second != value) {
      const std::string text = key + " " + value + " -> " + (it == after.end() ? "<none>" : it->second);
      Fail(what, fuzzsupport::TextOf(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
  }
}

// Opens and loads the file written before; it must give `written` and keep
// the other entries and the pinned ones.
FuzzApp* Reopen(const Stored& written, const Entries& others, const Entries& pinned, const char* what) {
  FuzzApp* app = new FuzzApp;
  if (app->File().Mended() || !app->File().ReadWhole()) {
    Fail("the written file is not read as it stands", written.Text());
  }
  const Stored back = Load(*app, "loading the written file");
  if (!(back == written)) Fail(what, written.Text() + "\n  read back: " + back.Text());
  ExpectAmong(others, OtherEntries(*app), "an entry of the file outside the program's keys was lost");
  ExpectAmong(pinned, PinnedEntries(app->File()), "a pinned entry lost its pin or its value");
  return app;
}

// The record the next start reads after an exit with `changed`: an entry of
// the program that the file pins keeps the value `loaded` had.
Stored AfterExit(const Stored& changed, const Stored& loaded, const Entries& pinned) {
  Stored expected = changed;
  const auto keep = [&](const char* key, auto field) {
    if (pinned.count(key)) expected.*field = loaded.*field;
  };
  keep("/communication/serial_port", &Stored::serialPort);
  keep("/baudrate/baud_rate", &Stored::baudRate);
  keep("/communication/address", &Stored::address);
  keep("/communication/use_own_advanced_timeout", &Stored::useOwnAdvancedTimeout);
  keep("/communication/wait_receiver_timeout", &Stored::waitReceiverTimeout);
  keep("/communication/count_digit_dyn_params", &Stored::countDigitDynParams);
  keep("/inform_win_view_0-engineer_1-fractional/inf_win_view", &Stored::infWinView);
  keep("/i18n/language", &Stored::language);
  return expected;
}

// The copies kept of the settings file in the working folder, with their
// bytes; they are removed here, so that every input starts with an empty
// folder.
std::vector<std::string> TakeKeptCopies() {
  std::vector<std::string> copies;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(std::string(kIni) + ".unread-", 0) != 0) continue;
    copies.push_back(FileBytes(name.c_str()));
    std::remove(name.c_str());
  }
  return copies;
}

// At the exit that first writes over it, a file not read whole is kept
// beside it as it was, once; a file read whole is not copied.
void CheckKeptCopy(bool readWhole, const std::uint8_t* bytes, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(bytes), size);
  const std::vector<std::string> copies = TakeKeptCopies();
  if (readWhole) {
    if (!copies.empty()) Fail("a file read whole was copied aside", wxString());
    if (input.find('\0') != std::string::npos && CodingOf(input) != Coding::Other) {
      Fail("a file holding a zero byte was taken for read whole", wxString());
    }
    return;
  }
  if (copies.size() != 1) Fail("a file not read whole was not kept aside once", wxString::Format("%zu", copies.size()));
  if (copies.front() != input) Fail("the copy kept aside differs from the file", wxString());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  appfuzz::Setup(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::FILE* f = std::fopen(kIni, "wb");
  if (!f || (size && std::fwrite(bytes, 1, size, f) != size) || std::fclose(f) != 0) {
    Fail("the settings file cannot be written", wxString(kIni));
  }

  FuzzApp* app = new FuzzApp;
  const bool readWhole = app->File().ReadWhole();
  if (!app->File().MayWriteOver()) Fail("a file that was read may not be written over", wxString(kIni));
  if (!TakeKeptCopies().empty()) Fail("a copy was kept before anything was written", wxString());
  const Stored read = Load(*app, "loading the file");
  TextEntries plain;
  if (PlainReading(bytes, size, plain)) {
    TextEntries got;
    for (const auto& [key, value] : AllEntries(*app)) got[key.Lower()] = value;
    if (got != plain) {
      wxString text;
      for (const auto& [key, value] : got) text << key << value << "; ";
      Fail("a file of plain lines reads otherwise than the last value of each key", text);
    }
  }
  const Entries others = OtherEntries(*app);
  const Entries pinned = PinnedEntries(app->File());
  Exit(app);
  CheckKeptCopy(readWhole, bytes, size);

  app = Reopen(read, others, pinned, "the record read back differs from the one written");
  const Stored loaded = Stored::Now();
  const Entries pinnedOwn = PinnedEntries(app->File());
  ChangeEveryField();
  Stored changed = Stored::Now();
  changed.coding = CodingOfFile();
  Exit(app);

  delete Reopen(AfterExit(changed, loaded, pinnedOwn), others, pinned, "a changed record does not read back");
  ResetGlobals();
  return 0;
}
