// The parameters panel: what it shows of a point, and the commands its
// buttons post, taken back from a real command queue.

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include <boost/any.hpp>
#include <gtest/gtest.h>
#include <wx/calctrl.h>
#include <wx/choicdlg.h>
#include <wx/frame.h>
#include <wx/listbox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/dlgfactoryno.h"
#include "app/dlgsetdate.h"
#include "app/dlgvolumelevel.h"
#include "app/panelparamsblock.h"
#include "gui_support.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointparam.h"
#include "security/rights.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::DateTime;
using kalvo_lorim::PointParams;

const Address Served(1, 2, 3);

std::vector<PointParam> FourParams() {
  return {PointParam(10, 25, "Gain", boost::any(0.1f)),
          PointParam(11, 1, "Mode", boost::any(static_cast<unsigned char>(3))),
          PointParam(12, 29, "Label", boost::any(wxString("abc"))),
          PointParam(13, 33, "Relay", boost::any(Address(4, 5, 6)))};
}

// Every value known, as a point gives them after a full read.
PointParams ParamsWith(const std::vector<PointParam>& params) {
  PointParams p;
  p.SetAddress(Served);
  p.SetCurrentAlgorithm(2);
  p.SetDeviceName("Gauge");
  p.SetDeviceCode(7);
  p.SetFirmwareVersion("v2.1");
  p.SetConfigurationDate(DateTime(21, 5, 6, 0, 0, 0, 0));
  p.SetAssemblyDate(DateTime(20, 11, 12, 0, 0, 0, 0));
  p.SetDeviceDateTime(DateTime(26, 2, 3, 14, 5, 30, 500));
  p.SetVolumeLevel(40);
  p.SetLanguage(25);
  const std::uint16_t languages[] = {9, 25, 34};
  p.SetLanguages(languages, 3);
  p.SetFactoryNumber("F-1001");
  for (const PointParam& param : params) p.AddParam(param);
  return p;
}

PointParams BaseParams() { return ParamsWith(FourParams()); }

std::vector<PointParam> Floats(int n) {
  std::vector<PointParam> params;
  for (int i = 0; i < n; ++i)
    params.emplace_back(static_cast<std::uint8_t>(20 + i), 25, wxString::Format("P%d", i),
                        boost::any(static_cast<float>(i)));
  return params;
}

// A point of the served address that has accepted these parameters, as the
// refresh hands it over.
kalvo_lorim::Point PointWith(const PointParams& params) {
  kalvo_lorim::Point point(Served);
  EXPECT_TRUE(point.HandleEvent(kalvo_lorim::Event(EventKind::ParamsRead, Served, params)));
  return point;
}

// Presses a button of a dialog that a ModalScript holds, so that the dialog's
// own handler runs; what it ended with answers ShowModal.
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

class ParamsPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSettings = AppSettings;
    savedWorkInSystem = security::WorkInSystem;
    savedUser = security::CurrentUser;
    savedAccess = security::GetCurrentPointAccess();
    AppSettings.address = Served;
    AppSettings.countDigitDynParams = 3;
    AppSettings.workInSystem = false;
    AppSettings.titleFontSize = 12;

    frame = new wxFrame(nullptr, wxID_ANY, "params", wxDefaultPosition, wxSize(1000, 500));
    // Close requests are counted, not carried out: the lists stay readable.
    frame->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { ++closeRequests; });
    NewPanel();
    frame->Show();
  }

  void NewPanel() {
    if (panel != nullptr) panel->Destroy();
    panel = new PanelParamsBlock(frame, &points, &queue);
    staticList = dynamic_cast<wxListCtrl*>(panel->FindWindow(XRCID("ID_STATIC_PARAMS")));
    dynamicList = dynamic_cast<wxListCtrl*>(panel->FindWindow(XRCID("ID_DYNAMIC_PARAMS")));
    ASSERT_NE(staticList, nullptr);
    ASSERT_NE(dynamicList, nullptr);
  }

  void TearDown() override {
    frame->Destroy();
    AppSettings = savedSettings;
    security::SetWorkInSystem(savedWorkInSystem);
    security::CurrentUser = savedUser;
    security::SetCurrentPointAccess(savedAccess);
  }

  // Work-in-system mode with a user who may edit, and a configured record
  // that agrees with BaseParams and allows only parameter 10.
  void EnterWorkInSystem() {
    AppSettings.workInSystem = true;
    security::SetWorkInSystem(true);
    security::CurrentUser =
        security::UserRecord("op", "pw", static_cast<int>(security::UserRight::EditParams) |
                                             static_cast<int>(security::UserRight::ViewParams));
    security::PointAccess access;
    access.SetAddress("1.2.3");
    access.SetDeviceCode(7);
    access.SetFirmwareVersion("v2.1");
    access.SetAccessMap({{10, true}, {11, false}});
    security::SetCurrentPointAccess(access);
  }

  void Show(const PointParams& params) { panel->ShowParams(PointWith(params)); }

  void Click(const char* button) {
    wxCommandEvent event(wxEVT_BUTTON, XRCID(button));
    panel->GetEventHandler()->ProcessEvent(event);
  }

  wxButton* Button(const char* name) const {
    return dynamic_cast<wxButton*>(panel->FindWindow(XRCID(name)));
  }

  std::vector<Command> Taken(const Address& address = Served) {
    std::vector<Command> out;
    Command command;
    while (queue.Take(address, command)) out.push_back(command);
    return out;
  }

  wxString Static(long row) const { return staticList->GetItemText(row, 1); }
  wxString NewValue(long row) const { return dynamicList->GetItemText(row, 0); }

  wxFrame* frame = nullptr;
  PanelParamsBlock* panel = nullptr;
  wxListCtrl* staticList = nullptr;
  wxListCtrl* dynamicList = nullptr;
  kalvo_lorim::PointsCollection points;
  CommandQueue queue;
  int closeRequests = 0;

 private:
  AppSettingsRecord savedSettings;
  bool savedWorkInSystem = false;
  security::UserRecord savedUser;
  security::PointAccess savedAccess;
};

