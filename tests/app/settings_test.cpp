// The settings file: what the reader makes of ini texts, what a normal exit
// writes, a file kept aside that was not read whole, a file that cannot be
// written, and the port configuration built from the record.

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/convauto.h>
#include <wx/fileconf.h>
#include <wx/arrstr.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/sstream.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app_run.h"
#include "gui_support.h"

namespace {

using kalvo_lorim::Address;
using namespace std::string_literals;
using guitest::ResetGlobals;

// A working folder "work" inside a scratch folder, so that "../config.map"
// stays inside the scratch folder too.
class SettingsFolder {
 public:
  explicit SettingsFolder(const std::optional<std::string>& ini) {
    std::filesystem::create_directories(std::filesystem::path(dir_.Path()) / "work");
    if (ini) dir_.Write("work/kalvo_checker.ini", *ini);
    std::filesystem::current_path(std::filesystem::path(dir_.Path()) / "work");
  }
  bool HasIni() const { return dir_.Exists("work/kalvo_checker.ini"); }
  std::string Ini() const { return dir_.Read("work/kalvo_checker.ini"); }
  const guitest::ScratchDir& Dir() const { return dir_; }

 private:
  guitest::ScratchDir dir_;
};

// The real application object, made the toolkit's instance for its life.
class AppUnderTest {
 public:
  AppUnderTest() : previous_(wxApp::GetInstance()) {
    ResetGlobals();
    app_ = new App;
    const char* args[] = {"kalvo_checker"};
    app_->argc = 1;
    app_->argv.Init(1, const_cast<char**>(args));
  }
  ~AppUnderTest() {
    delete app_;
    wxApp::SetInstance(previous_);
    ResetGlobals();
  }
  App& operator*() { return *app_; }
  App* operator->() { return app_; }

 private:
  wxAppConsole* previous_;
  App* app_;
};

struct ReadCase {
  const char* name = "";
  std::optional<std::string> ini;
  wxString serialPort = "COM1";
  wxString baudRate = "9600";
  Address address = Address(255, 255, 255);
  bool useOwnAdvancedTimeout = false;
  long waitReceiverTimeout = 40;
  bool workInSystem = false;
  long countDigitDynParams = 3;
  long infWinView = 0;
  wxString language;
  // Work-in-system mode ends loading with one message here (no map file).
  bool mapMessage = false;
  // The file is not read whole: a copy of it is kept beside it.
  bool keptAside = false;
};

std::string Repeat(const std::string& piece, std::size_t n) {
  std::string s;
  s.reserve(piece.size() * n);
  for (std::size_t i = 0; i < n; ++i) s += piece;
  return s;
}

// UTF-32 big-endian with its byte order mark; the units are not checked.
std::string Utf32WithMark(const std::u32string& units) {
  std::string bytes("\0\0\xFE\xFF", 4);
  for (char32_t u : units) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((u >> shift) & 0xFF);
  }
  return bytes;
}

// The text in UTF-16LE with its byte order mark, as a Windows editor saves it.
std::string Utf16WithMark(const wxString& text) {
  std::string bytes = "\xFF\xFE";
  for (wxUniChar c : text) {
    const wxUint32 v = c.GetValue();
    bytes += static_cast<char>(v & 0xFF);
    bytes += static_cast<char>(v >> 8);
  }
  return bytes;
}

// A settings file of this program's groups with a large group of another
// program between them, larger than the old bound of 256 KiB: the port
// COM4, the address 10.20.30 and the baud rate 19200.
struct SharedFile {
  std::string own, other, rest;
  std::string Text() const { return own + other + rest; }
};

SharedFile SharedWithAnotherProgram() {
  SharedFile f;
  f.own = "[communication]\nserial_port=COM4\naddress=10.20.30\n";
  f.other = "[Other.Program]\n";
  for (int i = 0; f.other.size() < 275 * 1024; ++i) {
    f.other += "recent_file_" + std::to_string(i) + "=/home/operator/измерения/2024/станция 7/run " +
               std::to_string(i * 7) + ".dat\n";
  }
  f.rest = "[baudrate]\nbaud_rate=19200\n";
  return f;
}

ReadCase Row(const char* name, std::optional<std::string> ini) {
  ReadCase c;
  c.name = name;
  c.ini = std::move(ini);
  return c;
}

