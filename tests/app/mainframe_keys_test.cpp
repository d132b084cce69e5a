// The main window as an operator works it: real function keys and clicks
// through the X server, against a simulated point.

#include <sstream>
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
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

// Options that the port configuration refuses (a time-out below 40 ms) while
// the device thread polls: the old point is no longer polled, and nothing
// covers "Wrong parameter", until the options put it right.
TEST_F(MainFrameKeys, RefusedOptionsLeaveNoThreadAndTheirMessageStands) {
  frame = new MainFrame();
  ASSERT_TRUE(InfoShows(*frame, wxColour(255, 255, 255), wxColour(0, 0, 255), 10000));

  bool filled = false;
  guitest::ModalScript script;
  script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
    auto* advanced = XRCCTRL(*dialog, "ID_USE_ADVANCED", wxCheckBox);
    auto* timeout = XRCCTRL(*dialog, "ID_TIME_TO_WAIT", wxTextCtrl);
    auto* mode = XRCCTRL(*dialog, "ID_RADIO_REGIM", wxRadioBox);
    auto* address = XRCCTRL(*dialog, "ID_TEXT_ADDRESS", wxTextCtrl);
    ASSERT_TRUE(advanced && timeout && mode && address);
    ASSERT_TRUE(input.ClickCentre(advanced));
    ASSERT_TRUE(timeout->IsEnabled());
    ASSERT_TRUE(input.Focus(timeout));
    ASSERT_TRUE(input.Type({Stroke{WXK_END}, Stroke{WXK_BACK}, Stroke{WXK_BACK}, Stroke{'1'}, Stroke{'0'}}));
    ASSERT_EQ(timeout->GetValue(), "10");
    const wxPoint direct = RadioItemPoint(mode, 1);
    ASSERT_NE(direct, wxDefaultPosition);
    ASSERT_TRUE(input.Click(mode, direct, [&] { return mode->GetSelection() == 1; }));
    ASSERT_TRUE(address->IsEnabled());
    ASSERT_TRUE(input.Focus(address));
    ASSERT_TRUE(input.Type({Stroke{'9'}, Stroke{'.'}, Stroke{'9'}, Stroke{'.'}, Stroke{'9'}}));
    ASSERT_EQ(address->GetValue(), "9.9.9");
    filled = true;
    ASSERT_TRUE(input.ClickCentre(dialog->FindWindow(wxID_OK)));
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

  // Nothing serves 9.9.9: the keys queue nothing for it.
  EXPECT_EQ(Effects(Address(9, 9, 9), script), std::vector<std::string>{"dialog Parameters"});
  ASSERT_TRUE(input.Focus(frame->GetPanelInfo()->GetConfig()));
  ASSERT_TRUE(input.Type({Stroke{WXK_F3}, Stroke{WXK_F2}, Stroke{WXK_F4}}));
  EXPECT_EQ(Effects(Address(9, 9, 9), script), std::vector<std::string>{});
}

}  // namespace
