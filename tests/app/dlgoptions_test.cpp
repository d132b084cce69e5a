// The options dialogs, driven through their own handlers: the controls are
// set as an operator would, the button, check box and radio box events are
// sent to them, and every message box is answered by a script.

#include <map>
#include <memory>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/radiobox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/dlgoptions.h"
#include "gui_support.h"
#include "security/rights.h"

using kalvo_lorim::Address;

// Failures show texts, not their characters.
void PrintTo(const wxString& text, std::ostream* os) { *os << '"' << text.utf8_string() << '"'; }
namespace kalvo_lorim {
void PrintTo(const Address& address, std::ostream* os) { *os << address.Text().utf8_string(); }
}  // namespace kalvo_lorim

namespace {

template <class T>
T* Find(wxWindow* dialog, const char* name) {
  T* control = dynamic_cast<T*>(dialog->FindWindow(XRCID(name)));
  EXPECT_NE(control, nullptr) << name;
  return control;
}

void Click(wxWindow* dialog, int id) {
  wxWindow* button = dialog->FindWindow(id);
  ASSERT_NE(button, nullptr);
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(button);
  button->ProcessWindowEvent(event);
}

void Tick(wxCheckBox* box, bool on) {
  box->SetValue(on);
  wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
  event.SetInt(on ? 1 : 0);
  event.SetEventObject(box);
  box->ProcessWindowEvent(event);
}

void PickMode(wxRadioBox* radio, int selection) {
  radio->SetSelection(selection);
  wxCommandEvent event(wxEVT_RADIOBOX, radio->GetId());
  event.SetInt(selection);
  event.SetEventObject(radio);
  radio->ProcessWindowEvent(event);
}

wxArrayString Items(wxChoice* choice) { return choice->GetStrings(); }

const wxString Russian = wxString::FromUTF8("Русский");

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSettings = AppSettings;
    savedNames = LanguageNames;
    savedPoints = security::PointAccessList;

    LanguageNames.clear();
    FillLanguageNames();
    AppSettings.serialPort = "COM3";
    AppSettings.baudRate = "9600";
    AppSettings.address = Address(10, 20, 30);
    AppSettings.useOwnAdvancedTimeout = false;
    AppSettings.waitReceiverTimeout = 300;
    AppSettings.language = "english";
    AppSettings.infWinView = 0;
    AppSettings.countDigitDynParams = 3;
    security::PointAccessList.clear();

    frame = new wxFrame(nullptr, wxID_ANY, "main");
  }

  void TearDown() override {
    frame->Destroy();
    guitest::RunLoopFor(0);
    AppSettings = savedSettings;
    LanguageNames = savedNames;
    security::PointAccessList = savedPoints;
  }

  // Opened as the operator sees it, but without a modal loop.
  std::unique_ptr<DlgOptionsGeneral> OpenGeneral() {
    auto dialog = std::make_unique<DlgOptionsGeneral>(frame);
    dialog->Show();
    return dialog;
  }
  std::unique_ptr<DlgOptionsInSystem> OpenInSystem() {
    auto dialog = std::make_unique<DlgOptionsInSystem>(frame);
    dialog->Show();
    return dialog;
  }

  static bool EndedWithOk(const wxDialog& dialog) {
    return dialog.GetReturnCode() == wxID_OK && !dialog.IsShown();
  }

  wxFrame* frame = nullptr;
  AppSettingsRecord savedSettings;
  std::map<wxString, wxString> savedNames;
  std::vector<security::PointAccess> savedPoints;
};