std::vector<ReadCase> ReadCases() {
  std::vector<ReadCase> rows;
  auto add = [&rows](ReadCase c) { rows.push_back(std::move(c)); };
  add(Row("no file", std::nullopt));
  {
    ReadCase c = Row("every key", std::string("[communication]\nserial_port=COM4\naddress=10.20.30\n"
                                        "use_own_advanced_timeout=1\nwait_receiver_timeout=120\n"
                                        "work_in_system=0\ncount_digit_dyn_params=7\n"
                                        "[baudrate]\nbaud_rate=19200\n"
                                        "[inform_win_view_0-engineer_1-fractional]\ninf_win_view=1\n"
                                        "[i18n]\nLanguage=ukrainian\n"));
    c.serialPort = "COM4";
    c.baudRate = "19200";
    c.address = Address(10, 20, 30);
    c.useOwnAdvancedTimeout = true;
    c.waitReceiverTimeout = 120;
    c.countDigitDynParams = 7;
    c.infWinView = 1;
    c.language = "ukrainian";
    add(c);
  }
  add(Row("empty port and baud rate", std::string("[communication]\nserial_port=\n[baudrate]\nbaud_rate=\n")));
  {
    ReadCase c = Row("no baud rate group", std::string("[communication]\nserial_port=COM2\n"));
    c.serialPort = "COM2";
    add(c);
  }
  add(Row("time-out abc", std::string("[communication]\nwait_receiver_timeout=abc\n")));
  add(Row("time-out with text after the number", std::string("[communication]\nwait_receiver_timeout=25ms\n")));
  add(Row("time-out too large for a long",
       std::string("[communication]\nwait_receiver_timeout=99999999999999999999999\n")));
  {
    ReadCase c = Row("time-out with a blank in front", std::string("[communication]\nwait_receiver_timeout= 25\n"));
    c.waitReceiverTimeout = 25;
    add(c);
    c.name = "quoted time-out with a blank in front";
    c.ini = "[communication]\nwait_receiver_timeout=\" 25\"\n";
    add(c);
  }
  {
    ReadCase c = Row("time-out below the minimum and a baud rate outside the set pass unchanged",
               std::string("[communication]\nwait_receiver_timeout=-5\n[baudrate]\nbaud_rate=12345\n"));
    c.waitReceiverTimeout = -5;
    c.baudRate = "12345";
    add(c);
  }
  add(Row("flag true is no number", std::string("[communication]\nwork_in_system=true\nuse_own_advanced_timeout=yes\n")));
  {
    ReadCase c = Row("flag 1", std::string("[communication]\nwork_in_system=1\n"));
    c.workInSystem = true;
    c.mapMessage = true;
    add(c);
  }
  {
    ReadCase c = Row("address with leading zeros", std::string("[communication]\naddress=001.002.003\n"));
    c.address = Address(1, 2, 3);
    add(c);
  }
  add(Row("address that does not parse", std::string("[communication]\naddress=1.2\n")));
  add(Row("address out of range", std::string("[communication]\naddress=1.2.300\n")));
  add(Row("empty address", std::string("[communication]\naddress=\n")));
  {
    ReadCase c = Row("language in capitals", std::string("[i18n]\nLanguage=RUSSIAN\n"));
    c.language = "russian";
    add(c);
  }
  add(Row("unknown language", std::string("[i18n]\nLanguage=klingon\n")));
  {
    ReadCase c = Row("texts are not expanded", std::string("[communication]\nserial_port=$HOME%PATH%\n"));
    c.serialPort = "$HOME%PATH%";
    add(c);
  }
  {
    // Read as far as each line reads, up to a zero byte; kept whole aside.
    ReadCase c = Row("binary bytes", "[communication]\nserial_port=COM7\nwait_receiver_timeout=\x01\xff\xfe\n"
                               "\x00\x00\xc3\x28garbage\x00=\x00\n[\x00]\ncount_digit_dyn_params=\xff\n"s);
    c.serialPort = "COM7";
    c.keptAside = true;
    add(c);
  }
  {
    ReadCase c = Row("very long lines", "[communication]\n" + Repeat("x", 200000) + "\nbaud_rate=" +
                                      Repeat("9", 1000) + "\nserial_port=COM8\n");
    c.serialPort = "COM8";
    add(c);
  }
  {
    ReadCase c = Row("nested groups in any order", std::string("[a/b]\nk=1\n[a]\nk=2\n[communication/x]\n"
                                                         "[communication]\nserial_port=COM5\n[]\n[/]\n[..]\n"
                                                         "[a/../communication]\nwait_receiver_timeout=90\n"));
    c.waitReceiverTimeout = 90;
    c.serialPort = "COM5";
    add(c);
  }
  // A group that opens again joins its first opening; a key set in both
  // takes the later value.
  {
    ReadCase c = Row("duplicated group", std::string("[communication]\nserial_port=COM2\n[communication]\nserial_port=COM3\n"));
    c.serialPort = "COM3";
    add(c);
    c.name = "duplicated group in other letter case";
    c.ini = "[communication]\nserial_port=COM2\n[Communication]\nserial_port=COM3\n";
    add(c);
    c.name = "group opening three times";
    c.ini = "[communication]\nserial_port=COM1\n[baudrate]\nbaud_rate=19200\n[communication]\nserial_port=COM2\n"
            "[communication]\nserial_port=COM3\n";
    c.baudRate = "19200";
    add(c);
  }
  {
    ReadCase c = Row("duplicated group under another spelling",
                     std::string("[communication]\nserial_port=COM2\n[ /communication/ ]x\n[/communication]\n"));
    c.serialPort = "COM2";
    add(c);
  }
  {
    // A tool appended a second group: the station stays in its mode.
    ReadCase c = Row("work in system in the first of two groups",
                     std::string("[communication]\nwork_in_system=1\nserial_port=COM2\naddress=1.2.3\n"
                                 "[baudrate]\nbaud_rate=19200\n"
                                 "[communication]\nserial_port=COM3\nwait_receiver_timeout=90\n"));
    c.workInSystem = true;
    c.mapMessage = true;
    c.serialPort = "COM3";
    c.address = Address(1, 2, 3);
    c.baudRate = "19200";
    c.waitReceiverTimeout = 90;
    add(c);
  }
  {
    // A quarter of a MiB, every group opening again.
    std::string groups;
    for (int i = 0; groups.size() < 256 * 1024; ++i) {
      groups += "[communication]\nserial_port=COM" + std::to_string(i % 9 + 1) + "\n[other]\nkey_" +
                std::to_string(i) + "=1\n";
    }
    ReadCase c = Row("groups opening again all through a large file", groups + "[communication]\nserial_port=COM9\n");
    c.serialPort = "COM9";
    add(c);
  }
  // An entry without a name is skipped; the rest of the file is read.
  {
    ReadCase c = Row("entry without a name", std::string("[communication]\nserial_port=COM2\n=1\nwait_receiver_timeout=90\n"));
    c.serialPort = "COM2";
    c.waitReceiverTimeout = 90;
    add(c);
    c.name = "entry named by a lone backslash";
    c.ini = "[communication]\nserial_port=COM2\n \\ \t= 1\nwait_receiver_timeout=90\n";
    add(c);
    c.name = "entry without a name in a duplicated group";
    c.ini = "[communication]\nserial_port=COM2\n[communication]\n=COM3\nwait_receiver_timeout=90\n";
    add(c);
  }
  // An empty file saved with a byte order mark.
  add(Row("only a byte order mark", std::string("\xFF\xFE")));
  {
    ReadCase c = Row("UTF-32 file", Utf32WithMark(U"[communication]\nserial_port=COM2\n"));
    c.serialPort = "COM2";
    add(c);
  }
  // A unit past the last character: the toolkit would assert when it writes it back.
  {
    ReadCase c = Row("UTF-32 file with a number that is no character",
                     Utf32WithMark(U"[communication]\nserial_port=COM2" + std::u32string(1, 0x5B626175) + U"\n"));
    c.keptAside = true;
    add(c);
  }
  {
    // Bytes that the toolkit would take for a surrogate code: not UTF-8.
    ReadCase c = Row("surrogate code in UTF-8 form", std::string("[communication]\nserial_port=COM2\n"
                                                              "[other]\nnote=\xED\xBB\xBF\n"));
    c.serialPort = "COM2";
    add(c);
  }
  {
    ReadCase c = Row("surrogate code after a UTF-8 mark", std::string("\xEF\xBB\xBF[communication]\n"
                                                                    "serial_port=COM2\xED\xA0\x80\n"));
    c.keptAside = true;
    add(c);
    c.name = "UTF-8 mark before bytes that are no UTF-8";
    c.ini = "\xEF\xBB\xBF[communication]\nserial_port=COM2\xC3\n";
    add(c);
    c.name = "UTF-16 file that does not decode";
    c.ini = Utf16WithMark("[communication]\nserial_port=COM2") + "\x00\xD8\n\x00"s;
    add(c);
  }
  {
    ReadCase c = Row("quoted equals sign is a name", std::string("[communication]\nserial_port=COM2\n\\==1\n"));
    c.serialPort = "COM2";
    add(c);
  }
  {
    // More entries than are read: kept aside and never given to the
    // toolkit's reader, whose time grows faster than their number.
    std::string keys = "[communication]\nserial_port=COM9\n";
    for (int i = 0; i < 200000; ++i) keys += "key_" + std::to_string(i) + "=1\n";
    ReadCase c = Row("huge file", keys);
    c.keptAside = true;
    add(c);
  }
  {
    const std::string start = "[communication]\nserial_port=COM9\n[other]\nnote=";
    ReadCase c = Row("larger than any settings file", start + Repeat("x", SettingsFile::MaxSize - start.size()) + "\n");
    c.keptAside = true;
    add(c);
  }
  {
    const SharedFile f = SharedWithAnotherProgram();
    ReadCase c = Row("another program's large group", f.Text());
    c.serialPort = "COM4";
    c.address = Address(10, 20, 30);
    c.baudRate = "19200";
    add(c);
  }
  // An entry pinned with '!' keeps its value in its group.
  {
    ReadCase c = Row("pinned entry in a group that opens again",
                     std::string("[communication]\n!serial_port=COM2\n[baudrate]\nbaud_rate=19200\n"
                                 "[communication]\nserial_port=COM3\n"));
    c.serialPort = "COM2";
    c.baudRate = "19200";
    add(c);
    c.name = "pin in the later opening of a group";
    c.ini = "[communication]\nserial_port=COM2\n[baudrate]\nbaud_rate=19200\n[communication]\n!serial_port=COM3\n";
    c.serialPort = "COM3";
    add(c);
    c.name = "pin after an unpinned line of the same group";
    c.ini = "[communication]\nserial_port=COM2\n!serial_port=COM3\n[baudrate]\nbaud_rate=19200\n";
    add(c);
  }
  return rows;
}

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The files beside the settings file in the working folder, by name, with
// their bytes: the copies kept of a file that was not read whole.
std::map<std::string, std::string> KeptCopies() {
  std::map<std::string, std::string> copies;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name != "kalvo_checker.ini") copies[name] = FileBytes(entry.path());
  }
  return copies;
}

