// The main window as an operator works it: real function keys and clicks
// through the X server, against a simulated point.

#include <sstream>
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/radiobox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "app/mainframe.h"
#include "app/panelinfo.h"
#include "gui_support.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/types.h"
#include "real_input.h"
#include "simulated_line.h"

namespace {

using guitest::Stroke;
using kalvo_lorim::Address;

class MainFrameKeys : public guitest::SimulatedLineTest {
 protected:
  void SetUp() override {
    guitest::SimulatedLineTest::SetUp();
    AppSettings.language = "english";
    savedOpen_ = MainFrame::openHelpPage;
    MainFrame::openHelpPage = [this](const wxString& url) { pages_.push_back(url); };
  }
  void TearDown() override {
    MainFrame::openHelpPage = savedOpen_;
    guitest::SimulatedLineTest::TearDown();
  }

  // What the window did since the last call, one line each: the help pages
  // it opened, the commands it queued for `address`, the dialogs it showed.
  std::vector<std::string> Effects(const Address& address, guitest::ModalScript& script) {
    std::vector<std::string> out;
    for (const wxString& url : pages_) out.push_back("help " + url.AfterLast('/').ToStdString());
    pages_.clear();
    Command c;
    while (frame->GetCommandQueue().Take(address, c)) {
      std::ostringstream line;
      line << "post " << c.kind;
      if (c.kind == CommandKind::RestartMeasures)
        line << " " << static_cast<int>(boost::any_cast<kalvo_lorim::MeasuringAlgorithm>(c.argument));
      out.push_back(line.str());
    }
    for (std::size_t i = shownSeen_; i < script.Shown().size(); ++i)
      out.push_back("dialog " + script.Shown()[i].title.ToStdString());
    shownSeen_ = script.Shown().size();
    return out;
  }

