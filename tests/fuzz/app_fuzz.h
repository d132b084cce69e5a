#pragma once
// What the fuzz targets of the application object share: no display, an
// assertion is a crash, message boxes are counted instead of shown, and a
// scratch working directory for the settings file.

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <glib.h>
#include <wx/debug.h>
#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include "fuzz_support.h"

namespace appfuzz {

inline void AbortOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                          const wxString& msg) {
  std::fprintf(stderr, "wx assertion failed: %s:%d %s: %s %s\n", file.utf8_string().c_str(), line,
               func.utf8_string().c_str(), cond.utf8_string().c_str(), msg.utf8_string().c_str());
  std::fflush(stderr);
  std::abort();
}

// Answers every message box with OK before the toolkit builds it, so no
// window is ever made; anything but a message box is a fault here.
class BoxCounter : public wxModalDialogHook {
 public:
  BoxCounter() { Register(); }
  ~BoxCounter() override { Unregister(); }
  int count = 0;
  wxString last;

 protected:
  int Enter(wxDialog* dialog) override {
    auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
    if (!box) fuzzsupport::Fail("a dialog other than a message box opened", dialog->GetTitle());
    ++count;
    last = box->GetMessage();
    return wxID_OK;
  }
  void Exit(wxDialog*) override {}
};

// GLib's messages: a message box is only ever answered by the hook, never
// built, so any warning of GLib or GTK means a window was touched without a
// display. The one exception is the toolkit's own destructor of a message
// dialog that was never built, which disconnects signals from no widget.
inline void OnGLibMessage(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer) {
  static const char* const known[] = {
      "invalid (NULL) pointer instance",
      "g_signal_handlers_disconnect_matched: assertion 'G_TYPE_CHECK_INSTANCE (instance)' failed"};
  if (domain && std::strcmp(domain, "GLib-GObject") == 0) {
    for (const char* k : known) {
      if (message && std::strcmp(message, k) == 0) return;
    }
  }
  std::fprintf(stderr, "GLib message without a display: %s: %s\n", domain ? domain : "", message ? message : "");
  std::fflush(stderr);
  std::abort();
}

inline void CatchGLibMessages() { g_log_set_default_handler(OnGLibMessage, nullptr); }

// Paths on libFuzzer's command line made absolute, since the working
// directory changes before it reads them; without an artifact prefix the
// crash files go to the directory the run started in.
inline void AbsolutePaths(int* argc, char*** argv) {
  char here[PATH_MAX];
  if (!getcwd(here, sizeof here)) fuzzsupport::Fail("getcwd failed", wxString());
  const std::string cwd = std::string(here) + "/";
  auto absolute = [&](const std::string& path) { return path.empty() || path[0] == '/' ? path : cwd + path; };
  static std::vector<std::string> args;
  bool prefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    if (i > 0 && !a.empty() && a[0] != '-') {
      a = absolute(a);
    } else {
      for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-features_dir=",
                               "-merge_control_file=", "-stop_file="}) {
        const std::size_t n = std::strlen(flag);
        if (a.compare(0, n, flag) == 0) {
          a = flag + absolute(a.substr(n));
          if (std::strcmp(flag, "-artifact_prefix=") == 0) prefix = true;
        }
      }
    }
    args.push_back(a);
  }
  if (!prefix) args.push_back("-artifact_prefix=" + cwd);
  static std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(args.size());
  *argv = pointers.data();
}

// Sets up the toolkit's base library without a display (a window the hook
// misses then fails at once instead of opening), aborts on assertions, and
// makes <TMPDIR>/kalvo_app_fuzz_XXXXXX/work the working directory, so that
// "../config.map" lies in the scratch folder and is absent.
inline void Setup(int* argc, char*** argv) {
  AbsolutePaths(argc, argv);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  fuzzsupport::Setup();
  wxSetAssertHandler(AbortOnAssert);
  CatchGLibMessages();
  const char* tmp = getenv("TMPDIR");
  static std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/kalvo_app_fuzz_XXXXXX";
  if (!mkdtemp(dir.data())) fuzzsupport::Fail("mkdtemp failed", wxString(dir));
  static const std::string work = dir + "/work";
  if (mkdir(work.c_str(), 0700) != 0 || chdir(work.c_str()) != 0) {
    fuzzsupport::Fail("scratch working directory", wxString(work));
  }
  std::atexit([] {
    if (DIR* folder = opendir(work.c_str())) {
      while (const dirent* entry = readdir(folder)) unlink((work + "/" + entry->d_name).c_str());
      closedir(folder);
    }
    rmdir(work.c_str());
    rmdir(dir.c_str());
  });
}

}  // namespace appfuzz