class SettingsReader : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SettingsReader, FillsTheRecord) {
  const ReadCase& c = GetParam();
  SettingsFolder folder(c.ini);
  guitest::ModalScript boxes;
  if (c.mapMessage) boxes.ThenId(wxID_OK);

  auto app = std::make_unique<AppUnderTest>();
  const bool loaded = (*app)->InitLanguage();

  EXPECT_EQ(loaded, !c.mapMessage);
  EXPECT_EQ(AppSettings.serialPort, c.serialPort);
  EXPECT_EQ(AppSettings.baudRate, c.baudRate);
  EXPECT_EQ(AppSettings.address.Text(), c.address.Text());
  EXPECT_EQ(AppSettings.useOwnAdvancedTimeout, c.useOwnAdvancedTimeout);
  EXPECT_EQ(AppSettings.waitReceiverTimeout, c.waitReceiverTimeout);
  EXPECT_EQ(AppSettings.workInSystem, c.workInSystem);
  EXPECT_EQ(AppSettings.countDigitDynParams, c.countDigitDynParams);
  EXPECT_EQ(AppSettings.infWinView, c.infWinView);
  EXPECT_EQ(AppSettings.language, c.language);
  // A warning logged on the way would open a box as the program ends.
  wxLog::FlushActive();
  EXPECT_EQ(boxes.Pending(), 0u);
  // Nothing is copied before something is written: a start that fails, or
  // a second copy of the program, leaves no copies behind.
  EXPECT_TRUE(KeptCopies().empty());
  if (!loaded) return;
  (*app)->OnExit();
  app.reset();
  const std::map<std::string, std::string> kept = KeptCopies();
  ASSERT_EQ(kept.size(), c.keptAside ? 1u : 0u);
  if (c.keptAside) {
    EXPECT_TRUE(kept.begin()->second == *c.ini) << "the copy differs from the file";
  }
}