const char* const AllButtons[] = {"ID_SET_ADDRESS",      "ID_GET_PARAMS",
                                  "ID_SET_PARAMETERS",   "ID_SET_DATE",
                                  "ID_SET_VOLUME_LEVEL", "ID_SET_DEVICE_LOCALE",
                                  "ID_SET_FACTORY_NO"};

TEST_F(ParamsPanel, StartsEmptyWithEveryButtonDisabled) {
  EXPECT_EQ(staticList->GetItemCount(), 0);
  EXPECT_EQ(dynamicList->GetItemCount(), 0);
  for (const char* name : AllButtons) {
    ASSERT_NE(Button(name), nullptr) << name;
    EXPECT_FALSE(Button(name)->IsEnabled()) << name;
  }
  EXPECT_EQ(dynamicList->GetColumnCount(), 3);
  EXPECT_EQ(staticList->GetColumnCount(), 2);
}

// Whether the list scrolls sideways: its columns are wider than it is.
bool ScrollsSideways(wxListCtrl* list) {
  return list->GetScrollRange(wxHORIZONTAL) > list->GetScrollThumb(wxHORIZONTAL);
}

int ColumnsWidth(wxListCtrl* list) {
  int width = 0;
  for (int c = 0; c < list->GetColumnCount(); ++c) width += list->GetColumnWidth(c);
  return width;
}

// The window resized as the operator or the window manager does it, wider
// and narrower again: the lists take the panel's height below the buttons,
// the columns of each list fill its width, less room for a vertical scroll
// bar, without a horizontal one; every button lies inside the panel with
// room for its label.
TEST_F(ParamsPanel, ColumnsFillTheListsAndButtonsStayInsideAtEverySize) {
  Show(ParamsWith(Floats(30)));  // more rows than the lists show
  // What the columns may leave free: a vertical scroll bar and a margin.
  const int free = 48;
  for (const wxSize size : {wxSize(1010, 500), wxSize(1210, 700), wxSize(815, 300), wxSize(700, 400),
                            wxSize(1600, 900), wxSize(1010, 500)}) {
    SCOPED_TRACE(testing::Message() << size.x << "x" << size.y);
    frame->SetClientSize(size);
    ASSERT_TRUE(guitest::RunLoopUntil([&] { return panel->GetSize() == size; }, 5000))
        << panel->GetSize().x << "x" << panel->GetSize().y;
    // The lists set their scroll bars when idle.
    guitest::RunLoopUntil([&] { return !ScrollsSideways(staticList) && !ScrollsSideways(dynamicList); }, 1000);
    for (wxListCtrl* list : {staticList, dynamicList}) {
      SCOPED_TRACE(list == staticList ? "static list" : "dynamic list");
      const int width = list->GetClientSize().x;
      EXPECT_FALSE(ScrollsSideways(list));
      EXPECT_LE(ColumnsWidth(list), width);
      EXPECT_GE(ColumnsWidth(list), width - free);
      EXPECT_TRUE(panel->GetClientRect().Contains(list->GetRect()));
      EXPECT_GE(list->GetRect().GetBottom(), panel->GetClientSize().y - 8) << "the list stops short of the panel's foot";
    }
    for (const char* name : AllButtons) {
      const wxRect button = Button(name)->GetRect();
      EXPECT_TRUE(panel->GetClientRect().Contains(button))
          << name << " at " << button.x << "," << button.y << " " << button.width << "x" << button.height;
      EXPECT_GE(button.width, Button(name)->GetBestSize().x) << name;
    }
  }
}

