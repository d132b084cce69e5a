// Start-up and shutdown of the real application object: the failure paths
// with their one message each, work-in-system mode with a valid command line,
// the language and its folder, the font sizes, and a second running copy.

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/fileconf.h>
#include <wx/fs_mem.h>
#include <wx/log.h>
#include <wx/splash.h>
#include <wx/sstream.h>
#include <wx/toplevel.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/mainframe.h"
#include "app_run.h"
#include "gui_support.h"
#include "security/loadsavedata.h"
#include "security/rights.h"

// The C library's setlocale, seen by the toolkit too: while refusing, the
// locales of the program's languages are missing, as on a system without them.
namespace {
bool refuseLanguageLocales = false;
int refusedLocales = 0;
}  // namespace

extern "C" char* setlocale(int category, const char* name) {
  using Real = char* (*)(int, const char*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "setlocale"));
  if (refuseLanguageLocales && name && (std::strncmp(name, "ru", 2) == 0 || std::strncmp(name, "uk", 2) == 0)) {
    ++refusedLocales;
    return nullptr;
  }
  return real(category, name);
}

namespace {

namespace fs = std::filesystem;

class NoLanguageLocales {
 public:
  explicit NoLanguageLocales(bool on) {
    refuseLanguageLocales = on;
    refusedLocales = 0;
  }
  ~NoLanguageLocales() { refuseLanguageLocales = false; }
};
using guitest::AppRun;
using guitest::FindMainFrame;
using guitest::ResetGlobals;
using guitest::ShownDialog;

const std::string RunFolder = fs::path(KALVO_CHECKER_PROGRAM).parent_path().string();

std::string Coded(const wxString& record) {
  return std::string(security::SecurityData::EncodeLine(record).utf8_str()) + "\r\n";
}

std::string UserLine(const char* name, const char* password, int rights) {
  return Coded(security::SecurityData::UserRecordText(security::UserRecord(name, password, rights)));
}

std::string PointLine(const char* address) {
  security::PointAccess p;
  p.SetAddress(address);
  p.SetName("Point A");
  p.SetNumber("12");
  p.SetDeviceCode(7);
  p.SetFirmwareVersion("1.0");
  return Coded(security::SecurityData::PointRecordText(p));
}

std::string MapFile(const std::string& users, const std::string& points) {
  return "users begin\r\n" + users + "users end\r\npoints begin\r\n" + points + "points end\r\n";
}

const std::string GoodMap = MapFile(UserLine("user", "pass", 127), PointLine("005.006.007"));
const std::string InSystemIni = "[communication]\nwork_in_system=1\nserial_port=COM1\naddress=9.9.9\n"
                                "wait_receiver_timeout=100\n[baudrate]\nbaud_rate=19200\n";
// English whatever the system's language is.
const std::string EnglishInSystemIni = InSystemIni + "[i18n]\nLanguage=english\n";
const std::vector<std::string> GoodLine = {"user", "pass", "COM3", "5.6.7", "500"};

// The start folder of a test, with the catalogs of this build's run folder.
class StartFolder : public guitest::StartFolder {
 public:
  StartFolder(const std::optional<std::string>& ini, const std::optional<std::string>& map)
      : guitest::StartFolder(RunFolder, ini, map) {}
};

// Warnings and errors that would reach the operator as a log box.
class LogRecorder : public wxLog {
 public:
  LogRecorder() : previous_(wxLog::SetActiveTarget(this)) {}
  ~LogRecorder() override { wxLog::SetActiveTarget(previous_); }
  const std::vector<wxString>& Messages() const { return messages_; }

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
    if (level <= wxLOG_Warning) messages_.push_back(msg);
  }

 private:
  wxLog* previous_;
  std::vector<wxString> messages_;
};

long MessageBoxStyle(long style) { return style & (wxOK | wxCANCEL | wxYES_NO | wxICON_MASK); }