INSTANTIATE_TEST_SUITE_P(Ini, SettingsReader, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<ReadCase>& info) {
                           std::string n;
                           for (const char* p = info.param.name; *p; ++p) n += std::isalnum(*p) ? *p : '_';
                           return n;
                         });

// The raw text of every key in a written settings file.
std::map<wxString, wxString> WrittenKeys(const std::string& text) {
  wxStringInputStream in(wxString::FromUTF8(text.data(), text.size()));
  wxFileConfig file(in);
  file.SetExpandEnvVars(false);
  std::map<wxString, wxString> keys;
  for (const char* group : {"/communication", "/baudrate", "/inform_win_view_0-engineer_1-fractional", "/i18n"}) {
    file.SetPath(group);
    wxString key;
    long index = 0;
    for (bool more = file.GetFirstEntry(key, index); more; more = file.GetNextEntry(key, index)) {
      keys[wxString(group) + "/" + key] = file.Read(key, wxString("<unreadable>"));
    }
  }
  return keys;
}

TEST(SettingsWriter, NormalExitWritesEveryKeyFromTheRecord) {
  SettingsFolder folder(std::string("; the operator's note\n[communication]\naddress=001.002.003\n"
                                    "[i18n]\nLanguage=Russian\n[other]\nkept=yes\n"));
  {
    AppUnderTest app;
    ASSERT_TRUE(app->InitLanguage());
    EXPECT_EQ(AppSettings.address, Address(1, 2, 3));
    AppSettings.serialPort = "COM12";
    AppSettings.baudRate = "115200";
    AppSettings.useOwnAdvancedTimeout = true;
    AppSettings.waitReceiverTimeout = 250;
    AppSettings.countDigitDynParams = 6;
    AppSettings.infWinView = 1;
    EXPECT_EQ(app->OnExit(), 0);
  }
  const std::map<wxString, wxString> expected = {
      {"/communication/serial_port", "COM12"},
      {"/communication/address", "1.2.3"},
      {"/communication/use_own_advanced_timeout", "1"},
      {"/communication/wait_receiver_timeout", "250"},
      {"/communication/work_in_system", "0"},
      {"/communication/count_digit_dyn_params", "6"},
      {"/baudrate/baud_rate", "115200"},
      {"/inform_win_view_0-engineer_1-fractional/inf_win_view", "1"},
      {"/i18n/Language", "russian"},
  };
  const std::string text = folder.Ini();
  EXPECT_EQ(WrittenKeys(text), expected) << text;
  EXPECT_NE(text.find("kept=yes"), std::string::npos) << "other groups stay";

  // What was written reads back as the same record.
  AppUnderTest again;
  ASSERT_TRUE(again->InitLanguage());
  EXPECT_EQ(AppSettings.serialPort, "COM12");
  EXPECT_EQ(AppSettings.address, Address(1, 2, 3));
  EXPECT_EQ(AppSettings.waitReceiverTimeout, 250);
  EXPECT_EQ(AppSettings.language, "russian");
}

// One start of the program and its normal exit, with the port changed to
// `port`; `read` takes the port the start found.
void RunChangingPort(const wxString& port, wxString* read = nullptr) {
  AppUnderTest app;
  ASSERT_TRUE(app->InitLanguage());
  if (read) *read = AppSettings.serialPort;
  AppSettings.serialPort = port;
  app->OnExit();
}

// The other program's entries are written back line for line.
TEST(SettingsWriter, AnotherProgramsLargeGroupIsWrittenBackWhole) {
  const SharedFile shared = SharedWithAnotherProgram();
  SettingsFolder folder(shared.Text());
  wxString port;
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM6", &port));
  EXPECT_EQ(port, "COM4");
  const std::string text = folder.Ini();
  EXPECT_NE(text.find(shared.other), std::string::npos) << "the other program's group is not there line for line";
  const std::map<wxString, wxString> keys = WrittenKeys(text);
  EXPECT_EQ(keys.at("/communication/serial_port"), "COM6");
  EXPECT_EQ(keys.at("/communication/address"), "10.20.30");
  EXPECT_EQ(keys.at("/baudrate/baud_rate"), "19200");
  EXPECT_TRUE(KeptCopies().empty());
}

