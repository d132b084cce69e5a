// The dialog login of the application object and the reporting of its
// outcome. The login dialog is answered by a script that types into it and
// presses its buttons, so its own handlers decide how it ends.

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/dlgloginuser.h"
#include "gui_support.h"
#include "security/rights.h"

// Failures show texts, not their characters.
void PrintTo(const wxString& text, std::ostream* os) { *os << '"' << text.utf8_string() << '"'; }

namespace {

using security::UserRecord;

void Click(wxWindow* dialog, const char* name) {
  wxWindow* button = dialog->FindWindow(XRCID(name));
  ASSERT_NE(button, nullptr) << name;
  wxCommandEvent event(wxEVT_BUTTON, button->GetId());
  event.SetEventObject(button);
  button->ProcessWindowEvent(event);
}

void PressEscape(wxWindow* dialog) {
  wxKeyEvent event(wxEVT_CHAR_HOOK);
  event.m_keyCode = WXK_ESCAPE;
  event.SetEventObject(dialog);
  dialog->ProcessWindowEvent(event);
}

void Type(wxWindow* dialog, const wxString& login, const wxString& password) {
  auto* loginText = XRCCTRL(*dialog, "LOGIN_LOGIN_USER", wxTextCtrl);
  auto* passwordText = XRCCTRL(*dialog, "PASSWORD_LOGIN_USER", wxTextCtrl);
  ASSERT_NE(loginText, nullptr);
  ASSERT_NE(passwordText, nullptr);
  loginText->ChangeValue(login);
  passwordText->ChangeValue(password);
}

class DialogLoginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedUsers = security::UserList;
    savedCurrent = security::CurrentUser;
    savedWorkInSystem = security::WorkInSystem;
    security::SetWorkInSystem(true);
    security::CurrentUser = UserRecord("before", "before", 0);

    // The application object opens its settings file in the working folder,
    // and makes itself the toolkit's application: put the test's back.
    scratch = std::make_unique<guitest::ScratchDir>();
    wxAppConsole* testApp = wxApp::GetInstance();
    app = std::make_unique<App>();
    wxApp::SetInstance(testApp);
  }

  void TearDown() override {
    wxAppConsole* testApp = wxApp::GetInstance();
    app.reset();
    wxApp::SetInstance(testApp);
    scratch.reset();
    security::UserList = savedUsers;
    security::CurrentUser = savedCurrent;
    security::SetWorkInSystem(savedWorkInSystem);
  }

  // Answers the login dialog with `act`, which must end it; records how.
  guitest::ModalScript::Answer Answer(std::function<void(wxDialog*)> act) {
    return [this, act](wxDialog* dialog) {
      EXPECT_NE(dynamic_cast<DlgLoginUser*>(dialog), nullptr);
      // Shown without a loop of its own: a close box exists only on screen.
      dialog->Show();
      act(dialog);
      EXPECT_FALSE(dialog->IsShown());
      endedWith = dialog->GetReturnCode();
      return endedWith;
    };
  }

  std::unique_ptr<guitest::ScratchDir> scratch;
  std::unique_ptr<App> app;
  int endedWith = 0;
  std::vector<UserRecord> savedUsers;
  UserRecord savedCurrent;
  bool savedWorkInSystem = false;
};

TEST_F(DialogLoginTest, DialogNotAcceptedTriesNoLogin) {
  // A login with the two empty texts would succeed here.
  security::UserList = {UserRecord("", "", security::AllRights())};
  const std::pair<const char*, std::function<void(wxDialog*)>> ways[] = {
      {"Cancel", [](wxDialog* d) { Click(d, "ID_CANCEL_LOGIN_USER"); }},
      {"Escape", [](wxDialog* d) { PressEscape(d); }},
      {"close box", [](wxDialog* d) { d->Close(); }},
  };
  for (const auto& [name, act] : ways) {
    SCOPED_TRACE(name);
    app->dialogLoginAccepted = true;
    endedWith = 0;
    guitest::ModalScript script;
    script.Then(Answer(act));
    EXPECT_FALSE(app->LoginWithDialog());
    EXPECT_EQ(endedWith, wxID_CANCEL);
    EXPECT_FALSE(app->dialogLoginAccepted);
    EXPECT_EQ(security::CurrentUser.GetName(), "before");
    EXPECT_EQ(script.Pending(), 0u);

    // The reporting caller says nothing after a cancelled dialog.
    guitest::ModalScript reported;
    reported.Then(Answer(act));
    EXPECT_FALSE(LoginWithDialogReported(*app));
    EXPECT_EQ(reported.Shown().size(), 1u);
  }
}