  std::function<void(const wxString&)> savedOpen_;
  std::vector<wxString> pages_;
  std::size_t shownSeen_ = 0;
  guitest::RealInput input;
};

struct FunctionKey {
  int key;
  const char* button;  // the button whose click the key stands for; none for F1
  std::vector<std::string> effects;
};

// Each key does what its own button does, so two swapped keys fail here.
TEST_F(MainFrameKeys, FunctionKeysDoWhatTheirButtonDoesAndNothingWhileItIsDisabled) {
  guitest::ScratchDir dir;
  dir.Write("help/enu/index.htm", "<html></html>");
  AppSettings.waitReceiverTimeout = 25;  // refused: no thread takes the commands away
  frame = new MainFrame();
  ASSERT_FALSE(frame->HasThread());
  guitest::ModalScript script;
  const std::vector<FunctionKey> keys = {
      {WXK_F1, nullptr, {"help index.htm"}},
      {WXK_F2, "ID_SET_PARAMETERS", {"post 6"}},
      {WXK_F3, "ID_GET_PARAMS", {"post 4"}},
      {WXK_F4, "ID_RESTART_ALL", {"post 3 255"}},
      {WXK_F5, "ID_RESTART_MEASURES", {"dialog Restart algorithm"}},
  };
  ASSERT_TRUE(input.Focus(frame->GetPanelInfo()->GetConfig()));
  const Address served = AppSettings.address;
  for (const FunctionKey& k : keys) {
    SCOPED_TRACE(guitest::Describe(Stroke{k.key}));
    if (k.button) {
      auto* button = dynamic_cast<wxButton*>(frame->FindWindow(XRCID(k.button)));
      ASSERT_NE(button, nullptr);
      button->Disable();
      ASSERT_TRUE(input.Type({Stroke{k.key}}));
      EXPECT_TRUE(Effects(served, script).empty()) << "while " << k.button << " is disabled";
      button->Enable();
    }
    if (k.key == WXK_F5) script.ThenId(wxID_CANCEL);
    ASSERT_TRUE(input.Type({Stroke{k.key}}));
    EXPECT_EQ(Effects(served, script), k.effects);
  }
}

// The point in client coordinates of `box` where its item `n` lies (the
// toolkit answers for a point on the screen).
wxPoint RadioItemPoint(wxRadioBox* box, int n) {
  const wxSize size = box->GetClientSize();
  for (int y = 0; y < size.y; y += 2) {
    for (int x = 4; x < size.x / 2; x += 8) {
      if (box->GetItemFromPoint(box->ClientToScreen(wxPoint(x, y))) == n) return wxPoint(x + 4, y);
    }
  }
  return wxDefaultPosition;
}

// Focuses `field`, rubs its text out and types `text`, with real keys.
void Retype(guitest::RealInput& input, wxTextCtrl* field, const char* text) {
  ASSERT_TRUE(field->IsEnabled());
  ASSERT_TRUE(input.Focus(field));
  std::vector<Stroke> keys{Stroke{WXK_END}};
  for (std::size_t i = 0; i < field->GetValue().length(); ++i) keys.push_back(Stroke{WXK_BACK});
  for (const char* c = text; *c; ++c) keys.push_back(Stroke{*c});
  ASSERT_TRUE(input.Type(keys));
  ASSERT_EQ(field->GetValue(), text);
}

// Drives the options dialog with real clicks and keys: the advanced time-out
// set to `timeout`, and the exchange mode that reaches `address` (none: the
// point reached directly, at 255.255.255).
void FillOptions(guitest::RealInput& input, wxDialog* dialog, const char* timeout, const char* address) {
  auto* advanced = XRCCTRL(*dialog, "ID_USE_ADVANCED", wxCheckBox);
  auto* wait = XRCCTRL(*dialog, "ID_TIME_TO_WAIT", wxTextCtrl);
  auto* mode = XRCCTRL(*dialog, "ID_RADIO_REGIM", wxRadioBox);
  auto* field = XRCCTRL(*dialog, "ID_TEXT_ADDRESS", wxTextCtrl);
  ASSERT_TRUE(advanced && wait && mode && field);
  if (!advanced->GetValue()) {
    ASSERT_TRUE(input.ClickCentre(advanced));
  }
  ASSERT_NO_FATAL_FAILURE(Retype(input, wait, timeout));
  const int item = address ? 1 : 0;
  if (mode->GetSelection() != item) {
    const wxPoint at = RadioItemPoint(mode, item);
    ASSERT_NE(at, wxDefaultPosition);
    ASSERT_TRUE(input.Click(mode, at, [&] { return mode->GetSelection() == item; }));
  }
  if (address) {
    ASSERT_NO_FATAL_FAILURE(Retype(input, field, address));
  }
  ASSERT_TRUE(input.ClickCentre(dialog->FindWindow(wxID_OK)));
}

// The buttons that send a command to the point, F2 to F5 among them.
const char* const CommandButtons[] = {
    "ID_SET_PARAMETERS", "ID_GET_PARAMS",       "ID_RESTART_MEASURES",  "ID_RESTART_ALL",
    "ID_SET_ADDRESS",    "ID_SET_DATE",         "ID_SET_VOLUME_LEVEL",  "ID_SET_DEVICE_LOCALE",
    "ID_SET_FACTORY_NO", "ID_SET_CURRENT_ALGORITHM"};

class RefusedOptions : public MainFrameKeys, public ::testing::WithParamInterface<int> {};

// Options that the port configuration refuses (a time-out below 40 ms) while
// the device thread polls a point that reported GetParam() algorithms: the
// old point is no longer polled, nothing covers "Wrong parameter", and no
// button or key sends a command for the point nothing serves, until the
// options put it right.
TEST_P(RefusedOptions, LeaveNoThreadNoCommandAndTheirMessageStands) {
  const int algorithms = GetParam();
  sim->SetByte(22, static_cast<std::uint8_t>(algorithms));  // the point's count of algorithms
  frame = new MainFrame();
  auto button = [&](const char* name) { return dynamic_cast<wxButton*>(frame->FindWindow(XRCID(name))); };
  auto* list = dynamic_cast<wxListCtrl*>(frame->FindWindow(XRCID("ID_ALGORITHMS")));
  ASSERT_NE(list, nullptr);
  // The operator's view once the point has been read: its parameters and its
  // algorithms, and the buttons that act on them.
  auto served = [&] {
    return list->GetItemCount() == algorithms && button("ID_RESTART_ALL")->IsEnabled() &&
           button("ID_SET_FACTORY_NO")->IsEnabled();
  };
  ASSERT_TRUE(guitest::RunLoopUntil(served, 10000));

  bool filled = false;
  guitest::ModalScript script;
  script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
    FillOptions(input, dialog, "10", "9.9.9");
    filled = !::testing::Test::HasFatalFailure();
  }));
  ASSERT_TRUE(input.ClickCentre(frame->GetPanelInfo()->GetConfig()));
  ASSERT_TRUE(filled);
  EXPECT_EQ(script.Pending(), 0u);
  EXPECT_EQ(AppSettings.waitReceiverTimeout, 10);
  EXPECT_EQ(AppSettings.address, Address(9, 9, 9));

  EXPECT_FALSE(frame->HasThread());
  wxStaticText* info = frame->GetPanelInfo()->GetInfo();
  const std::size_t heard = bus.Requests().size();
  // Long enough for several rounds of the old polling, and for whatever the
  // old thread had queued to reach the panels.
  guitest::RunLoopFor(2500);
  EXPECT_EQ(bus.Requests().size(), heard) << "something still polls";
  EXPECT_EQ(info->GetLabel(), _("Wrong parameter"));
  EXPECT_EQ(info->GetBackgroundColour(), wxColour(255, 255, 0));
  EXPECT_EQ(info->GetForegroundColour(), wxColour(255, 0, 0));

  for (const char* name : CommandButtons) EXPECT_FALSE(button(name)->IsEnabled()) << name;
  // Nothing serves 9.9.9: the keys queue nothing for it and open nothing.
  EXPECT_EQ(Effects(Address(9, 9, 9), script), std::vector<std::string>{"dialog Parameters"});
  ASSERT_TRUE(input.Focus(frame->GetPanelInfo()->GetConfig()));
  ASSERT_TRUE(input.Type({Stroke{WXK_F3}, Stroke{WXK_F2}, Stroke{WXK_F4}, Stroke{WXK_F5}}));
  EXPECT_EQ(Effects(Address(9, 9, 9), script), std::vector<std::string>{});

  // "Parameters..." still puts it right, and the point's buttons come back.
  filled = false;
  script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
    FillOptions(input, dialog, "40", nullptr);
    filled = !::testing::Test::HasFatalFailure();
  }));
  ASSERT_TRUE(input.ClickCentre(frame->GetPanelInfo()->GetConfig()));
  ASSERT_TRUE(filled);
  EXPECT_TRUE(frame->HasThread());
  ASSERT_TRUE(guitest::RunLoopUntil(served, 10000));
  ASSERT_TRUE(input.Focus(frame->GetPanelInfo()->GetConfig()));
  ASSERT_TRUE(input.Type({Stroke{WXK_F4}}));
  EXPECT_TRUE(guitest::RunLoopUntil([&] { return !Writes(25).empty(); }, 10000)) << "restart all never reached the point";
}

// The simulated point's two algorithms, and a point that reports none.
INSTANTIATE_TEST_SUITE_P(MainFrameKeys, RefusedOptions, ::testing::Values(2, 0),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 0 ? std::string("NoAlgorithms")
                                                  : std::to_string(info.param) + "Algorithms";
                         });

}  // namespace