TEST_F(ParamsPanel, StaticRowsShowTheParameters) {
  Show(BaseParams());
  const char* const labels[] = {"Device address",    "Device",           "Device code",
                                "Firmware version",  "Configuration date", "Assembly date",
                                "Device date/time",  "Volume level",     "Current device language",
                                "Factory number"};
  const char* const values[] = {"1.2.3",      "Gauge",      "7",  "v2.1",     "06.05.2021",
                                "12.11.2020", "03.02.2026 14:05", "40", "Русский", "F-1001"};
  ASSERT_EQ(staticList->GetItemCount(), 10);
  for (long row = 0; row < 10; ++row) {
    EXPECT_EQ(staticList->GetItemText(row, 0), wxString(labels[row])) << row;
    EXPECT_EQ(Static(row), wxString::FromUTF8(values[row])) << row;
  }
  EXPECT_EQ(panel->GetShownAddressText(), "1.2.3");
  EXPECT_EQ(AppSettings.currentAlgorithm, 2);
}

// One value changed from BaseParams at a time: what its row shows and what
// becomes of the button that would change it.
TEST_F(ParamsPanel, ValuesTheDeviceDidNotGiveShowNoInformation) {
  struct Case {
    const char* what;
    std::function<void(PointParams&)> change;
    long row;
    const char* text;
    const char* button;  // null: no button follows the row
    bool enabled;
  };
  const Case cases[] = {
      {"year byte 49", [](PointParams& p) { p.SetConfigurationDate(DateTime(49, 1, 2, 0, 0, 0, 0)); },
       4, "02.01.2049", nullptr, false},
      {"year byte 50", [](PointParams& p) { p.SetAssemblyDate(DateTime(50, 12, 31, 0, 0, 0, 0)); },
       5, "31.12.1950", nullptr, false},
      {"year byte 0", [](PointParams& p) { p.SetAssemblyDate(DateTime(0, 7, 8, 0, 0, 0, 0)); }, 5,
       "08.07.2000", nullptr, false},
      {"configuration date unknown", [](PointParams& p) { p.SetConfigurationDate(DateTime()); }, 4,
       "No information", nullptr, false},
      {"assembly date unknown", [](PointParams& p) { p.SetAssemblyDate(DateTime()); }, 5,
       "No information", nullptr, false},
      {"device date: no seconds", [](PointParams& p) { p.SetDeviceDateTime(DateTime(49, 9, 1, 23, 59, 59, 999)); },
       6, "01.09.2049 23:59", "ID_SET_DATE", true},
      {"device date unknown, with the right", [](PointParams& p) { p.SetDeviceDateTime(DateTime()); },
       6, "No information", "ID_SET_DATE", false},
      {"volume 0", [](PointParams& p) { p.SetVolumeLevel(0); }, 7, "0", "ID_SET_VOLUME_LEVEL", true},
      {"volume unknown", [](PointParams& p) { p.SetVolumeLevel(255); }, 7, "No information",
       "ID_SET_VOLUME_LEVEL", false},
      {"language unknown", [](PointParams& p) { p.SetLanguage(255); }, 8, "No information",
       "ID_SET_DEVICE_LOCALE", false},
      {"language English", [](PointParams& p) { p.SetLanguage(9); }, 8, "English",
       "ID_SET_DEVICE_LOCALE", true},
      {"factory number unknown", [](PointParams& p) { p.SetFactoryNumber(UnknownVariableText); }, 9,
       "No information", "ID_SET_FACTORY_NO", false},
      {"empty factory number", [](PointParams& p) { p.SetFactoryNumber(""); }, 9, "",
       "ID_SET_FACTORY_NO", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Show(BaseParams());  // everything known: every button on
    PointParams params = BaseParams();
    c.change(params);
    Show(params);
    EXPECT_EQ(Static(c.row), wxString(c.text));
    if (c.button != nullptr) {
      EXPECT_EQ(Button(c.button)->IsEnabled(), c.enabled);
    }
  }
}

TEST_F(ParamsPanel, DynamicValuesAndAValueWithoutTextForm) {
  AppSettings.countDigitDynParams = 2;
  const PointParams params = ParamsWith({
      PointParam(1, 25, "Gain", boost::any(3.14159f)),
      PointParam(2, 17, "Raw", boost::any(static_cast<unsigned char>(9))),
      PointParam(3, 13, "Single", boost::any(kalvo_lorim::LSingle())),
      PointParam(4, 1, "Wrong kind", boost::any(1.5f)),
      PointParam(5, 1, "Mode", boost::any(static_cast<unsigned char>(3))),
      PointParam(6, 29, "Label", boost::any(wxString("abc"))),
      PointParam(7, 33, "Relay", boost::any(Address(4, 5, 6))),
  });
  // Delivered as the main window does it, through the refresh.
  ASSERT_NO_THROW(panel->UpdatePanel(PointWith(params)));
  const char* const names[] = {"Gain", "Raw", "Single", "Wrong kind", "Mode", "Label", "Relay"};
  const char* const values[] = {"3.1", "", "", "", "3", "abc", "4.5.6"};
  ASSERT_EQ(dynamicList->GetItemCount(), 7);
  for (long row = 0; row < 7; ++row) {
    EXPECT_EQ(dynamicList->GetItemText(row, 1), wxString(names[row])) << row;
    EXPECT_EQ(dynamicList->GetItemText(row, 2), wxString(values[row])) << row;
    EXPECT_EQ(NewValue(row), "") << row;
  }
  // The static rows are filled after the dynamic ones.
  EXPECT_EQ(staticList->GetItemCount(), 10);
}

TEST_F(ParamsPanel, RereadKeepsTypedValuesOfTheRowsThatRemain) {
  Show(ParamsWith(Floats(3)));
  for (long row = 0; row < 3; ++row) dynamicList->SetItemText(row, wxString::Format("t%ld", row));

  Show(ParamsWith(Floats(5)));
  ASSERT_EQ(dynamicList->GetItemCount(), 5);
  const char* const afterGrowth[] = {"t0", "t1", "t2", "", ""};
  for (long row = 0; row < 5; ++row) EXPECT_EQ(NewValue(row), wxString(afterGrowth[row])) << row;
  EXPECT_EQ(dynamicList->GetItemText(4, 1), "P4");

  Show(ParamsWith(Floats(2)));
  ASSERT_EQ(dynamicList->GetItemCount(), 2);
  EXPECT_EQ(NewValue(0), "t0");
  EXPECT_EQ(NewValue(1), "t1");

  Show(ParamsWith({}));
  EXPECT_EQ(dynamicList->GetItemCount(), 0);
  EXPECT_EQ(staticList->GetItemCount(), 10);
}

TEST_F(ParamsPanel, RefreshShowsTheHandedOverCopyOnParameterEventsOnly) {
  // The live point in the collection already holds newer parameters.
  auto* live = new kalvo_lorim::Point(Served);
  PointParams newer = BaseParams();
  newer.SetDeviceName("Live");
  live->HandleEvent(kalvo_lorim::Event(EventKind::ParamsRead, Served, newer));
  points.Add(live);

  kalvo_lorim::Point copy(Served);
  ASSERT_TRUE(copy.HandleEvent(kalvo_lorim::Event(EventKind::Plugged, Served, 0L)));
  panel->UpdatePanel(copy);
  EXPECT_EQ(staticList->GetItemCount(), 0) << "a plug event shows nothing";
  EXPECT_TRUE(Button("ID_GET_PARAMS")->IsEnabled());
  EXPECT_TRUE(Button("ID_SET_PARAMETERS")->IsEnabled());
  EXPECT_FALSE(Button("ID_SET_ADDRESS")->IsEnabled());
  EXPECT_FALSE(Button("ID_SET_FACTORY_NO")->IsEnabled());

  ASSERT_TRUE(copy.HandleEvent(kalvo_lorim::Event(EventKind::ParamsRead, Served, BaseParams())));
  panel->UpdatePanel(copy);
  EXPECT_EQ(Static(1), "Gauge");

  // A change of parameter values (kind 40) shows them again.
  const std::map<unsigned char, wxString> changes = {{1, "9"}};
  ASSERT_TRUE(copy.HandleEvent(kalvo_lorim::Event(EventKind::ParamsChanged, Served, changes)));
  panel->UpdatePanel(copy);
  EXPECT_EQ(dynamicList->GetItemText(1, 2), "9");

  // Broadcast address: set address becomes possible.
  AppSettings.address = kalvo_lorim::NoAddress();
  ASSERT_TRUE(copy.HandleEvent(kalvo_lorim::Event(EventKind::Plugged, Served, 0L)));
  panel->UpdatePanel(copy);
  EXPECT_TRUE(Button("ID_SET_ADDRESS")->IsEnabled());
}

TEST_F(ParamsPanel, FailedPointEmptiesTheListsAndKeepsTheFactoryNumberButton) {
  const kalvo_lorim::Point point = PointWith(BaseParams());
  panel->UpdatePanel(point);
  AppSettings.address = kalvo_lorim::NoAddress();
  panel->UpdatePanel(point);
  panel->ClearPanel(point);
  EXPECT_EQ(staticList->GetItemCount(), 0);
  EXPECT_EQ(dynamicList->GetItemCount(), 0);
  for (const char* name : AllButtons)
    EXPECT_EQ(Button(name)->IsEnabled(), wxString(name) == "ID_SET_FACTORY_NO") << name;

  // The next parameters rebuild both lists with empty new values.
  panel->UpdatePanel(point);
  EXPECT_EQ(staticList->GetItemCount(), 10);
  EXPECT_EQ(dynamicList->GetItemCount(), 4);
}

// ---- commands ----

TEST_F(ParamsPanel, SetParametersBeforeAnyParametersPostsAnEmptyList) {
  Click("ID_SET_PARAMETERS");
  const std::vector<Command> commands = Taken();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].kind, CommandKind::WriteParams);
  EXPECT_TRUE(boost::any_cast<std::vector<wxString>>(commands[0].argument).empty());
}

