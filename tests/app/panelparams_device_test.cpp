// The parameters panel in the real main window: what its buttons send
// arrives at a simulated point on a pseudo-terminal.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/choicdlg.h>
#include <wx/listctrl.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "app/dlgsetdate.h"
#include "app/mainframe.h"
#include "app/panelparamsblock.h"
#include "gui_support.h"
#include "pointsim.h"
#include "simulated_line.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;

int Press(wxDialog* dialog, int id) {
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(dialog->FindWindow(id));
  dialog->GetEventHandler()->ProcessEvent(event);
  if (dialog->GetReturnCode() == 0) {
    ADD_FAILURE() << "the dialog did not end";
    return wxID_CANCEL;
  }
  return dialog->GetReturnCode();
}

class ParamsOnDevice : public guitest::SimulatedLineTest {
 protected:
  void SetUp() override {
    guitest::SimulatedLineTest::SetUp();
    AppSettings.countDigitDynParams = 4;
    // Only parameters with a text form: the device library writes all of a
    // point's parameters or none.
    sim->SetParam(0, "Gain", pointsim::type::Float, pointsim::F32(10.0f));
    sim->SetParam(1, "Location", pointsim::type::Text, pointsim::Utf16("Room 12"));
    sim->SetParam(2, "Master address", pointsim::type::Addr,
                   pointsim::AddressBytes(Address(10, 20, 30)));
    sim->SetByte(23, 3);
    frame = new MainFrame();
    panel_ = frame->GetPanelParamsBlock();
    dynamicList_ = dynamic_cast<wxListCtrl*>(panel_->FindWindow(XRCID("ID_DYNAMIC_PARAMS")));
    staticList_ = dynamic_cast<wxListCtrl*>(panel_->FindWindow(XRCID("ID_STATIC_PARAMS")));
  }

  void Click(const char* button) {
    wxCommandEvent event(wxEVT_BUTTON, XRCID(button));
    panel_->GetEventHandler()->ProcessEvent(event);
  }

  bool WaitFor(const std::function<bool()>& done) { return guitest::RunLoopUntil(done, 10000); }

  PanelParamsBlock* panel_ = nullptr;
  wxListCtrl* dynamicList_ = nullptr;
  wxListCtrl* staticList_ = nullptr;
};

TEST_F(ParamsOnDevice, EveryButtonsWriteArrivesAtThePoint) {
  ASSERT_TRUE(WaitFor([&] { return staticList_->GetItemCount() == 10; }));
  EXPECT_EQ(staticList_->GetItemText(9, 1), "SN-000123");
  ASSERT_EQ(dynamicList_->GetItemCount(), 3);

  // Parameters: row 0 typed, the others written back as they are.
  EXPECT_EQ(dynamicList_->GetItemText(0, 2), "10");
  dynamicList_->SetItemText(0, "42");
  Click("ID_SET_PARAMETERS");
  ASSERT_TRUE(WaitFor([&] { return sim->GetFloat(113) == 42.0f; }));
  EXPECT_EQ(sim->GetText(115), "Room 12");
  EXPECT_EQ(sim->GetVariable(117)->value, pointsim::AddressBytes(Address(10, 20, 30)));

  // Volume: a move, then OK.
  guitest::ModalScript script;
  script.Then([](wxDialog* dialog) -> int {
    auto* slider = dynamic_cast<wxSlider*>(dialog->FindWindow(XRCID("ID_SLIDER_VOLUME_LEVEL")));
    if (slider == nullptr) return wxID_CANCEL;
    slider->SetValue(60);
    wxCommandEvent moved(wxEVT_SLIDER, slider->GetId());
    moved.SetEventObject(slider);
    slider->GetEventHandler()->ProcessEvent(moved);
    return Press(dialog, wxID_OK);
  });
  Click("ID_SET_VOLUME_LEVEL");
  ASSERT_TRUE(WaitFor([&] { return sim->GetByte(14) == 60; }));

  // Language: the third supported one (34).
  script.Then([](wxDialog* dialog) {
    static_cast<wxSingleChoiceDialog*>(dialog)->SetSelection(2);
    return wxID_OK;
  });
  Click("ID_SET_DEVICE_LOCALE");
  ASSERT_TRUE(WaitFor([&] { return sim->GetByte(6) == 34; }));
  ASSERT_EQ(Writes(6).size(), 1u);
  EXPECT_EQ(Writes(6)[0], pointsim::U16(34)) << "written as a 16-bit word";

  // Factory number: the password, then the number, to the same variable.
  script.Then([](wxDialog* dialog) {
    XRCCTRL(*dialog, "PASSWORD_FACTORY_NO", wxTextCtrl)->SetValue("pw");
    XRCCTRL(*dialog, "TC_FACTORY_NO", wxTextCtrl)->SetValue("SN-9");
    return Press(dialog, XRCID("ID_OK_FACTORY_NO"));
  });
  Click("ID_SET_FACTORY_NO");
  ASSERT_TRUE(WaitFor([&] { return sim->GetText(4) == "SN-9"; }));
  const std::vector<pointsim::Bytes> numbers = Writes(4);
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(pointsim::FromUtf16(numbers[0]), "pw");
  EXPECT_EQ(pointsim::FromUtf16(numbers[1]), "SN-9");

  // Device date: the day chosen in the dialog.
  kalvo_lorim::DateTime chosen;
  script.Then([&](wxDialog* dialog) {
    chosen = static_cast<DlgSetDate*>(dialog)->GetDateTime();
    return Press(dialog, wxID_OK);
  });
  Click("ID_SET_DATE");
  ASSERT_TRUE(WaitFor([&] { return !Writes(31).empty(); }));
  EXPECT_EQ(sim->GetDate(31), chosen);

  // Address last: the point moves to it.
  script.Then([](wxDialog* dialog) {
    static_cast<wxTextEntryDialog*>(dialog)->SetValue("7.8.9");
    return wxID_OK;
  });
  Click("ID_SET_ADDRESS");
  ASSERT_TRUE(WaitFor([&] { return sim->GetAddress() == Address(7, 8, 9); }));
  EXPECT_EQ(script.Pending(), 0u);
}

}  // namespace
