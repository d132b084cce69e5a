// The three device-setting dialogs: what they give back, and what the volume
// dialog posts while it is open. None is shown modally except through a
// ModalScript; handlers are reached with the events their buttons send.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/calctrl.h>
#include <wx/frame.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/dlgfactoryno.h"
#include "app/dlgsetdate.h"
#include "app/dlgvolumelevel.h"
#include "app/mytimectrl.h"
#include "gui_support.h"
#include "kalvo_lorim/command.h"

namespace {

using kalvo_lorim::Address;

void Click(wxWindow* dialog, int id) {
  wxCommandEvent event(wxEVT_BUTTON, id);
  event.SetEventObject(dialog->FindWindow(id));
  dialog->GetEventHandler()->ProcessEvent(event);
}

void PressEscape(wxWindow* dialog) {
  wxKeyEvent event(wxEVT_CHAR_HOOK);
  event.m_keyCode = WXK_ESCAPE;
  event.SetEventObject(dialog);
  dialog->GetEventHandler()->ProcessEvent(event);
}

// The close box only finds the Cancel button of a dialog on the screen; shown
// modeless here, so no modal loop is involved.
void CloseBox(wxWindow* dialog) {
  dialog->Show();
  dialog->Close();
}

// The three ways an operator backs out of a dialog.
struct BackOut {
  const char* name;
  std::function<void(wxDialog*, int cancelId)> act;
};
const std::vector<BackOut>& BackOuts() {
  static const std::vector<BackOut> ways = {
      {"Cancel button", [](wxDialog* d, int id) { Click(d, id); }},
      {"Escape", [](wxDialog* d, int) { PressEscape(d); }},
      {"close box", [](wxDialog* d, int) { CloseBox(d); }},
  };
  return ways;
}

template <class T>
T* Named(wxWindow* parent, const char* name) {
  return dynamic_cast<T*>(wxWindow::FindWindowByName(name, parent));
}

class DialogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "main");
    savedAddress_ = AppSettings.address;
    AppSettings.address = Address(10, 20, 30);
  }
  void TearDown() override {
    AppSettings.address = savedAddress_;
    frame_->Destroy();
  }

  // Every command waiting for `address`, oldest first; the queue is emptied.
  std::vector<Command> Drain(const Address& address) {
    std::vector<Command> out;
    Command c;
    while (queue_.Take(address, c)) out.push_back(c);
    return out;
  }
  std::vector<int> VolumeLevels(const Address& address) {
    std::vector<int> levels;
    for (const Command& c : Drain(address)) {
      EXPECT_EQ(c.kind, CommandKind::WriteVolumeLevel);
      EXPECT_EQ(c.address, address);
      levels.push_back(boost::any_cast<unsigned char>(c.argument));  // throws on another type
    }
    return levels;
  }

  wxFrame* frame_ = nullptr;
  CommandQueue queue_;
  Address savedAddress_;
};

// ---------------------------------------------------------------------------
// Factory number

class FactoryNoTest : public DialogFixture {};