TEST_F(ParamsPanel, SetParametersSendsTypedTextsOrTheExactPresentValues) {
  for (const bool configurationDateKnown : {true, false}) {
    SCOPED_TRACE(configurationDateKnown ? "configuration date set" : "no configuration date");
    PointParams params = ParamsWith({
        PointParam(1, 25, "Gain", boost::any(0.1f)),
        PointParam(2, 1, "Mode", boost::any(static_cast<unsigned char>(3))),
        PointParam(3, 17, "Raw", boost::any(static_cast<unsigned char>(9))),
        PointParam(4, 29, "Label", boost::any(wxString("abc"))),
    });
    if (!configurationDateKnown) params.SetConfigurationDate(DateTime());
    Show(params);
    dynamicList->SetItemText(1, "300");
    dynamicList->SetItemText(3, "");

    Click("ID_SET_PARAMETERS");
    const std::vector<Command> commands = Taken();
    ASSERT_EQ(commands.size(), configurationDateKnown ? 2u : 1u);
    EXPECT_EQ(commands[0].kind, CommandKind::WriteParams);
    EXPECT_EQ(commands[0].address, Served);
    const auto texts = boost::any_cast<std::vector<wxString>>(commands[0].argument);
    const std::vector<wxString> expected = {"0.10000000149011611938476562500000", "300", "", "abc"};
    EXPECT_EQ(texts, expected);
    if (configurationDateKnown) {
      EXPECT_EQ(commands[1].kind, CommandKind::WriteDates);
      EXPECT_EQ(boost::any_cast<int>(commands[1].argument), 0);
    }
    EXPECT_EQ(NewValue(1), "300") << "typed texts stay";
  }
}

