// Test main for the window tests: a plain application object, the built-in
// resources, an assert handler that fails the test instead of opening a box,
// and a last modal hook that refuses every dialog no test expected.

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
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
    const guitest::ShownDialog d = guitest::Describe(dialog);
    ADD_FAILURE() << "unexpected modal dialog \"" << d.title << "\": " << d.message;
    return wxID_CANCEL;
  }
  void Exit(wxDialog*) override {}
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (at build time) needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "no display: run the window tests under xvfb-run -a\n");
    return 1;
  }
  setenv("NO_AT_BRIDGE", "1", 1);
  setenv("GDK_BACKEND", "x11", 1);

  // A display that refuses a connection under load gets a few more tries.
  // The toolkit's library is loaded with the program; its header is not needed.
  using InitCheck = int (*)(int*, char***);
  auto initCheck = reinterpret_cast<InitCheck>(dlsym(RTLD_DEFAULT, "gtk_init_check"));
  bool opened = initCheck == nullptr;
  for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
    opened = initCheck(&argc, &argv) != 0;
    if (!opened) {
      std::fprintf(stderr, "display %s refused the connection (attempt %d)\n", std::getenv("DISPLAY"), attempt + 1);
      usleep(250 * 1000);
    }
  }
  wxApp::SetInstance(new TestApp);
  if (!opened || !wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "the toolkit failed to initialise\n");
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
  return rc;
}