// Files the reader does not read whole: at a normal exit a copy is kept
// beside the file, byte for byte, and named on standard error, before the
// file gets the record.
std::vector<std::pair<const char*, std::string>> FilesNotReadWhole() {
  return {
      {"does not decode", Utf16WithMark("[communication]\nserial_port=COM2") + "\x00\xD8\n\x00"s},
      {"a number that is no character",
       Utf32WithMark(U"[communication]\naddress=1.2.3\nserial_port=COM2" + std::u32string(1, 0x5B626175) + U"\n")},
      {"a zero byte in a line", "[communication]\nserial_port=COM7\n[other]\nnote=a\0b\n"s},
  };
}

TEST(SettingsWriter, FileNotReadWholeIsKeptAsideBeforeItIsWrittenOver) {
  for (const auto& [name, ini] : FilesNotReadWhole()) {
    SCOPED_TRACE(name);
    SettingsFolder folder(ini);
    ::testing::internal::CaptureStderr();
    auto app = std::make_unique<AppUnderTest>();
    const bool loaded = (*app)->InitLanguage();
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(loaded);
    EXPECT_NE(said.find("kept aside before it is written over"), std::string::npos) << said;
    EXPECT_TRUE(folder.Ini() == ini) << "written over at start";

    AppSettings.serialPort = "COM6";
    (*app)->OnExit();
    ::testing::internal::CaptureStderr();
    app.reset();
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::map<std::string, std::string> kept = KeptCopies();
    ASSERT_EQ(kept.size(), 1u) << err;
    const auto& [copyName, copy] = *kept.begin();
    EXPECT_TRUE(copy == ini) << "the copy differs from the file";
    EXPECT_EQ(copyName.rfind("kalvo_checker.ini.unread-", 0), 0u) << copyName;
    EXPECT_NE(err.find(copyName), std::string::npos) << err;
    EXPECT_EQ(WrittenKeys(folder.Ini()).at("/communication/serial_port"), "COM6") << folder.Ini();
  }
}

// The same file not read at two starts: two copies, the first one untouched.
TEST(SettingsWriter, EarlierCopyIsNeverWrittenOver) {
  const std::string ini = FilesNotReadWhole().front().second;
  SettingsFolder folder(ini);
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM5"));
  const std::map<std::string, std::string> first = KeptCopies();
  ASSERT_EQ(first.size(), 1u);
  folder.Dir().Write("work/kalvo_checker.ini", ini);
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM6"));
  const std::map<std::string, std::string> both = KeptCopies();
  ASSERT_EQ(both.size(), 2u);
  for (const auto& [name, bytes] : both) EXPECT_TRUE(bytes == ini) << name;
  EXPECT_EQ(both.count(first.begin()->first), 1u);
}

// A file that is not UTF-8 (the byte 0x84) is read byte by byte; with the
// program's own value written over that byte, what is left would look like
// UTF-8 holding a surrogate code. It must still read back, with the other
// entries' bytes as they were.
TEST(SettingsWriter, FileReadByteByByteReadsBackAfterItsOnlyStrayByteIsReplaced) {
  const std::string note = "note=\xED\xBB\xBF\n";
  SettingsFolder folder("[communication]\nserial_port=COM\x84\n[other]\n" + note);
  const wxString read[] = {wxString("COM") + wxUniChar(0x84), "COM5"};
  const wxString written[] = {"COM5", "COM6"};
  for (int i = 0; i < 2; ++i) {
    wxString port;
    ASSERT_NO_FATAL_FAILURE(RunChangingPort(written[i], &port));
    EXPECT_EQ(port, read[i]);
    EXPECT_NE(folder.Ini().find(note), std::string::npos) << folder.Ini();
  }
  AppUnderTest again;
  ASSERT_TRUE(again->InitLanguage());
  EXPECT_EQ(AppSettings.serialPort, "COM6");
}

// A file without byte order mark whose first line is dropped in reading
// (it has no name): the line after it starts with characters whose bytes
// are a mark. Written back first, they would make the next start read the
// file in another coding, and take every default.
TEST(SettingsWriter, FileWithoutMarkIsNotWrittenToStartAsOne) {
  for (const char* start : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(start)));
    const std::string other = std::string(start) + "key=\x84";
    SettingsFolder folder("=1\n" + other + "\n[communication]\nserial_port=COM2\n");
    wxString port;
    ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM6", &port));
    EXPECT_EQ(port, "COM2");
    ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM7", &port));
    EXPECT_EQ(port, "COM6");
    EXPECT_NE(folder.Ini().find(other + "\n"), std::string::npos) << folder.Ini();
    EXPECT_TRUE(KeptCopies().empty());
  }
}

// The toolkit writes such a file back without its byte order mark; the next
// start would read it as UTF-8 and lose every setting.
TEST(SettingsWriter, Utf16FileIsWrittenBackWithItsByteOrderMark) {
  SettingsFolder folder(Utf16WithMark(wxString::FromUTF8("[communication]\nserial_port=COM4\n[other]\n"
                                                         "note=Привет\n")));
  wxString port;
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM5", &port));
  EXPECT_EQ(port, "COM4");
  const std::string written = folder.Ini();
  EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
  const wxString text(written.data(), wxConvAuto(), written.size());
  EXPECT_EQ(WrittenKeys(text.utf8_string()).at("/communication/serial_port"), "COM5") << text;
  EXPECT_NE(text.find(wxString::FromUTF8("note=Привет")), wxString::npos) << text;

  AppUnderTest again;
  ASSERT_TRUE(again->InitLanguage());
  EXPECT_EQ(AppSettings.serialPort, "COM5");
}