TEST_F(ParamsPanel, GetParametersPostsARead) {
  Click("ID_GET_PARAMS");
  const std::vector<Command> commands = Taken();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].kind, CommandKind::ReadParams);
  EXPECT_EQ(boost::any_cast<int>(commands[0].argument), 0);
}

TEST_F(ParamsPanel, SetAddressOnlyAtTheDefaultAddressAndOnlyAValidOne) {
  struct Case {
    const char* typed;  // null: Cancel
    bool accepted;
    Address address;
  };
  const Case cases[] = {
      {"10.20.30", true, Address(10, 20, 30)},
      {"1.2.254", true, Address(1, 2, 254)},
      {nullptr, false, {}},
      {"abc", false, {}},
      {"", false, {}},
      {"1.2", false, {}},
      {"1.2.300", false, {}},
      {"0.0.0", false, {}},
      {"1.1.1", false, {}},
      {"255.255.255", false, {}},
  };
  Show(BaseParams());
  AppSettings.address = kalvo_lorim::NoAddress();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed ? c.typed : "Cancel");
    guitest::ModalScript script;
    wxString initial;
    script.Then([&](wxDialog* dialog) -> int {
      auto* entry = dynamic_cast<wxTextEntryDialog*>(dialog);
      if (entry == nullptr) {
        ADD_FAILURE() << "no text entry dialog";
        return wxID_CANCEL;
      }
      initial = entry->GetValue();
      if (c.typed == nullptr) return wxID_CANCEL;
      entry->SetValue(c.typed);
      return wxID_OK;
    });
    if (c.typed != nullptr && !c.accepted) script.ThenId(wxID_OK);
    Click("ID_SET_ADDRESS");

    EXPECT_EQ(initial, "1.2.3");
    const std::vector<Command> commands = Taken(kalvo_lorim::NoAddress());
    EXPECT_TRUE(Taken(Served).empty());
    if (c.accepted) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(commands[0].kind, CommandKind::WriteAddress);
      EXPECT_EQ(boost::any_cast<Address>(commands[0].argument), c.address);
      EXPECT_EQ(script.Shown().size(), 1u);
    } else {
      EXPECT_TRUE(commands.empty());
      if (c.typed != nullptr) {
        ASSERT_EQ(script.Shown().size(), 2u);
        EXPECT_EQ(script.Shown()[1].message, wxString::Format("Error in address %s!", c.typed));
        EXPECT_EQ(script.Shown()[1].title, KALVO_TITLE);
        EXPECT_TRUE(script.Shown()[1].style & wxICON_ERROR);
      }
    }
    EXPECT_EQ(script.Pending(), 0u);
  }

  // Any other served address: no dialog (the script would fail on one).
  AppSettings.address = Served;
  guitest::ModalScript none;
  Click("ID_SET_ADDRESS");
  EXPECT_TRUE(Taken(kalvo_lorim::NoAddress()).empty());
  EXPECT_TRUE(Taken(Served).empty());
}