struct LoginCase {
  const char* login;
  const char* password;
  bool loggedIn;         // LoginWithDialog
  const char* message;   // the caller's report; nullptr when the login stands
  const char* userAfter;
};

TEST_F(DialogLoginTest, OutcomeIsReportedByTheCaller) {
  security::UserList = {UserRecord("Ivan", "Secret", security::AllRights()),
                        UserRecord("Petro", "pw", static_cast<int>(security::UserRight::EditParams))};
  const char* const wrong = "Login or password wrong";
  const char* const noRight = "You don't have permission for use this option";
  const LoginCase cases[] = {
      {"Ivan", "Secret", true, nullptr, "Ivan"},
      {"Ivan", "secret", false, wrong, "before"},
      {"ivan", "Secret", false, wrong, "before"},
      {"Ivan", "Secret ", false, wrong, "before"},
      {" Ivan", "Secret", false, wrong, "before"},
      {"", "", false, wrong, "before"},
      {"Petro", "pw", true, noRight, "Petro"},
  };
  for (const LoginCase& c : cases) {
    SCOPED_TRACE(wxString::Format("'%s' '%s'", c.login, c.password).utf8_string());
    security::CurrentUser = UserRecord("before", "before", 0);
    {
      guitest::ModalScript script;
      script.Then(Answer([&](wxDialog* d) {
        Type(d, c.login, c.password);
        Click(d, "ID_OK_LOGIN_USER");
      }));
      EXPECT_EQ(app->LoginWithDialog(), c.loggedIn);
      EXPECT_EQ(endedWith, wxID_OK);
      EXPECT_TRUE(app->dialogLoginAccepted);
      EXPECT_EQ(security::CurrentUser.GetName(), c.userAfter);
    }

    security::CurrentUser = UserRecord("before", "before", 0);
    guitest::ModalScript script;
    script.Then(Answer([&](wxDialog* d) {
      Type(d, c.login, c.password);
      Click(d, "ID_OK_LOGIN_USER");
    }));
    if (c.message) script.ThenId(wxID_OK);
    EXPECT_EQ(LoginWithDialogReported(*app), c.message == nullptr);
    ASSERT_EQ(script.Shown().size(), c.message ? 2u : 1u);
    if (c.message) {
      const guitest::ShownDialog& box = script.Shown()[1];
      EXPECT_EQ(box.message, c.message);
      EXPECT_EQ(box.title, KALVO_TITLE);
      EXPECT_TRUE(box.style & wxICON_ERROR);
      EXPECT_TRUE(box.style & wxOK);
    }
  }
}

TEST_F(DialogLoginTest, OutsideTheSystemEveryLoggedInUserMayView) {
  security::SetWorkInSystem(false);
  security::UserList = {UserRecord("Olena", "x", 0)};
  guitest::ModalScript script;
  script.Then(Answer([](wxDialog* d) {
    Type(d, "Olena", "x");
    Click(d, "ID_OK_LOGIN_USER");
  }));
  EXPECT_TRUE(LoginWithDialogReported(*app));
  EXPECT_EQ(script.Shown().size(), 1u);
  EXPECT_EQ(security::CurrentUser.GetName(), "Olena");
}

TEST(LoginDialog, KeepsTheTextsOnlyAfterOk) {
  DlgLoginUser dialog;
  EXPECT_EQ(dialog.GetTitle(), "Login user");
  Type(&dialog, "Anna", "Pa ss");
  Click(&dialog, "ID_CANCEL_LOGIN_USER");
  EXPECT_EQ(dialog.GetReturnCode(), wxID_CANCEL);
  EXPECT_EQ(dialog.GetLogin(), "");
  EXPECT_EQ(dialog.GetPassword(), "");
  Click(&dialog, "ID_OK_LOGIN_USER");
  EXPECT_EQ(dialog.GetReturnCode(), wxID_OK);
  EXPECT_EQ(dialog.GetLogin(), "Anna");
  EXPECT_EQ(dialog.GetPassword(), "Pa ss");
}

}  // namespace