TEST(SettingsWriter, Utf8FileKeepsItsByteOrderMark) {
  // A second mark is the first character of the first entry's name.
  SettingsFolder folder(std::string("\xEF\xBB\xBF\xEF\xBB\xBFnote=1\n[communication]\nserial_port=COM4\n"));
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM5"));
  const std::string text = folder.Ini();
  EXPECT_EQ(text.substr(0, 13), "\xEF\xBB\xBF\xEF\xBB\xBFnote=1\n") << text;
  EXPECT_EQ(WrittenKeys(text.substr(3)).at("/communication/serial_port"), "COM5") << text;
}

// How many lines of the text are this group's header, whatever their case.
int HeaderCount(const wxString& text, const wxString& header) {
  int n = 0;
  for (const wxString& line : wxSplit(text, '\n', '\0')) n += line.Lower() == header.Lower();
  return n;
}

TEST(SettingsReader, SaysOnStandardErrorWhatItJoinedAndSkipped) {
  SettingsFolder folder(std::string("[communication]\nserial_port=COM2\n=1\n[baudrate]\nbaud_rate=19200\n"
                                    "[Communication]\nserial_port=COM3\n"));
  ::testing::internal::CaptureStderr();
  {
    AppUnderTest app;
    ASSERT_TRUE(app->InitLanguage());
  }
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "kalvo_checker: the settings file ./kalvo_checker.ini, line 3: an entry without a name is skipped\n"
            "kalvo_checker: the settings file ./kalvo_checker.ini, line 6: the group [Communication] opens again; "
            "its entries join the group of line 1\n"
            "kalvo_checker: the settings file ./kalvo_checker.ini, line 2: the entry serial_port is set again at "
            "line 7; the later value is used\n");
}

// A file of many groups that open again: the first steps are said one by
// one, the rest in one line.
TEST(SettingsReader, SaysTheFirstStepsAndHowManyMore) {
  std::string ini;
  for (int i = 0; i < 30; ++i) ini += "[communication]\nserial_port=COM" + std::to_string(i + 1) + "\n";
  SettingsFolder folder(ini);
  ::testing::internal::CaptureStderr();
  {
    AppUnderTest app;
    ASSERT_TRUE(app->InitLanguage());
    EXPECT_EQ(AppSettings.serialPort, "COM30");
  }
  const wxArrayString lines = wxSplit(wxString::FromUTF8(::testing::internal::GetCapturedStderr()), '\n', '\0');
  ASSERT_EQ(lines.size(), 12u) << wxJoin(lines, '\n');  // the last one is empty
  EXPECT_EQ(lines[0],
            "kalvo_checker: the settings file ./kalvo_checker.ini, line 3: the group [communication] opens again; "
            "its entries join the group of line 1");
  // 29 openings again, each setting the port again.
  EXPECT_EQ(lines[10], "kalvo_checker: the settings file ./kalvo_checker.ini: and 48 more such steps");
}

// At a normal exit the joined file is written as it was read: the next start
// reads the same record, without a word, and the other entries stay.
TEST(SettingsWriter, JoinedFileIsWrittenBackWithEachGroupOnce) {
  SettingsFolder folder(std::string("; station 7\n[communication]\nserial_port=COM2\naddress=1.2.3\n"
                                    "[other]\nkept=old\nnote=1\n[communication]\nserial_port=COM3\n=1\n"
                                    "[Other]\nkept=new\n; appended by the tool\n"));
  {
    AppUnderTest app;
    ASSERT_TRUE(app->InitLanguage());
    EXPECT_EQ(AppSettings.serialPort, "COM3");
    EXPECT_EQ(app->OnExit(), 0);
  }
  const wxString text = wxString::FromUTF8(folder.Ini());
  EXPECT_EQ(HeaderCount(text, "[communication]"), 1) << text;
  EXPECT_EQ(HeaderCount(text, "[other]"), 1) << text;
  EXPECT_EQ(text.find("\n="), wxString::npos) << text;
  for (const char* comment : {"; station 7\n", "; appended by the tool\n"}) {
    EXPECT_NE(text.find(comment), wxString::npos) << text;
  }
  {
    // The toolkit's reader, which asserts on a group that opens twice.
    wxStringInputStream in(text);
    wxFileConfig file(in);
    EXPECT_EQ(file.Read("/other/kept", wxString()), "new");
    EXPECT_EQ(file.Read("/other/note", wxString()), "1");
    EXPECT_EQ(file.Read("/communication/serial_port", wxString()), "COM3");
    EXPECT_EQ(file.Read("/communication/address", wxString()), "1.2.3");
  }

  ::testing::internal::CaptureStderr();
  AppUnderTest again;
  ASSERT_TRUE(again->InitLanguage());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(AppSettings.serialPort, "COM3");
  EXPECT_EQ(AppSettings.address, Address(1, 2, 3));
}

struct CodingCase {
  const char* name;
  std::string mark;
  const wxMBConv& conv;
  wxString note;  // a text of another program's entry

  std::string Encode(const wxString& text) const {
    const wxCharBuffer b = text.mb_str(conv);
    return std::string(b.data(), b.length());
  }
};