TEST_F(OptionsTest, OpensOnTheAddressInForce) {
  {
    AppSettings.address = Address(255, 255, 255);
    auto dialog = OpenGeneral();
    EXPECT_EQ(Find<wxRadioBox>(dialog.get(), "ID_RADIO_REGIM")->GetSelection(), 0);
    EXPECT_EQ(Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS")->GetValue(), "");
    EXPECT_FALSE(Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS")->IsEnabled());
    EXPECT_FALSE(Find<wxStaticText>(dialog.get(), "ID_STATIC_ADDRESS")->IsEnabled());
  }
  {
    AppSettings.address = Address(10, 20, 30);
    auto dialog = OpenGeneral();
    EXPECT_EQ(Find<wxRadioBox>(dialog.get(), "ID_RADIO_REGIM")->GetSelection(), 1);
    EXPECT_EQ(Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS")->GetValue(), "10.20.30");
    EXPECT_TRUE(Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS")->IsEnabled());
    EXPECT_TRUE(Find<wxStaticText>(dialog.get(), "ID_STATIC_ADDRESS")->IsEnabled());
  }
}

struct AddressCase {
  Address stored;
  const char* typed;  // nullptr: leave the text as it opened
  Address expected;
  bool refused;
};

TEST_F(OptionsTest, AddressTextGivesTheResultAddress) {
  const Address broadcast(255, 255, 255);
  const Address own(1, 1, 1);
  const AddressCase cases[] = {
      {broadcast, nullptr, broadcast, false},
      {Address(10, 20, 30), nullptr, Address(10, 20, 30), false},
      {Address(1, 2, 3), "10.20.30", Address(10, 20, 30), false},
      {Address(1, 2, 3), "255.255.255", broadcast, false},
      {Address(1, 2, 3), "0.0.0", own, true},
      {Address(1, 2, 3), "1.1.1", own, true},
      {Address(1, 2, 3), "256.1.1", own, true},
      {Address(1, 2, 3), "1.2", own, true},
      {Address(1, 2, 3), "", own, true},
      {Address(1, 2, 3), "%s%s%n", own, true},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "(as opened)");
    AppSettings.address = c.stored;
    auto dialog = OpenGeneral();
    if (c.typed) Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS")->ChangeValue(c.typed);

    guitest::ModalScript script;
    if (c.refused) script.ThenId(wxID_OK);
    Click(dialog.get(), wxID_OK);

    wxString port, baud;
    Address result(9, 9, 9);
    dialog->GetResult(port, result, baud);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(port, "COM3");
    EXPECT_EQ(baud, "9600");
    // A refused address still ends the dialog: 1.1.1 tells the main window
    // to apply nothing.
    EXPECT_TRUE(EndedWithOk(*dialog));
    ASSERT_EQ(script.Shown().size(), c.refused ? 1u : 0u);
    if (c.refused) {
      EXPECT_EQ(script.Shown()[0].message, wxString::Format("Error in address %s!", c.typed));
      EXPECT_EQ(script.Shown()[0].title, "Error");
      EXPECT_TRUE(script.Shown()[0].style & wxICON_ERROR);
      EXPECT_TRUE(script.Shown()[0].style & wxOK);
    }
  }
}

TEST_F(OptionsTest, SwitchingTheModeKeepsTheTypedText) {
  auto dialog = OpenGeneral();
  auto* radio = Find<wxRadioBox>(dialog.get(), "ID_RADIO_REGIM");
  auto* text = Find<wxTextCtrl>(dialog.get(), "ID_TEXT_ADDRESS");
  auto* label = Find<wxStaticText>(dialog.get(), "ID_STATIC_ADDRESS");
  text->ChangeValue("7.8.9");

  PickMode(radio, 0);
  EXPECT_FALSE(text->IsEnabled());
  EXPECT_FALSE(label->IsEnabled());
  EXPECT_EQ(text->GetValue(), "7.8.9");
  PickMode(radio, 1);
  EXPECT_TRUE(text->IsEnabled());
  EXPECT_TRUE(label->IsEnabled());
  EXPECT_EQ(text->GetValue(), "7.8.9");

  Click(dialog.get(), wxID_OK);
  wxString port, baud;
  Address result;
  dialog->GetResult(port, result, baud);
  EXPECT_EQ(result, Address(7, 8, 9));

  // Broadcast ignores whatever is typed.
  auto second = OpenGeneral();
  Find<wxTextCtrl>(second.get(), "ID_TEXT_ADDRESS")->ChangeValue("0.0.0");
  PickMode(Find<wxRadioBox>(second.get(), "ID_RADIO_REGIM"), 0);
  Click(second.get(), wxID_OK);
  second->GetResult(port, result, baud);
  EXPECT_EQ(result, Address(255, 255, 255));
}

TEST_F(OptionsTest, TimeoutThatDoesNotConvertIsRefusedAndCancelAppliesNothingMore) {
  for (const char* typed : {"abc", "12abc", ""}) {
    SCOPED_TRACE(typed);
    AppSettings.useOwnAdvancedTimeout = false;
    AppSettings.waitReceiverTimeout = 300;
    AppSettings.countDigitDynParams = 3;
    AppSettings.infWinView = 0;
    AppSettings.language = "english";
    auto dialog = OpenGeneral();
    Tick(Find<wxCheckBox>(dialog.get(), "ID_USE_ADVANCED"), true);
    Find<wxTextCtrl>(dialog.get(), "ID_TIME_TO_WAIT")->ChangeValue(typed);
    Find<wxChoice>(dialog.get(), "ID_COMBO_COUNT_DIGIT")->SetStringSelection("7");
    Find<wxChoice>(dialog.get(), "ID_COMBO_SCALED_VIEW")->SetSelection(1);
    Find<wxChoice>(dialog.get(), "ID_COMBO_LANGUAGE")->SetStringSelection(Russian);

    guitest::ModalScript script;
    script.ThenId(wxID_OK);
    Click(dialog.get(), wxID_OK);
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].message, "Wrong timeout");
    EXPECT_EQ(script.Shown()[0].title, KALVO_TITLE);
    EXPECT_TRUE(script.Shown()[0].style & wxICON_EXCLAMATION);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_NE(dialog->GetReturnCode(), wxID_OK);
    // The Advanced flag is stored before the time-out is checked.
    EXPECT_TRUE(AppSettings.useOwnAdvancedTimeout);

    Click(dialog.get(), wxID_CANCEL);
    EXPECT_FALSE(dialog->IsShown());
    EXPECT_NE(dialog->GetReturnCode(), wxID_OK);
    EXPECT_TRUE(AppSettings.useOwnAdvancedTimeout);
    EXPECT_EQ(AppSettings.waitReceiverTimeout, 300);
    EXPECT_EQ(AppSettings.countDigitDynParams, 3);
    EXPECT_EQ(AppSettings.infWinView, 0);
    EXPECT_EQ(AppSettings.language, "english");
  }
}

TEST_F(OptionsTest, TimeoutIsAnyDecimalInteger) {
  const std::pair<const char*, long> cases[] = {{"-5", -5}, {"0", 0}, {" 75", 75}, {"+40", 40}};
  for (const auto& [typed, expected] : cases) {
    SCOPED_TRACE(typed);
    AppSettings.useOwnAdvancedTimeout = false;
    AppSettings.waitReceiverTimeout = 300;
    auto dialog = OpenGeneral();
    Tick(Find<wxCheckBox>(dialog.get(), "ID_USE_ADVANCED"), true);
    Find<wxTextCtrl>(dialog.get(), "ID_TIME_TO_WAIT")->ChangeValue(typed);
    Click(dialog.get(), wxID_OK);
    EXPECT_TRUE(EndedWithOk(*dialog));
    EXPECT_TRUE(AppSettings.useOwnAdvancedTimeout);
    EXPECT_EQ(AppSettings.waitReceiverTimeout, expected);
  }
}

TEST_F(OptionsTest, UntickingAdvancedRestoresTheStoredTimeout) {
  auto dialog = OpenGeneral();
  auto* advanced = Find<wxCheckBox>(dialog.get(), "ID_USE_ADVANCED");
  auto* timeout = Find<wxTextCtrl>(dialog.get(), "ID_TIME_TO_WAIT");
  EXPECT_FALSE(advanced->GetValue());
  EXPECT_EQ(timeout->GetValue(), "300");
  EXPECT_FALSE(timeout->IsEnabled());

  Tick(advanced, true);
  EXPECT_TRUE(timeout->IsEnabled());
  timeout->ChangeValue("75");
  Tick(advanced, false);
  EXPECT_EQ(timeout->GetValue(), "300");
  EXPECT_FALSE(timeout->IsEnabled());

  Click(dialog.get(), wxID_OK);
  EXPECT_TRUE(EndedWithOk(*dialog));
  EXPECT_FALSE(AppSettings.useOwnAdvancedTimeout);
  EXPECT_EQ(AppSettings.waitReceiverTimeout, 300);
}

struct LanguageCase {
  const char* stored;
  wxString pick;  // empty: leave the choice as it opened
  const char* expected;
  bool notice;
};

TEST_F(OptionsTest, LanguageChangeIsNoticedOnceAndStored) {
  const LanguageCase cases[] = {
      {"english", "", "english", false},
      {"english", "English", "english", false},
      {"english", Russian, "russian", true},
      {"", "", "", false},
      {"klingon", "", "klingon", false},
      {"", Russian, "russian", true},
  };
  for (const LanguageCase& c : cases) {
    SCOPED_TRACE(wxString::Format("%s -> %s", c.stored, c.pick).utf8_string());
    AppSettings.language = c.stored;
    auto dialog = OpenGeneral();
    auto* choice = Find<wxChoice>(dialog.get(), "ID_COMBO_LANGUAGE");
    // The same three names on every opening, in the order of the language
    // names; a language we do not know selects none and adds nothing.
    const wxString names[] = {"English", Russian, wxString::FromUTF8("Українська")};
    EXPECT_EQ(Items(choice), wxArrayString(3, names));
    EXPECT_EQ(LanguageNames.size(), 3u);
    if (LanguageNames.count(c.stored) == 0) EXPECT_EQ(choice->GetSelection(), wxNOT_FOUND);
    else EXPECT_EQ(choice->GetStringSelection(), LanguageNames[c.stored]);
    if (!c.pick.empty()) choice->SetStringSelection(c.pick);

    guitest::ModalScript script;
    if (c.notice) script.ThenId(wxID_OK);
    Click(dialog.get(), wxID_OK);
    EXPECT_TRUE(EndedWithOk(*dialog));
    EXPECT_EQ(AppSettings.language, c.expected);
    ASSERT_EQ(script.Shown().size(), c.notice ? 1u : 0u);
    if (c.notice) {
      EXPECT_EQ(script.Shown()[0].message,
                "Language has changed success. Settings will be apply after restart.");
      EXPECT_EQ(script.Shown()[0].title, KALVO_TITLE);
      EXPECT_TRUE(script.Shown()[0].style & wxICON_INFORMATION);
    }
  }
}

TEST_F(OptionsTest, DigitsAndViewChoices) {
  {
    AppSettings.countDigitDynParams = 12;
    auto dialog = OpenGeneral();
    auto* digits = Find<wxChoice>(dialog.get(), "ID_COMBO_COUNT_DIGIT");
    EXPECT_EQ(digits->GetCount(), 10u);
    EXPECT_EQ(digits->GetSelection(), wxNOT_FOUND);
    Click(dialog.get(), wxID_OK);
    EXPECT_EQ(AppSettings.countDigitDynParams, 0);
  }
  {
    AppSettings.countDigitDynParams = 3;
    auto dialog = OpenGeneral();
    auto* digits = Find<wxChoice>(dialog.get(), "ID_COMBO_COUNT_DIGIT");
    EXPECT_EQ(digits->GetStringSelection(), "3");
    digits->SetStringSelection("9");
    Click(dialog.get(), wxID_OK);
    EXPECT_EQ(AppSettings.countDigitDynParams, 9);
  }
  for (long stored : {0L, 1L}) {
    SCOPED_TRACE(stored);
    AppSettings.infWinView = stored;
    auto dialog = OpenGeneral();
    auto* view = Find<wxChoice>(dialog.get(), "ID_COMBO_SCALED_VIEW");
    ASSERT_EQ(view->GetCount(), 2u);
    EXPECT_EQ(view->GetString(0), "engineer form");
    EXPECT_EQ(view->GetString(1), "fractional coefficients");
    EXPECT_EQ(view->GetSelection(), stored);
    view->SetSelection(1 - stored);
    Click(dialog.get(), wxID_OK);
    EXPECT_EQ(AppSettings.infWinView, 1 - stored);
  }
}

struct PortCase {
  const char* stored;
  unsigned items;
  const char* selected;
};

TEST_F(OptionsTest, PortChoiceKeepsAPortNamedByItsPath) {
  const PortCase cases[] = {
      {"COM7", 256, "COM7"},
      {"com7", 256, "COM7"},
      {"COM256", 256, "COM256"},
      {"", 256, ""},
      {"/dev/ttyUSB0", 257, "/dev/ttyUSB0"},
      {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", 257,
       "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
  };
  for (const PortCase& c : cases) {
    SCOPED_TRACE(c.stored);
    AppSettings.serialPort = c.stored;
    for (bool inSystem : {false, true}) {
      std::unique_ptr<DlgOptions> dialog;
      if (inSystem) dialog = OpenInSystem();
      else dialog = OpenGeneral();
      auto* choice = Find<wxChoice>(dialog.get(), inSystem ? "ID_COMBO_COM_SYSTEM" : "ID_COMBO_COM");
      EXPECT_EQ(choice->GetCount(), c.items);
      EXPECT_EQ(choice->GetString(0), "COM1");
      EXPECT_EQ(choice->GetString(255), "COM256");
      EXPECT_EQ(choice->GetStringSelection(), c.selected);
    }
  }
}

// As the main window uses it: shown modally, the result read after wxID_OK.
TEST_F(OptionsTest, StoredDevicePathSurvivesAnOkThatChangedOnlyTheBaudRate) {
  AppSettings.serialPort = "/dev/ttyUSB0";
  for (bool inSystem : {false, true}) {
    SCOPED_TRACE(inSystem ? "in system" : "stand-alone");
    security::PointAccessList.clear();
    security::PointAccess point;
    point.SetAddress("10.20.30");
    security::PointAccessList.push_back(point);

    std::unique_ptr<DlgOptions> dialog;
    if (inSystem) dialog = std::make_unique<DlgOptionsInSystem>(frame);
    else dialog = std::make_unique<DlgOptionsGeneral>(frame);
    const char* baudName = inSystem ? "ID_COMBO_BAUD_RATE_SYSTEM" : "ID_COMBO_BAUD_RATE";
    guitest::ModalScript script;
    script.Then([&](wxDialog* shown) {
      EXPECT_EQ(shown, dialog.get());
      Find<wxChoice>(shown, baudName)->SetStringSelection("19200");
      Click(shown, wxID_OK);
      return shown->GetReturnCode();
    });
    ASSERT_EQ(dialog->ShowModal(), wxID_OK);
    wxString port, baud;
    Address result;
    dialog->GetResult(port, result, baud);
    EXPECT_EQ(port, "/dev/ttyUSB0");
    EXPECT_EQ(baud, "19200");
    EXPECT_EQ(result, Address(10, 20, 30));
  }
}

TEST_F(OptionsTest, InSystemAddressIsOneOfTheConfiguredPoints) {
  security::PointAccess first, second;
  first.SetAddress("1.2.3");
  second.SetAddress("4.5.6");
  security::PointAccessList = {first, second};

  struct {
    Address stored;
    const char* pick;  // nullptr: leave the choice as it opened
    const char* selectedAtOpening;
    Address expected;
  } const cases[] = {
      {Address(4, 5, 6), nullptr, "004.005.006", Address(4, 5, 6)},
      {Address(4, 5, 6), "001.002.003", "004.005.006", Address(1, 2, 3)},
      // Not configured: nothing selected, and 1.1.1 applies nothing.
      {Address(9, 9, 9), nullptr, "", Address(1, 1, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.Text().utf8_string());
    AppSettings.address = c.stored;
    auto dialog = OpenInSystem();
    auto* choice = Find<wxChoice>(dialog.get(), "ID_COMBO_ADDRESS_SYSTEM");
    const wxString items[] = {"001.002.003", "004.005.006"};
    EXPECT_EQ(Items(choice), wxArrayString(2, items));
    EXPECT_EQ(choice->GetStringSelection(), c.selectedAtOpening);
    if (c.pick) choice->SetStringSelection(c.pick);

    guitest::ModalScript script;  // no message in any case
    Click(dialog.get(), wxID_OK);
    EXPECT_TRUE(EndedWithOk(*dialog));
    EXPECT_TRUE(script.Shown().empty());
    wxString port, baud;
    Address result;
    dialog->GetResult(port, result, baud);
    EXPECT_EQ(result, c.expected);
  }
}

TEST_F(OptionsTest, InSystemAdvancedAndTimeout) {
  auto dialog = OpenInSystem();
  auto* advanced = Find<wxCheckBox>(dialog.get(), "ID_USE_ADVANCED_SYSTEM");
  auto* timeout = Find<wxTextCtrl>(dialog.get(), "ID_TIME_TO_WAIT_SYSTEM");
  EXPECT_FALSE(timeout->IsEnabled());
  Tick(advanced, true);
  EXPECT_TRUE(timeout->IsEnabled());
  timeout->ChangeValue("75");
  Tick(advanced, false);
  EXPECT_EQ(timeout->GetValue(), "300");
  EXPECT_FALSE(timeout->IsEnabled());

  Tick(advanced, true);
  timeout->ChangeValue("x");
  {
    guitest::ModalScript script;
    script.ThenId(wxID_OK);
    Click(dialog.get(), wxID_OK);
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].message, "Wrong timeout");
    EXPECT_TRUE(script.Shown()[0].style & wxICON_EXCLAMATION);
    EXPECT_TRUE(dialog->IsShown());
  }
  timeout->ChangeValue("120");
  Find<wxChoice>(dialog.get(), "ID_COMBO_COUNT_DIGIT")->SetStringSelection("5");
  Find<wxChoice>(dialog.get(), "ID_COMBO_SCALED_VIEW")->SetSelection(1);
  Click(dialog.get(), wxID_OK);
  EXPECT_TRUE(EndedWithOk(*dialog));
  EXPECT_TRUE(AppSettings.useOwnAdvancedTimeout);
  EXPECT_EQ(AppSettings.waitReceiverTimeout, 120);
  EXPECT_EQ(AppSettings.countDigitDynParams, 5);
  EXPECT_EQ(AppSettings.infWinView, 1);
}

}  // namespace