TEST_F(FactoryNoTest, GivesBackWhatWasTypedOrTheOpeningNumber) {
  struct Case {
    const char* name;
    const char* password;  // nullptr: left as it was
    const char* number;
    const char* wantPassword;
    const char* wantNumber;
  };
  const Case cases[] = {
      {"OK without typing", nullptr, nullptr, "", "AB-123"},
      {"typed password and number", "s3cret", "4711", "s3cret", "4711"},
      {"empty number is passed on", "pw", "", "pw", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto dlg = std::make_unique<DlgFactoryNo>(frame_, "AB-123");
    auto* password = XRCCTRL(*dlg, "PASSWORD_FACTORY_NO", wxTextCtrl);
    auto* number = XRCCTRL(*dlg, "TC_FACTORY_NO", wxTextCtrl);
    ASSERT_NE(password, nullptr);
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(password->HasFlag(wxTE_PASSWORD));
    EXPECT_EQ(number->GetValue(), "AB-123");
    if (c.password) password->SetValue(c.password);
    if (c.number) number->SetValue(c.number);
    Click(dlg.get(), XRCID("ID_OK_FACTORY_NO"));
    EXPECT_EQ(dlg->GetReturnCode(), wxID_OK);
    EXPECT_EQ(dlg->GetPassword(), c.wantPassword);
    EXPECT_EQ(dlg->GetNumber(), c.wantNumber);
  }
}

TEST_F(FactoryNoTest, BackingOutEndsWithCancelAndChangesNothing) {
  for (const BackOut& way : BackOuts()) {
    SCOPED_TRACE(way.name);
    auto dlg = std::make_unique<DlgFactoryNo>(frame_, "AB-123");
    XRCCTRL(*dlg, "PASSWORD_FACTORY_NO", wxTextCtrl)->SetValue("typed");
    XRCCTRL(*dlg, "TC_FACTORY_NO", wxTextCtrl)->SetValue("999");
    way.act(dlg.get(), XRCID("ID_CANCEL_FACTORY_NO"));
    EXPECT_EQ(dlg->GetReturnCode(), wxID_CANCEL);
    EXPECT_EQ(dlg->GetPassword(), "");
    EXPECT_EQ(dlg->GetNumber(), "AB-123");
  }
}

// The way a caller runs it: modally, the operator types and presses OK.
TEST_F(FactoryNoTest, ModalRunGivesTheTypedTexts) {
  guitest::ModalScript script;
  script.Then([](wxDialog* d) {
    XRCCTRL(*d, "PASSWORD_FACTORY_NO", wxTextCtrl)->SetValue("pw");
    XRCCTRL(*d, "TC_FACTORY_NO", wxTextCtrl)->SetValue("N-1");
    Click(d, XRCID("ID_OK_FACTORY_NO"));
    return d->GetReturnCode();
  });
  DlgFactoryNo dlg(frame_, "old");
  EXPECT_EQ(dlg.ShowModal(), wxID_OK);
  EXPECT_EQ(dlg.GetPassword(), "pw");
  EXPECT_EQ(dlg.GetNumber(), "N-1");
  ASSERT_EQ(script.Shown().size(), 1u);
  EXPECT_EQ(script.Shown()[0].title, "Factory number");
}

// ---------------------------------------------------------------------------
// Date and time

class SetDateTest : public DialogFixture {
 protected:
  static wxTextCtrl* TimeField(DlgSetDate& dlg) { return Named<wxTextCtrl>(&dlg, "text"); }
  static wxCalendarCtrl* Calendar(DlgSetDate& dlg) {
    return Named<wxCalendarCtrl>(&dlg, "CalendarCtrl");
  }
};

TEST_F(SetDateTest, AcceptedAtOnceGivesTodayAndTheTimeShownAtOpening) {
  const wxString before = CurrentTimeText();
  DlgSetDate dlg(frame_);
  const wxString after = CurrentTimeText();
  ASSERT_NE(TimeField(dlg), nullptr);
  ASSERT_NE(Calendar(dlg), nullptr);
  const wxString shown = TimeField(dlg)->GetValue();
  EXPECT_TRUE(shown == before || shown == after) << shown;
  EXPECT_EQ(dlg.GetTitle(), "Choose date and time to set");

  Click(&dlg, wxID_OK);
  EXPECT_EQ(dlg.GetReturnCode(), wxID_OK);
  const kalvo_lorim::DateTime got = dlg.GetDateTime();
  const wxDateTime today = wxDateTime::Today();
  EXPECT_EQ(got.year, today.GetYear() - 2000);
  EXPECT_EQ(got.month, today.GetMonth() + 1);
  EXPECT_EQ(got.day, today.GetDay());
  EXPECT_EQ(wxString::Format("%.2d:%.2d:%.2d", got.hour, got.minute, got.second), shown);
  EXPECT_EQ(got.milliseconds, 0);
}

// Keys typed into the time field, a day picked: OK gives exactly those.
TEST_F(SetDateTest, TypedTimeAndPickedDayAreWhatOkGives) {
  DlgSetDate dlg(frame_);
  Calendar(dlg)->SetDate(wxDateTime(7, wxDateTime::Nov, 2031));
  wxTextCtrl* field = TimeField(dlg);
  field->SetInsertionPoint(0);
  for (int key : {int('0'), int('9'), int(WXK_TAB), int('3'), int('0'), int(WXK_TAB), int(WXK_DOWN)}) {
    wxKeyEvent event(wxEVT_CHAR);
    event.m_keyCode = key;
    event.SetEventObject(field);
    field->GetEventHandler()->ProcessEvent(event);
  }
  const wxString shown = field->GetValue();
  ASSERT_TRUE(shown.StartsWith("09:30:")) << shown;
  long seconds = -1;
  ASSERT_TRUE(shown.Mid(6).ToLong(&seconds));
  Click(&dlg, wxID_OK);
  EXPECT_EQ(dlg.GetReturnCode(), wxID_OK);
  EXPECT_EQ(dlg.GetDateTime(),
            kalvo_lorim::DateTime(31, 11, 7, 9, 30, static_cast<std::uint8_t>(seconds), 0));
}

// The time text as it may stand (typed, or pasted with the mouse), and the
// day: OK ends the dialog only when the device gets exactly that.
TEST_F(SetDateTest, OkTakesOnlyATimeTheDeviceGetsAsShown) {
  struct Case {
    const char* time;
    int y, m, d;        // calendar day
    bool accepted;
    kalvo_lorim::DateTime want;
  };
  using DT = kalvo_lorim::DateTime;
  const Case cases[] = {
      {"07:05:09", 2024, 3, 15, true, DT(24, 3, 15, 7, 5, 9, 0)},
      {"23:59:59", 2024, 2, 29, true, DT(24, 2, 29, 23, 59, 59, 0)},
      {"7:5:9", 2024, 3, 15, true, DT(24, 3, 15, 7, 5, 9, 0)},
      {"00:00:00 x", 2024, 3, 15, true, DT(24, 3, 15, 0, 0, 0, 0)},
      {"12:00:00", 2049, 12, 31, true, DT(49, 12, 31, 12, 0, 0, 0)},
      {"12:00:00", 1950, 1, 1, true, DT(50, 1, 1, 12, 0, 0, 0)},
      {"12:00:00", 1999, 6, 30, true, DT(99, 6, 30, 12, 0, 0, 0)},
      // refused: a field out of range, or a text that does not read as a time
      {"24:00:00", 2024, 3, 15, false, DT()},
      {"12:60:00", 2024, 3, 15, false, DT()},
      {"12:00:60", 2024, 3, 15, false, DT()},
      {"99:99:99", 2024, 3, 15, false, DT()},
      {"123:00:00", 2024, 3, 15, false, DT()},
      {"12:00", 2024, 3, 15, false, DT()},
      {"ab:cd:ef", 2024, 3, 15, false, DT()},
      {"", 2024, 3, 15, false, DT()},
      {"-1:00:00", 2024, 3, 15, false, DT()},
      // a 12-hour marker: 07 PM is not what a 24-hour clock would read
      {"07:05:09 PM", 2024, 3, 15, false, DT()},
      {"07:05:09 am", 2024, 3, 15, false, DT()},
      // a year the device's year byte would read back as another century
      {"12:00:00", 2050, 1, 1, false, DT()},
      {"12:00:00", 1949, 12, 31, false, DT()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.time) + " on " + std::to_string(c.y));
    guitest::ModalScript script;
    if (!c.accepted) script.ThenId(wxID_OK);
    DlgSetDate dlg(frame_);
    dlg.SetReturnCode(0);
    Calendar(dlg)->SetDate(wxDateTime(c.d, wxDateTime::Month(c.m - 1), c.y));
    TimeField(dlg)->ChangeValue(c.time);

    Click(&dlg, wxID_OK);
    EXPECT_EQ(dlg.GetDateTime(), c.want);
    if (c.accepted) {
      EXPECT_EQ(dlg.GetReturnCode(), wxID_OK);
      EXPECT_TRUE(script.Shown().empty());
    } else {
      EXPECT_NE(dlg.GetReturnCode(), wxID_OK);
      ASSERT_EQ(script.Shown().size(), 1u);
      EXPECT_EQ(script.Shown()[0].title, KALVO_TITLE);
      EXPECT_EQ(script.Shown()[0].message, "Wrong parameter");
      EXPECT_TRUE(script.Shown()[0].style & wxICON_ERROR);
      // what the operator chose is still there to be put right
      EXPECT_EQ(TimeField(dlg)->GetValue(), c.time);
    }
  }
}