TEST_F(ParamsPanel, SetDatePostsTheChosenDateTime) {
  Show(BaseParams());
  DateTime chosen;
  guitest::ModalScript script;
  script.Then([&](wxDialog* dialog) -> int {
    auto* calendar = dynamic_cast<wxCalendarCtrl*>(wxWindow::FindWindowByName("CalendarCtrl", dialog));
    if (calendar == nullptr) {
      ADD_FAILURE() << "no calendar";
      return wxID_CANCEL;
    }
    calendar->SetDate(wxDateTime(4, wxDateTime::Mar, 2031));
    chosen = static_cast<DlgSetDate*>(dialog)->GetDateTime();
    return Press(dialog, wxID_OK);
  });
  script.Then([](wxDialog* dialog) { return Press(dialog, wxID_CANCEL); });
  Click("ID_SET_DATE");
  std::vector<Command> commands = Taken();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].kind, CommandKind::WriteDeviceDate);
  const auto posted = boost::any_cast<DateTime>(commands[0].argument);
  EXPECT_EQ(posted, chosen);
  EXPECT_EQ(posted.year, 31);
  EXPECT_EQ(posted.month, 3);
  EXPECT_EQ(posted.day, 4);

  Click("ID_SET_DATE");  // Cancel
  EXPECT_TRUE(Taken().empty());

  // A device that gave no date gets none written.
  PointParams params = BaseParams();
  params.SetDeviceDateTime(DateTime());
  Show(params);
  script.Then([](wxDialog* dialog) { return Press(dialog, wxID_OK); });
  Click("ID_SET_DATE");
  EXPECT_TRUE(Taken().empty());
  EXPECT_EQ(script.Pending(), 0u);
}

TEST_F(ParamsPanel, VolumeLevelPostsWhileOpenThenARereadAfterOk) {
  Show(BaseParams());
  for (const int answer : {wxID_OK, wxID_CANCEL}) {
    SCOPED_TRACE(answer == wxID_OK ? "OK" : "Cancel");
    guitest::ModalScript script;
    script.Then([&](wxDialog* dialog) -> int {
      auto* slider = dynamic_cast<wxSlider*>(dialog->FindWindow(XRCID("ID_SLIDER_VOLUME_LEVEL")));
      if (slider == nullptr) {
        ADD_FAILURE() << "no slider";
        return wxID_CANCEL;
      }
      EXPECT_EQ(slider->GetValue(), 40);
      for (int level : {55, 70}) {
        slider->SetValue(level);
        wxCommandEvent moved(wxEVT_SLIDER, slider->GetId());
        moved.SetInt(level);
        moved.SetEventObject(slider);
        slider->GetEventHandler()->ProcessEvent(moved);
      }
      // The one-second repeat, while the dialog is open.
      EXPECT_TRUE(static_cast<DlgVolumeLevelSlider*>(dialog)->RepeatTimer().IsRunning());
      guitest::RunLoopFor(DlgVolumeLevelSlider::RepeatMs + 300);
      return Press(dialog, answer);
    });
    Click("ID_SET_VOLUME_LEVEL");
    const std::vector<Command> commands = Taken();
    std::size_t volumes = 0;
    while (volumes < commands.size() && commands[volumes].kind == CommandKind::WriteVolumeLevel)
      ++volumes;
    ASSERT_GE(volumes, 3u) << "two moves and at least one repeat";
    EXPECT_EQ(boost::any_cast<unsigned char>(commands[0].argument), 55);
    EXPECT_EQ(boost::any_cast<unsigned char>(commands[1].argument), 70);
    EXPECT_EQ(boost::any_cast<unsigned char>(commands[2].argument), 70);
    if (answer == wxID_OK) {
      ASSERT_EQ(commands.size(), volumes + 1);
      EXPECT_EQ(commands.back().kind, CommandKind::Plug);
      EXPECT_EQ(boost::any_cast<int>(commands.back().argument), 0);
    } else {
      EXPECT_EQ(commands.size(), volumes) << "no re-read after Cancel";
      EXPECT_EQ(boost::any_cast<unsigned char>(commands.back().argument), 40)
          << "the opening level comes last";
    }
  }

  // No known level: no dialog at all.
  PointParams params = BaseParams();
  params.SetVolumeLevel(255);
  Show(params);
  guitest::ModalScript none;
  Click("ID_SET_VOLUME_LEVEL");
  EXPECT_TRUE(Taken().empty());
}