// Every coding the reader tells apart.
const std::vector<CodingCase>& Codings() {
  static const wxString hello = wxString::FromUTF8("Привет");
  static const wxMBConvUTF16LE utf16le;
  static const wxMBConvUTF16BE utf16be;
  static const wxMBConvUTF32LE utf32le;
  static const wxMBConvUTF32BE utf32be;
  static const std::vector<CodingCase> cases = {
      {"UTF-16 little-endian", "\xFF\xFE", utf16le, hello},
      {"UTF-16 big-endian", "\xFE\xFF", utf16be, hello},
      {"UTF-32 little-endian", "\xFF\xFE\0\0"s, utf32le, hello},
      {"UTF-32 big-endian", "\0\0\xFE\xFF"s, utf32be, hello},
      {"UTF-8 with its mark", "\xEF\xBB\xBF", wxConvUTF8, hello},
      {"plain UTF-8", "", wxConvUTF8, hello},
      // Bytes that are no UTF-8 are read one character per byte.
      {"not UTF-8", "", wxConvISO8859_1, wxString::FromUTF8("caf\xC3\xA9")},
      {"UTF-8 form of a surrogate code", "", wxConvISO8859_1, wxString(L"\u00ED\u00BB\u00BF")},
  };
  return cases;
}

// A joined file is written back in the coding it was read in.
TEST(SettingsWriter, JoinedFileKeepsItsCoding) {
  for (const CodingCase& c : Codings()) {
    SCOPED_TRACE(c.name);
    SettingsFolder folder(c.mark + c.Encode("[communication]\nserial_port=COM2\n[other]\nnote=" + c.note +
                                          "\n[communication]\nserial_port=COM3\n"));
    wxString port;
    ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM5", &port));
    EXPECT_EQ(port, "COM3");
    const std::string written = folder.Ini();
    ASSERT_EQ(written.compare(0, c.mark.size(), c.mark), 0);
    const wxString text(written.data() + c.mark.size(), c.conv, written.size() - c.mark.size());
    EXPECT_TRUE(text.StartsWith("[communication]\n")) << text;
    EXPECT_EQ(HeaderCount(text, "[communication]"), 1) << text;
    EXPECT_NE(written.find(c.Encode("note=" + c.note + "\n")), std::string::npos) << text;

    AppUnderTest again;
    ASSERT_TRUE(again->InitLanguage());
    EXPECT_EQ(AppSettings.serialPort, "COM5");
  }
}

// What happens to one name in the working folder while the object lives.
class NameWatch {
 public:
  explicit NameWatch(std::string name) : name_(std::move(name)), fd_(inotify_init1(IN_NONBLOCK)) {
    inotify_add_watch(fd_, ".", IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE);
  }
  ~NameWatch() { close(fd_); }
  // The events on the name so far, in order.
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(p);
        if (e->len > 0 && name_ == e->name) events.push_back(Kind(e->mask));
        p += sizeof(inotify_event) + e->len;
      }
    }
    return events;
  }

 private:
  static std::string Kind(std::uint32_t mask) {
    if (mask & IN_CREATE) return "created";
    if (mask & IN_MODIFY) return "written";
    if (mask & IN_CLOSE_WRITE) return "closed after writing";
    if (mask & IN_MOVED_TO) return "renamed to";
    if (mask & IN_MOVED_FROM) return "renamed from";
    return "deleted";
  }
  std::string name_;
  int fd_;
};

// Whatever its coding, the file is written whole under another name and
// renamed once: no moment exists in which it holds less than all of it.
TEST(SettingsWriter, EveryCodingIsWrittenInOneRename) {
  for (const CodingCase& c : Codings()) {
    SCOPED_TRACE(c.name);
    SettingsFolder folder(c.mark + c.Encode("[communication]\nserial_port=COM2\n[other]\nnote=" + c.note + "\n"));
    NameWatch watch("kalvo_checker.ini");
    ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM5"));
    EXPECT_EQ(watch.Events(), std::vector<std::string>{"renamed to"});
    const std::string written = folder.Ini();
    EXPECT_EQ(written.compare(0, c.mark.size(), c.mark), 0);
    EXPECT_NE(written.find(c.Encode("note=" + c.note + "\n")), std::string::npos);
  }
}

// A pinned entry keeps its line, its pin and its value through a normal exit
// in which the record holds another value.
TEST(SettingsWriter, PinnedEntryKeepsItsPin) {
  SettingsFolder folder(std::string("[communication]\n!serial_port=COM2\naddress=1.2.3\n[other]\nkept=1\n"
                                    "[communication]\nserial_port=COM3\n"));
  guitest::ModalScript boxes;
  wxString port;
  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM6", &port));
  EXPECT_EQ(port, "COM2");
  const wxString text = wxString::FromUTF8(folder.Ini());
  EXPECT_NE(text.find("\n!serial_port=COM2\n"), wxString::npos) << text;
  EXPECT_EQ(text.find("serial_port=COM3"), wxString::npos) << text;
  EXPECT_EQ(text.find("serial_port=COM6"), wxString::npos) << text;
  EXPECT_NE(text.find("\nkept=1\n"), wxString::npos) << text;
  // A warning logged on the way would open a box as the program ends.
  wxLog::FlushActive();
  EXPECT_TRUE(boxes.Shown().empty());

  ASSERT_NO_FATAL_FAILURE(RunChangingPort("COM7", &port));
  EXPECT_EQ(port, "COM2");
}

