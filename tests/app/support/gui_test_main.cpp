// Test main for the window tests: a plain application object, the built-in
// resources, an assert handler that fails the test instead of opening a box,
// and a last modal hook that refuses every dialog no test expected.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gdk/gdk.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/modalhook.h>
#include <wx/xrc/xmlres.h>

#include "XRC_resource/resource.h"
#include "gui_support.h"

namespace {

class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
  ADD_FAILURE_AT(file.utf8_str(), line)
      << "toolkit assertion in " << func << ": " << cond << " " << msg;
}

// Registered first, so asked last: only dialogs that no script answered.
class RefuseUnexpected : public wxModalDialogHook {
 protected:
  int Enter(wxDialog* dialog) override {
    if (guitest::TakeLetThrough(dialog)) return wxID_NONE;
    const guitest::ShownDialog d = guitest::Describe(dialog);
    ADD_FAILURE() << "unexpected modal dialog \"" << d.title << "\": " << d.message;
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

// Tests that press real keys get an X server of their own, so that no window
// of another test program can take the keyboard from them. The server ends
// with this process, also when the process is killed.
pid_t StartPrivateDisplay() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    close(fds[0]);
    if (FILE* quiet = std::fopen("/dev/null", "w")) {
      dup2(fileno(quiet), 1);
      dup2(fileno(quiet), 2);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  char c = 0;
  while (pid > 0 && poll(&wait, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (pid < 0 || number.empty()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    if (pid > 0) kill(pid, SIGTERM);
    return -1;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return pid;
}

void StopPrivateDisplay(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (at build time) needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  pid_t privateDisplay = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--private-display") != 0) continue;
    privateDisplay = StartPrivateDisplay();
    if (privateDisplay < 0) return 1;
  }
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "no display: run the window tests under xvfb-run -a\n");
    return 1;
  }
  setenv("NO_AT_BRIDGE", "1", 1);
  setenv("GDK_BACKEND", "x11", 1);

  // Many test programs starting at once on one X server: a connection may be
  // refused while the server's queue is full. The display is opened here,
  // with a few more tries, and made the default one that GTK then takes.
  bool opened = false;
  for (int attempt = 0; attempt < 40 && !opened; ++attempt) {
    if (GdkDisplay* display = gdk_display_open(nullptr)) {
      gdk_display_manager_set_default_display(gdk_display_manager_get(), display);
      opened = true;
    } else {
      std::fprintf(stderr, "display %s refused the connection (attempt %d)\n", std::getenv("DISPLAY"), attempt + 1);
      usleep(200 * 1000);
    }
  }
  wxApp::SetInstance(new TestApp);
  // Until the toolkit stands, its complaints go to standard error.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  if (!opened || !wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "the toolkit failed to initialise on display %s\n", std::getenv("DISPLAY"));
    return 1;
  }
  if (!wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "the test application failed to start\n");
    return 1;
  }
  wxSetAssertHandler(FailOnAssert);
  wxXmlResource::Get()->InitAllHandlers();
  InitXmlResource();
  wxInitAllImageHandlers();
  std::setlocale(LC_NUMERIC, "C");

  RefuseUnexpected refuse;
  refuse.Register();
  const int rc = RUN_ALL_TESTS();
  refuse.Unregister();

  wxTheApp->OnExit();
  wxEntryCleanup();
  StopPrivateDisplay(privateDisplay);
  return rc;
}