TEST_F(ParamsPanel, DeviceLanguageOffersTheSupportedLanguages) {
  Show(BaseParams());
  for (const bool chosen : {true, false}) {
    guitest::ModalScript script;
    script.Then([&](wxDialog* dialog) -> int {
      auto* choice = dynamic_cast<wxSingleChoiceDialog*>(dialog);
      wxListBox* list = nullptr;
      for (wxWindow* child : dialog->GetChildren())
        if (auto* box = dynamic_cast<wxListBox*>(child)) list = box;
      if (choice == nullptr || list == nullptr) {
        ADD_FAILURE() << "no single choice dialog";
        return wxID_CANCEL;
      }
      EXPECT_EQ(dialog->GetTitle(), "Choose device language");
      const wxString names[] = {"English", wxString::FromUTF8("Русский"),
                                wxString::FromUTF8("Українська")};
      EXPECT_EQ(list->GetCount(), 3u);
      for (unsigned i = 0; i < 3 && i < list->GetCount(); ++i)
        EXPECT_EQ(list->GetString(i), names[i]) << i;
      choice->SetSelection(2);
      return chosen ? wxID_OK : wxID_CANCEL;
    });
    Click("ID_SET_DEVICE_LOCALE");
    const std::vector<Command> commands = Taken();
    if (chosen) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(commands[0].kind, CommandKind::WriteDeviceLanguage);
      EXPECT_EQ(boost::any_cast<std::uint16_t>(commands[0].argument), 34);
    } else {
      EXPECT_TRUE(commands.empty());
    }
  }
}

TEST_F(ParamsPanel, DeviceLanguageUnsupportedSendsNothing) {
  const std::uint16_t unsupported[] = {255, 9};
  for (const std::size_t count : {std::size_t(2), std::size_t(0)}) {
    SCOPED_TRACE(count ? "list starts with 255" : "empty list");
    PointParams params = BaseParams();
    params.SetLanguages(unsupported, count);
    Show(params);
    guitest::ModalScript script;
    script.ThenId(wxID_OK);
    Click("ID_SET_DEVICE_LOCALE");
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].message, "Device is unsupport locale");
    EXPECT_EQ(script.Shown()[0].title, "Message");
    EXPECT_TRUE(Taken().empty());
  }
}

TEST_F(ParamsPanel, FactoryNumberPostsPasswordNumberThenReread) {
  Show(BaseParams());
  guitest::ModalScript script;
  wxString shownNumber;
  script.Then([&](wxDialog* dialog) -> int {
    auto* password = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(XRCID("PASSWORD_FACTORY_NO")));
    auto* number = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(XRCID("TC_FACTORY_NO")));
    if (password == nullptr || number == nullptr) {
      ADD_FAILURE() << "no factory number fields";
      return wxID_CANCEL;
    }
    shownNumber = number->GetValue();
    password->SetValue("secret");
    number->SetValue("F-2002");
    return Press(dialog, XRCID("ID_OK_FACTORY_NO"));
  });
  script.Then([](wxDialog* dialog) { return Press(dialog, XRCID("ID_CANCEL_FACTORY_NO")); });
  Click("ID_SET_FACTORY_NO");
  EXPECT_EQ(shownNumber, "F-1001");
  const std::vector<Command> commands = Taken();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0].kind, CommandKind::WriteFactoryNumber);
  EXPECT_EQ(boost::any_cast<wxString>(commands[0].argument), "secret");
  EXPECT_EQ(commands[1].kind, CommandKind::WriteFactoryNumber);
  EXPECT_EQ(boost::any_cast<wxString>(commands[1].argument), "F-2002");
  EXPECT_EQ(commands[2].kind, CommandKind::Plug);
  EXPECT_EQ(boost::any_cast<int>(commands[2].argument), 0);

  Click("ID_SET_FACTORY_NO");  // Cancel
  EXPECT_TRUE(Taken().empty());
  EXPECT_EQ(script.Pending(), 0u);
}

// ---- work-in-system mode ----

TEST_F(ParamsPanel, RowColoursFollowTheRightsOnlyInWorkInSystemMode) {
  Show(BaseParams());
  for (long row = 0; row < 4; ++row) {
    const wxColour colour = dynamicList->GetItemTextColour(row);
    EXPECT_NE(colour, wxColour(80, 130, 0)) << row;
    EXPECT_NE(colour, wxColour(210, 60, 0)) << row;
  }

  EnterWorkInSystem();
  Show(BaseParams());
  // Ids 10 allowed, 11 denied, 12 and 13 not in the access map.
  const wxColour expected[] = {wxColour(80, 130, 0), wxColour(210, 60, 0), wxColour(210, 60, 0),
                               wxColour(210, 60, 0)};
  for (long row = 0; row < 4; ++row) EXPECT_EQ(dynamicList->GetItemTextColour(row), expected[row]) << row;

  // A user with all rights may edit everything.
  security::CurrentUser.SetRights(security::AllRights());
  Show(BaseParams());
  for (long row = 0; row < 4; ++row)
    EXPECT_EQ(dynamicList->GetItemTextColour(row), wxColour(80, 130, 0)) << row;
}