TEST(SettingsWriter, WithoutShutdownNothingIsWritten) {
  for (const std::optional<std::string>& ini :
       {std::optional<std::string>(), std::optional<std::string>("[communication]\naddress=001.002.003\n")}) {
    SettingsFolder folder(ini);
    {
      AppUnderTest app;
      ASSERT_TRUE(app->InitLanguage());
      AppSettings.serialPort = "COM6";
    }
    EXPECT_EQ(folder.HasIni(), ini.has_value());
    if (ini) {
      EXPECT_EQ(folder.Ini(), *ini);
    }
  }
}

// Files cannot grow past a few bytes inside the scope, as on a full disk.
class FullDisk {
 public:
  // The default leaves room for the message on standard error.
  explicit FullDisk(rlim_t bytes = 160) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit old_{};
  void (*previous_)(int) = nullptr;
};

TEST(SettingsWriter, FailedWriteKeepsTheOldFileAndSaysSoOnStandardError) {
  for (const char* ini : {"[communication]\nserial_port=COM2\n",
                          "[communication]\nserial_port=COM2\n[communication]\n"}) {
    SCOPED_TRACE(ini);
    SettingsFolder folder{std::string(ini)};
    AppUnderTest* app = new AppUnderTest;
    ASSERT_TRUE((*app)->InitLanguage());
    AppSettings.serialPort = "COM6";
    (*app)->OnExit();
    ::testing::internal::CaptureStderr();
    {
      FullDisk full;
      delete app;  // the file is written here; no box may open
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(folder.Ini(), ini);
    EXPECT_NE(err.find("cannot write the settings file"), std::string::npos) << err;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      EXPECT_EQ(entry.path().filename(), "kalvo_checker.ini") << "a temporary file was left";
    }
  }
}

// A file that is not read and of which no copy can be made stays as it is:
// the run takes every default, and its settings are not saved.
TEST(SettingsWriter, FileThatCannotBeKeptAsideIsLeftAsItWas) {
  const std::string unread = Utf32WithMark(U"[communication]\nserial_port=COM2" + std::u32string(1, 0x5B626175) +
                                           U"\n[other]\nnote=" + std::u32string(1000, U'x') + U"\n");
  struct Case {
    const char* name;
    std::function<void()> make;  // in the working folder
    std::function<std::string()> state;
    bool fullDisk;
  };
  const auto statOf = [] {
    struct stat st {};
    if (::lstat("kalvo_checker.ini", &st) != 0) return std::string("gone");
    return std::to_string(st.st_mode) + " " + std::to_string(st.st_ino);
  };
  const Case cases[] = {
      {"a folder", [] { std::filesystem::create_directory("kalvo_checker.ini"); }, statOf, false},
      {"a named pipe", [] { ::mkfifo("kalvo_checker.ini", 0600); }, statOf, false},
      {"no room for the copy", [&] { std::ofstream("kalvo_checker.ini", std::ios::binary) << unread; },
       [] { return FileBytes("kalvo_checker.ini"); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsFolder folder(std::nullopt);
    c.make();
    const std::string before = c.state();
    ::testing::internal::CaptureStderr();
    {
      auto app = std::make_unique<AppUnderTest>();
      EXPECT_TRUE((*app)->InitLanguage());  // standard error is still taken here
      EXPECT_EQ(AppSettings.serialPort, "COM1");
      AppSettings.serialPort = "COM6";
      (*app)->OnExit();
      // The copy is made as the file is written, when the program ends.
      std::optional<FullDisk> full;
      if (c.fullDisk) full.emplace(2000);
      app.reset();
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(c.state() == before) << "the settings file was changed";
    EXPECT_TRUE(KeptCopies().empty()) << "a partial copy or a temporary file was left";
    EXPECT_NE(err.find("./kalvo_checker.ini is left as it was"), std::string::npos) << err;
  }
}

struct PortCase {
  const char* name;
  wxString port;
  long timeout;
  bool accepted;
  const char* portName;
};

class PortConfiguration : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortConfiguration, FromTheRecord) {
  const PortCase& c = GetParam();
  ResetGlobals();
  AppSettings.serialPort = c.port;
  AppSettings.waitReceiverTimeout = c.timeout;
  AppSettings.baudRate = "115200";  // applied later by the main window
  if (!c.accepted) {
    EXPECT_THROW(App::MakePortConfigurator(), kalvo_lorim::SerialPortLorimProtocol::ConfiguratorException);
    return;
  }
  const auto conf = App::MakePortConfigurator();
  EXPECT_STREQ(conf.GetPortName(), c.portName);
  EXPECT_EQ(conf.GetReplyTimeout(), static_cast<unsigned>(c.timeout));
  EXPECT_EQ(conf.GetRetries(), 6u);
  EXPECT_EQ(conf.GetBaudRate(), 9600);
  EXPECT_EQ(conf.GetParity(), 'N');
  EXPECT_EQ(conf.GetDataBits(), 8);
  EXPECT_EQ(conf.GetStopBits(), 0);
  ResetGlobals();
}

INSTANTIATE_TEST_SUITE_P(
    Record, PortConfiguration,
    ::testing::Values(PortCase{"plain", "COM1", 40, true, "COM1"},
                      PortCase{"non_ascii", wxString::FromUTF8("COMй\xF0\x9F\x98\x80" "1"), 500, true, "COM__1"},
                      PortCase{"below_minimum", "COM1", 39, false, ""},
                      PortCase{"negative", "COM1", -5, false, ""},
                      PortCase{"past_unsigned", "COM1", 4294967296L + 40, false, ""}),
    [](const ::testing::TestParamInfo<PortCase>& info) { return std::string(info.param.name); });

}  // namespace