// The raw text of every key in a written settings file.
std::map<wxString, wxString> WrittenKeys(const std::string& text) {
  wxStringInputStream in(wxString::FromUTF8(text.data(), text.size()));
  wxFileConfig file(in);
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

struct FailureCase {
  const char* name;
  std::string ini;
  std::optional<std::string> map;
  std::vector<std::string> args;
  const char* message;  // UTF-8
  bool pointsLinesEmpty;
  bool noSystemLocale = false;
};

const char* const Hint = "Please run Melvar_Monitor and kalvo_security program";

std::vector<FailureCase> FailureCases() {
  const std::string user = UserLine("user", "pass", 127);
  const std::string point = PointLine("005.006.007");
  static const std::string usersEmpty = std::string("There are no register users. ") + Hint;
  static const std::string pointsEmpty = std::string("There are no config devices. ") + Hint;
  static const std::string noMap = std::string("Error opening file. ") + Hint;
  static const std::string corrupt = std::string("File corrupted. ") + Hint;
  return {
      // The points section is not read after a failure of the users section.
      {"empty_users_section", EnglishInSystemIni, MapFile("", point), GoodLine, usersEmpty.c_str(), true},
      {"empty_points_section", EnglishInSystemIni, MapFile(user, ""), GoodLine, pointsEmpty.c_str(), true},
      {"missing_map_file", EnglishInSystemIni, std::nullopt, GoodLine, noMap.c_str(), true},
      {"corrupt_map_file", EnglishInSystemIni, "users begin\r\n" + user, GoodLine, corrupt.c_str(), true},
      {"no_arguments", EnglishInSystemIni, GoodMap, {}, "Kalvo_Checker can run only from Melvar_Monitor", false},
      {"refused_command_line", EnglishInSystemIni, GoodMap, {"user", "pass", "com3", "5.6.7", "500"},
       "Error command line", false},
      {"refused_login", EnglishInSystemIni, GoodMap, {"user", "wrong", "COM3", "5.6.7", "500"}, "Error command line",
       false},
      // The program's own catalogs translate although the system cannot set
      // the language's locale.
      {"russian_without_a_system_locale", InSystemIni + "[i18n]\nLanguage=Russian\n", GoodMap, {},
       "Kalvo_Checker может быть запущен только из Melvar_Monitor", false, true},
      {"ukrainian_map_message", InSystemIni + "[i18n]\nLanguage=ukrainian\n", std::nullopt, GoodLine,
       "Помилка відкриття файлу. Будь ласка, запустіть Melvar_Monitor і програму kalvo_security", true},
  };
}

class StartupFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StartupFailure, ShowsOneMessageAndEndsWithoutWindowOrWrite) {
  const FailureCase& c = GetParam();
  StartFolder folder(c.ini, c.map);
  NoLanguageLocales noLocales(c.noSystemLocale);
  {
    LogRecorder log;
    guitest::ModalScript boxes;
    boxes.ThenId(wxID_OK);
    {
      AppRun app(c.args);
      EXPECT_FALSE(app->OnInit());
      EXPECT_EQ(FindMainFrame(), nullptr);
      EXPECT_EQ(app->GetSecurityData().IsPointsSectionEmpty(), c.pointsLinesEmpty);
    }
    ASSERT_EQ(boxes.Shown().size(), 1u);
    const ShownDialog& box = boxes.Shown().front();
    EXPECT_EQ(box.message, wxString::FromUTF8(c.message));
    EXPECT_EQ(box.title, KALVO_TITLE);
    EXPECT_EQ(MessageBoxStyle(box.style), wxOK | wxICON_ERROR);
    EXPECT_TRUE(log.Messages().empty()) << log.Messages().front();
  }
  EXPECT_EQ(folder.Ini(), c.ini) << "a failed start writes nothing";
  if (c.noSystemLocale) {
    EXPECT_GT(refusedLocales, 0) << "the toolkit never asked for the locale";
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, StartupFailure, ::testing::ValuesIn(FailureCases()),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(StartupInSystem, CommandLineValuesAreInForceAndWrittenAtExit) {
  StartFolder folder(EnglishInSystemIni, GoodMap);
  LogRecorder log;
  guitest::ModalScript boxes;  // none expected
  {
    AppRun app(GoodLine);
    ASSERT_TRUE(app->OnInit());
    EXPECT_TRUE(StartedFromSystem);
    EXPECT_TRUE(security::WorkInSystem);
    EXPECT_EQ(security::CurrentUser.GetName(), "user");
    EXPECT_EQ(AppSettings.serialPort, "COM3");
    EXPECT_EQ(AppSettings.address, kalvo_lorim::Address(5, 6, 7));
    EXPECT_EQ(AppSettings.waitReceiverTimeout, 500);
    EXPECT_EQ(AppSettings.baudRate, "19200");
    MainFrame* frame = FindMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(app->GetTopWindow(), frame);
    app.Close();
  }
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_TRUE(log.Messages().empty()) << log.Messages().front();
  const auto keys = WrittenKeys(folder.Ini());
  EXPECT_EQ(keys.at("/communication/serial_port"), "COM3");
  EXPECT_EQ(keys.at("/communication/address"), "5.6.7");
  EXPECT_EQ(keys.at("/communication/wait_receiver_timeout"), "500");
  EXPECT_EQ(keys.at("/communication/work_in_system"), "1");
  EXPECT_EQ(keys.at("/baudrate/baud_rate"), "19200");
}

struct LanguageCase {
  const char* name;
  std::optional<std::string> ini;
  int code;
  const char* folder;
  const char* written;
  const char* splash;  // a splash picture put into the folder, or null
  bool splashShown;
  // "Cancel" in the toolkit's own catalog (UTF-8); null for the system's
  // language, which depends on the environment.
  const char* toolkitCancel = "Cancel";
};

class StartupLanguage : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(StartupLanguage, ChoosesFolderAndWritesTheNameBack) {
  const LanguageCase& c = GetParam();
  StartFolder folder(c.ini, std::nullopt);
  if (c.splash) folder.Write(std::string("work/") + c.folder + "splash.xpm", c.splash);
  LogRecorder log;
  guitest::ModalScript boxes;
  {
    AppRun app({});
    ASSERT_TRUE(app->OnInit());
    EXPECT_EQ(app->GetLanguageCode(), c.code);
    EXPECT_EQ(app->GetResourceFolder(), c.folder);
    EXPECT_EQ(LanguageNames.size(), 3u);
    EXPECT_EQ(LanguageNames["russian"], wxString::FromUTF8("Русский"));
    if (c.toolkitCancel) {
      EXPECT_EQ(wxGetTranslation("Cancel"), wxString::FromUTF8(c.toolkitCancel));
    }
    bool splashShown = false;
    for (wxWindow* w : wxTopLevelWindows) splashShown = splashShown || dynamic_cast<wxSplashScreen*>(w);
    EXPECT_EQ(splashShown, c.splashShown);
    EXPECT_TRUE(guitest::RunLoopUntil([] { return wxTopLevelWindows.size() == 1; }, 5000))
        << "only the main window is left";
    app.Close();
  }
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_TRUE(log.Messages().empty()) << log.Messages().front();
  ASSERT_TRUE(folder.HasIni());
  const auto keys = WrittenKeys(folder.Ini());
  EXPECT_EQ(keys.size(), 9u) << folder.Ini();
  EXPECT_EQ(keys.at("/i18n/Language"), c.written);
}

std::string SplashPicture() {
  std::FILE* f = std::fopen((RunFolder + "/splash.xpm").c_str(), "rb");
  std::string s;
  if (!f) return s;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
  std::fclose(f);
  return s;
}

const std::string Splash = SplashPicture();

INSTANTIATE_TEST_SUITE_P(
    Names, StartupLanguage,
    ::testing::Values(
        LanguageCase{"no_settings_file", std::nullopt, wxLANGUAGE_DEFAULT, "./", "", nullptr, false, nullptr},
        LanguageCase{"russian_capitalised", std::string("[i18n]\nLanguage=Russian\n"), wxLANGUAGE_RUSSIAN, "./ru/",
                     "russian", Splash.c_str(), true, "Отмена"},
        LanguageCase{"ukrainian", std::string("[i18n]\nLanguage=ukrainian\n"), wxLANGUAGE_UKRAINIAN, "./uk/",
                     "ukrainian", nullptr, false, "Скасувати"},
        LanguageCase{"english_with_a_broken_splash", std::string("[i18n]\nLanguage=english\n"),
                     wxLANGUAGE_ENGLISH, "./", "english", "/* XPM */ not a picture", false},
        LanguageCase{"unknown_name", std::string("[i18n]\nLanguage=klingon\n"), wxLANGUAGE_DEFAULT, "./", "",
                     nullptr, false, nullptr}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

TEST(FontSizes, ByScreenWidth) {
  struct Row {
    int width;
    bool keep;
    int info;
    int title;
  };
  // Other widths keep the sizes the record had (here 7 and 8).
  for (const Row& r : {Row{800, false, 18, 10}, Row{1024, false, 20, 12}, Row{1152, false, 24, 14},
                       Row{1280, true, 7, 8}, Row{1920, true, 7, 8}, Row{0, true, 7, 8}}) {
    AppSettings = AppSettingsRecord();
    AppSettings.infoFontSize = 7;
    AppSettings.titleFontSize = 8;
    SetFontSizesForScreenWidth(r.width);
    EXPECT_EQ(AppSettings.keepXrcFonts, r.keep) << r.width;
    EXPECT_EQ(AppSettings.infoFontSize, r.info) << r.width;
    EXPECT_EQ(AppSettings.titleFontSize, r.title) << r.width;
  }
  AppSettings = AppSettingsRecord();
}

// --- Two real processes -----------------------------------------------------

pid_t StartProgram(const fs::path& workDir, const fs::path& home) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("HOME=", 0) != 0) env.push_back(*e);
  }
  env.push_back("HOME=" + home.string());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = KALVO_CHECKER_PROGRAM;
  char* argv[] = {program.data(), nullptr};
  const std::string dir = workDir.string();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) == 0) execve(argv[0], argv, envp.data());
    _exit(127);
  }
  return pid;
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// Whether the process shows a top-level window with the program title.
bool ShowsMainWindow(pid_t pid) {
  const std::string tree = CommandOutput("xwininfo -root -tree 2>/dev/null");
  const std::string title = std::string("\"") + KALVO_TITLE + "\"";
  for (std::size_t at = tree.find(title); at != std::string::npos; at = tree.find(title, at + 1)) {
    const std::size_t lineStart = tree.rfind('\n', at) + 1;
    const std::string id = tree.substr(lineStart, tree.find(' ', tree.find_first_not_of(' ', lineStart)) - lineStart);
    const std::string prop = CommandOutput("xprop -id " + id + " _NET_WM_PID 2>/dev/null");
    if (prop.find("= " + std::to_string(pid)) != std::string::npos) return true;
  }
  return false;
}