TEST_F(SetDateTest, BackingOutEndsWithCancel) {
  for (const BackOut& way : BackOuts()) {
    SCOPED_TRACE(way.name);
    DlgSetDate dlg(frame_);
    way.act(&dlg, wxID_CANCEL);
    EXPECT_EQ(dlg.GetReturnCode(), wxID_CANCEL);
  }
}

// ---------------------------------------------------------------------------
// Volume level

class VolumeTest : public DialogFixture {
 protected:
  static void Tick(DlgVolumeLevelSlider& dlg) {
    wxTimerEvent event(const_cast<wxTimer&>(dlg.RepeatTimer()));
    dlg.GetEventHandler()->ProcessEvent(event);
  }
  static void Move(DlgVolumeLevelSlider& dlg, int value) {
    wxSlider* slider = XRCCTRL(dlg, "ID_SLIDER_VOLUME_LEVEL", wxSlider);
    slider->SetValue(value);
    wxCommandEvent event(wxEVT_SLIDER, slider->GetId());
    event.SetInt(value);
    event.SetEventObject(slider);
    slider->GetEventHandler()->ProcessEvent(event);
  }
  const Address here_{10, 20, 30};
};

TEST_F(VolumeTest, RepeatsTheLevelEverySecondWhileOpen) {
  DlgVolumeLevelSlider dlg(frame_, &queue_, 40);
  EXPECT_EQ(XRCCTRL(dlg, "ID_SLIDER_VOLUME_LEVEL", wxSlider)->GetValue(), 40);
  EXPECT_TRUE(dlg.RepeatTimer().IsRunning());
  EXPECT_EQ(dlg.RepeatTimer().GetInterval(), 1000);
  EXPECT_FALSE(dlg.RepeatTimer().IsOneShot());
  EXPECT_TRUE(VolumeLevels(here_).empty());

  Tick(dlg);
  Tick(dlg);
  EXPECT_EQ(VolumeLevels(here_), (std::vector<int>{40, 40}));

  // the real timer: one post within a little more than its period
  std::vector<int> posted;
  EXPECT_TRUE(guitest::RunLoopUntil([&] {
    for (int level : VolumeLevels(here_)) posted.push_back(level);
    return !posted.empty();
  }, 3000));
  EXPECT_EQ(posted, (std::vector<int>{40}));
}