TEST_F(ParamsPanel, SettingButtonsFollowTheRightsInWorkInSystemMode) {
  EnterWorkInSystem();
  security::PointAccess access = security::GetCurrentPointAccess();
  access.SetAccessMap({{31, true}, {14, false}});  // date yes, volume no, language absent
  security::SetCurrentPointAccess(access);
  Show(BaseParams());
  EXPECT_TRUE(Button("ID_SET_DATE")->IsEnabled());
  EXPECT_FALSE(Button("ID_SET_VOLUME_LEVEL")->IsEnabled());
  EXPECT_FALSE(Button("ID_SET_DEVICE_LOCALE")->IsEnabled());
  EXPECT_TRUE(Button("ID_SET_FACTORY_NO")->IsEnabled()) << "no rights check for it";
}

TEST_F(ParamsPanel, RowWithoutTheRightCannotBeEditedByAnyGesture) {
  EnterWorkInSystem();
  Show(BaseParams());

  // The list's own gestures ask through the begin-edit event.
  for (const long row : {0L, 1L, 2L}) {
    wxListEvent begin(wxEVT_LIST_BEGIN_LABEL_EDIT, dynamicList->GetId());
    begin.SetEventObject(dynamicList);
    begin.SetIndex(row);
    dynamicList->GetEventHandler()->ProcessEvent(begin);
    EXPECT_EQ(begin.IsAllowed(), row == 0) << row;
  }
  dynamicList->EditLabel(1);
  EXPECT_EQ(dynamicList->GetEditControl(), nullptr);

  // Activation (double click, Enter) of a denied row starts no editing.
  const auto activate = [&](long row) {
    dynamicList->SetItemState(row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, dynamicList->GetId());
    activated.SetEventObject(dynamicList);
    activated.SetIndex(row);
    dynamicList->GetEventHandler()->ProcessEvent(activated);
  };
  activate(1);
  EXPECT_EQ(dynamicList->GetEditControl(), nullptr);

  // An allowed row is edited in place; the typed value is what gets written.
  activate(0);
  wxTextCtrl* edit = dynamicList->GetEditControl();
  ASSERT_NE(edit, nullptr);
  edit->SetValue("2.5");
  dynamicList->EndEditLabel(false);
  EXPECT_EQ(NewValue(0), "2.5");

  // A text left on a denied row (typed before a re-read brought another
  // parameter there) is not written: the present value goes back.
  dynamicList->SetItemText(1, "99");
  Click("ID_SET_PARAMETERS");
  const std::vector<Command> commands = Taken();
  ASSERT_FALSE(commands.empty());
  const auto texts = boost::any_cast<std::vector<wxString>>(commands[0].argument);
  const std::vector<wxString> expected = {"2.5", "3", "abc", "4.5.6"};
  EXPECT_EQ(texts, expected);
}

TEST_F(ParamsPanel, ConfiguredPointMismatchClosesTheWindowAfterOneMessage) {
  struct Case {
    const char* what;
    std::function<void(PointParams&)> change;
  };
  const Case cases[] = {
      {"device code", [](PointParams& p) { p.SetDeviceCode(8); }},
      {"firmware version", [](PointParams& p) { p.SetFirmwareVersion("V2.1"); }},
  };
  EnterWorkInSystem();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    closeRequests = 0;
    Show(BaseParams());
    ASSERT_EQ(closeRequests, 0) << "the configured point agrees";
    ASSERT_EQ(AppSettings.currentAlgorithm, 2);

    PointParams other = ParamsWith(Floats(1));
    other.SetDeviceName("Other");
    other.SetCurrentAlgorithm(5);
    c.change(other);

    // The refreshes still queued while the window closes (even those the
    // message box's own loop delivers) add no second box.
    guitest::ModalScript script;
    script.Then([&](wxDialog*) {
      EXPECT_EQ(closeRequests, 0) << "the message comes before the close";
      panel->ShowParams(PointWith(other));
      return wxID_OK;
    });
    panel->ShowParams(PointWith(other));
    panel->ShowParams(PointWith(other));
    ASSERT_EQ(script.Shown().size(), 1u);
    EXPECT_EQ(script.Shown()[0].message,
              "Points with the same address have different params. Please run Kalvo_Security for "
              "config new security params.");
    EXPECT_EQ(script.Shown()[0].title, KALVO_TITLE);
    EXPECT_TRUE(script.Shown()[0].style & wxICON_ERROR);
    EXPECT_EQ(closeRequests, 1);

    EXPECT_EQ(Static(1), "Gauge") << "the lists keep what they showed";
    EXPECT_EQ(dynamicList->GetItemCount(), 4);
    EXPECT_EQ(AppSettings.currentAlgorithm, 2);
    EXPECT_EQ(panel->GetShownParams().GetDeviceName(), "Other");
    NewPanel();
  }
}

}  // namespace