// The exit status, or nothing while the process still runs after the time.
std::optional<int> WaitForExit(pid_t pid, int timeoutMs) {
  int status = 0;
  std::optional<int> result;
  guitest::RunLoopUntil(
      [&] {
        if (waitpid(pid, &status, WNOHANG) == pid) result = status;
        return result.has_value();
      },
      timeoutMs);
  return result;
}

TEST(SingleInstance, SecondCopyEndsAtOnceWithoutMessageAndLeavesTheSettings) {
  guitest::ScratchDir dir;
  const fs::path home = fs::path(dir.Path()) / "home";
  const fs::path work = fs::path(dir.Path()) / "work";
  fs::create_directories(home);
  const std::string ini = "[communication]\nserial_port=COM7\n";
  dir.Write("work/kalvo_checker.ini", ini);

  const pid_t first = StartProgram(work, home);
  ASSERT_GT(first, 0);
  // A window tree read while other programs open and close windows may come
  // out short, so a sighting counts once made.
  // Asked every 100 ms: each question is two more clients of the X server.
  bool shown = false;
  auto asked = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  guitest::RunLoopUntil(
      [&] {
        if (!shown && std::chrono::steady_clock::now() - asked >= std::chrono::milliseconds(100)) {
          asked = std::chrono::steady_clock::now();
          shown = ShowsMainWindow(first);
        }
        return shown;
      },
      30000);
  EXPECT_TRUE(shown) << "the first copy shows no main window";
  EXPECT_TRUE(fs::exists(home / KALVO_TITLE)) << "the lock lies in the home folder";

  if (shown) {
    const pid_t second = StartProgram(work, home);
    ASSERT_GT(second, 0);
    const std::optional<int> status = WaitForExit(second, 15000);
    if (!status) {
      kill(second, SIGKILL);
      waitpid(second, nullptr, 0);
    }
    ASSERT_TRUE(status.has_value()) << "the second copy did not end (a message box?)";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), 0);
    EXPECT_EQ(dir.Read("work/kalvo_checker.ini"), ini);
    EXPECT_FALSE(WaitForExit(first, 200).has_value()) << "the first copy goes on";
  }
  kill(first, SIGTERM);
  if (!WaitForExit(first, 10000)) {
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
  }
}

}  // namespace