TEST_F(VolumeTest, EveryMovePostsAndTheRepeatFollowsTheSlider) {
  DlgVolumeLevelSlider dlg(frame_, &queue_, 40);
  Move(dlg, 41);
  Move(dlg, 55);
  Tick(dlg);
  // sent where the settings point at the moment of sending
  AppSettings.address = Address(1, 2, 3);
  Move(dlg, 70);
  Tick(dlg);
  EXPECT_EQ(VolumeLevels(here_), (std::vector<int>{41, 55, 55}));
  EXPECT_EQ(VolumeLevels(Address(1, 2, 3)), (std::vector<int>{70, 70}));
}

TEST_F(VolumeTest, CancelPutsTheOpeningLevelBackLastAndNothingFollows) {
  std::vector<std::unique_ptr<DlgVolumeLevelSlider>> ended;
  for (const BackOut& way : BackOuts()) {
    SCOPED_TRACE(way.name);
    ended.push_back(std::make_unique<DlgVolumeLevelSlider>(frame_, &queue_, 40));
    DlgVolumeLevelSlider& dlg = *ended.back();
    Move(dlg, 50);
    Move(dlg, 70);
    Tick(dlg);
    way.act(&dlg, wxID_CANCEL);
    EXPECT_EQ(dlg.GetReturnCode(), wxID_CANCEL);
    EXPECT_FALSE(dlg.RepeatTimer().IsRunning());
    Tick(dlg);  // a tick already on its way
    EXPECT_EQ(VolumeLevels(here_), (std::vector<int>{50, 70, 70, 40}));
  }
  // the ended dialogs still exist, and none of them posts again
  guitest::RunLoopFor(1300);
  EXPECT_TRUE(VolumeLevels(here_).empty());
}

TEST_F(VolumeTest, OkStopsTheRepeatAndPostsNothingItself) {
  DlgVolumeLevelSlider dlg(frame_, &queue_, 40);
  Move(dlg, 65);
  Click(&dlg, wxID_OK);
  EXPECT_EQ(dlg.GetReturnCode(), wxID_OK);
  EXPECT_EQ(dlg.GetLevel(), 65);
  EXPECT_FALSE(dlg.RepeatTimer().IsRunning());
  Tick(dlg);
  EXPECT_EQ(VolumeLevels(here_), (std::vector<int>{65}));
  guitest::RunLoopFor(1300);
  EXPECT_TRUE(VolumeLevels(here_).empty());
}

// A level beyond the slider's range is kept, not clipped, until the operator
// moves the slider; Cancel restores it as given.
TEST_F(VolumeTest, LevelAboveTheSliderRangeIsKeptUntilMoved) {
  DlgVolumeLevelSlider dlg(frame_, &queue_, 150);
  Tick(dlg);
  Move(dlg, 90);
  Click(&dlg, wxID_CANCEL);
  EXPECT_EQ(VolumeLevels(here_), (std::vector<int>{150, 90, 150}));
}

}  // namespace
