// The time field of the date dialog as an operator uses it: real key
// presses and clicks through the X server, which GTK handles before our
// handlers do (a native entry replaces its selection with a typed character
// before the character event arrives).

#include <memory>
#include <string>
#include <vector>

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/calctrl.h>
#include <wx/clipbrd.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include "app/app.h"
#include "app/dlgsetdate.h"
#include "app/mytimectrl.h"
#include "gui_support.h"
#include "real_input.h"

namespace {

using guitest::Stroke;
using guitest::Symbol;

const Stroke Up{WXK_UP}, Down{WXK_DOWN}, Left{WXK_LEFT}, Right{WXK_RIGHT}, Tab{WXK_TAB},
    ShiftTab{WXK_TAB, wxMOD_SHIFT}, Backspace{WXK_BACK}, Delete{WXK_DELETE}, NumLock{WXK_NUMLOCK};
Stroke Key(char c) { return Stroke{c}; }
Stroke Keypad(int digit) { return Stroke{WXK_NUMPAD0 + digit}; }
std::vector<Stroke> Keys(const char* typed) {
  std::vector<Stroke> strokes;
  for (const char* c = typed; *c; ++c) strokes.push_back(Key(*c));
  return strokes;
}
std::vector<Stroke> operator+(std::vector<Stroke> a, const std::vector<Stroke>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// How the operator comes into the field before typing.
struct Entry {
  enum Kind { ClickAt, TabFromCalendar } kind;
  long position = 0;  // ClickAt: the character position clicked before
};
Entry ClickAt(long position) { return Entry{Entry::ClickAt, position}; }
const Entry TabIn{Entry::TabFromCalendar};

// The keyboard layout a row is typed on (setxkbmap names); none: the
// server's own.
struct Layout {
  const char* name = nullptr;
  const char* variant = "";
};
// Lithuanian: the digits of the main block need AltGr, which also gives €
// on E; the keys alone type letters (ų on 7).
const Layout Lithuanian{"lt"};
// US international: the apostrophe key is a dead acute.
const Layout International{"us", "intl"};

class TimeFieldKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "main", wxPoint(0, 0), wxSize(200, 100));
    dialog_ = new DlgSetDate(frame_);
    dialog_->Move(100, 100);
    dialog_->Show();
    field_ = dynamic_cast<MyTextCtrl*>(wxWindow::FindWindowByName("text", dialog_));
    calendar_ = dynamic_cast<wxCalendarCtrl*>(wxWindow::FindWindowByName("CalendarCtrl", dialog_));
    ASSERT_NE(field_, nullptr);
    ASSERT_NE(calendar_, nullptr);
    // What the program is told of the time.
    dialog_->Bind(MY_EVT_TIME_CHANGE, [this](MyTimeChangeEvent& e) { told_.push_back(e.GetText().ToStdString()); });
    field_->Bind(wxEVT_TEXT, [this](wxCommandEvent& e) {
      ++textChanges_;
      e.Skip();
    });
  }
  void TearDown() override {
    dialog_->Destroy();
    frame_->Destroy();
  }

  // Puts the caret where the entry leaves it; false when the toolkit did
  // not take the gesture.
  bool Enter(const Entry& entry) {
    if (entry.kind == Entry::TabFromCalendar) return input_.Focus(calendar_) && input_.Type({Tab});
    return input_.Focus(field_) && input_.Click(field_, guitest::CharacterPoint(field_, entry.position));
  }

  // Once GTK has put text into the field, what follows from it has run.
  bool Settled(int textChangesBefore) {
    return guitest::RunLoopUntil(
        [&] { return textChanges_ > textChangesBefore && !wxTheApp->HasPendingEvents(); }, 5000);
  }

  wxFrame* frame_ = nullptr;
  DlgSetDate* dialog_ = nullptr;
  MyTextCtrl* field_ = nullptr;
  wxCalendarCtrl* calendar_ = nullptr;
  guitest::RealInput input_;
  std::vector<std::string> told_;
  int textChanges_ = 0;
};

struct TypedCase {
  const char* name;
  const char* text;
  Entry entry;
  std::vector<Stroke> keys;
  const char* want;
  bool focusLeaves = false;
  Layout layout{};
};

const std::vector<TypedCase>& TypedCases() {
  static const std::vector<TypedCase> cases = {
      // digits shift into the field under the caret
      {"hours clicked, 7", "14:05:30", ClickAt(0), Keys("7"), "07:05:30"},
      {"hours clicked, 7 2 1", "14:05:30", ClickAt(0), Keys("721"), "21:05:30"},
      {"caret on the colon is the hours", "14:05:30", ClickAt(2), Keys("1"), "01:05:30"},
      {"minutes clicked, 9 9", "14:05:30", ClickAt(4), Keys("99"), "14:09:30"},
      {"seconds clicked, 4 2", "14:05:30", ClickAt(6), Keys("42"), "14:05:42"},
      {"keypad digits", "14:05:30", ClickAt(0), {Stroke{WXK_NUMLOCK}, Stroke{WXK_NUMPAD1}, Stroke{WXK_NUMPAD2}, Stroke{WXK_NUMLOCK}}, "12:05:30"},
      // a field already selected: GTK would type over the selection
      {"hours selected, 7", "14:05:30", ClickAt(0), std::vector<Stroke>{Left} + Keys("7"), "07:05:30"},
      {"hours selected, 7 2 1", "14:05:30", ClickAt(0), std::vector<Stroke>{Left} + Keys("721"), "21:05:30"},
      {"minutes selected, 9 9", "14:05:30", ClickAt(0), std::vector<Stroke>{Right} + Keys("99"), "14:09:30"},
      {"hours selected, a", "14:05:30", ClickAt(0), std::vector<Stroke>{Left} + Keys("a"), "14:05:30"},
      // Left, Right and Tab choose the field the digits go to
      {"Right, then 9", "05:07:59", ClickAt(0), std::vector<Stroke>{Right} + Keys("9"), "05:09:59"},
      {"Right, Right, then 4 2", "14:05:30", ClickAt(1), std::vector<Stroke>{Right, Right} + Keys("42"),
       "14:05:42"},
      {"Left in the hours keeps the hours", "14:05:30", ClickAt(1), std::vector<Stroke>{Left} + Keys("5"),
       "05:05:30"},
      {"Left from the seconds", "14:05:30", ClickAt(7), std::vector<Stroke>{Left} + Keys("33"), "14:33:30"},
      {"Tab into the field, 7", "14:05:30", TabIn, Keys("7"), "07:05:30"},
      {"Tab into the field, Tab, 3 3", "14:05:30", TabIn, std::vector<Stroke>{Tab} + Keys("33"), "14:33:30"},
      {"Tab past the seconds, then Up steps the seconds", "14:05:30", ClickAt(7), {Tab, Up}, "14:05:31"},
      {"Shift+Tab in the hours leaves backwards", "14:05:30", ClickAt(0), {ShiftTab}, "14:05:30", true},
      // Up and Down step with wrap-around; digits follow on the stepped field
      {"Up wraps the hours", "23:10:10", ClickAt(0), {Up}, "00:10:10"},
      {"Down wraps the hours", "00:10:10", ClickAt(1), {Down}, "23:10:10"},
      {"Down wraps the minutes", "12:00:10", ClickAt(3), {Down}, "12:59:10"},
      {"Up wraps the seconds", "12:10:59", ClickAt(7), {Up}, "12:10:00"},
      {"Up, then 2", "14:05:30", ClickAt(0), std::vector<Stroke>{Up} + Keys("2"), "02:05:30"},
      {"Down, then 1 9", "14:05:30", ClickAt(3), std::vector<Stroke>{Down} + Keys("19"), "14:19:30"},
      // the caret after the last digit: digits do nothing, Up steps the seconds
      {"at the end, 5 then Up", "14:05:30", ClickAt(8), std::vector<Stroke>{Key('5'), Up}, "14:05:31"},
      // keys that are no digit change nothing
      {"a letter in the hours", "14:05:30", ClickAt(0), Keys("a"), "14:05:30"},
      {"letters, signs, blank, Backspace, Delete", "14:05:30", ClickAt(4),
       Keys("x:- ") + std::vector<Stroke>{Stroke{'B', wxMOD_SHIFT}, Backspace, Delete}, "14:05:30"},
      {"a shifted digit is no digit", "14:05:30", ClickAt(0), {Stroke{'7', wxMOD_SHIFT}}, "14:05:30"},
      {"a letter after Tab into the field", "14:05:30", TabIn, Keys("q") + Keys("8"), "08:05:30"},
      // keys from outside the main block, on a selected field (as after
      // every key): GTK would type their character over the selection
      {"hours typed, Right, keypad +", "09:26:11", ClickAt(0),
       Keys("14") + std::vector<Stroke>{Right, Stroke{WXK_NUMPAD_ADD}}, "14:26:11"},
      {"minutes selected, keypad - * /", "14:05:30", ClickAt(0),
       {Right, Stroke{WXK_NUMPAD_SUBTRACT}, Stroke{WXK_NUMPAD_MULTIPLY}, Stroke{WXK_NUMPAD_DIVIDE}}, "14:05:30"},
      {"minutes selected, Num Lock on, keypad .", "14:05:30", ClickAt(0),
       {NumLock, Right, Stroke{WXK_NUMPAD_DECIMAL}, NumLock}, "14:05:30"},
      {"hours selected, keypad 1 2", "14:05:30", ClickAt(0), {Left, NumLock, Keypad(1), Keypad(2), NumLock},
       "12:05:30"},
      {"Num Lock on, keypad 0 7, Right, keypad 4 2", "14:26:11", ClickAt(0),
       {NumLock, Right, Keypad(0), Keypad(7), Right, Keypad(4), Keypad(2), NumLock}, "14:07:42"},
      {"AltGr+7 over the selected hours", "14:05:30", ClickAt(0), {Left, Symbol(GDK_KEY_7, true)}, "07:05:30",
       false, Lithuanian},
      {"AltGr+1, AltGr+9 over the selected minutes", "14:05:30", ClickAt(0),
       {Right, Symbol(GDK_KEY_1, true), Symbol(GDK_KEY_9, true)}, "14:19:30", false, Lithuanian},
      {"AltGr+E types €, over the selected hours", "14:05:30", ClickAt(0), {Left, Symbol(GDK_KEY_EuroSign, true)},
       "14:05:30", false, Lithuanian},
      {"dead acute, Right, 9", "14:05:30", ClickAt(0), {Left, Symbol(GDK_KEY_dead_acute), Right, Key('9')},
       "14:59:30", false, International},
      {"dead acute, Up", "14:05:30", ClickAt(0), {Left, Symbol(GDK_KEY_dead_acute), Up}, "15:05:30", false,
       International},
  };
  return cases;
}

TEST_F(TimeFieldKeys, EachSequenceLeavesItsText) {
  for (const TypedCase& c : TypedCases()) {
    std::string keys;
    for (const Stroke& s : c.keys) keys += " " + guitest::Describe(s);
    SCOPED_TRACE(std::string(c.name) + ":" + keys);
    std::unique_ptr<guitest::KeyboardLayout> layout;
    if (c.layout.name) {
      layout = std::make_unique<guitest::KeyboardLayout>(c.layout.name, c.layout.variant);
      ASSERT_TRUE(layout->Ready()) << "the layout could not be set";
    }
    field_->ChangeValue(c.text);
    told_.clear();
    ASSERT_TRUE(Enter(c.entry)) << "the field could not be entered";
    ASSERT_TRUE(input_.Type(c.keys)) << "a key was not handled in time";
    // Nothing that GTK left behind may change the text afterwards.
    ASSERT_TRUE(guitest::RunLoopUntil([] { return !wxTheApp->HasPendingEvents(); }, 5000));
    EXPECT_EQ(field_->GetValue().ToStdString(), c.want);
    EXPECT_EQ(wxWindow::FindFocus() != field_, c.focusLeaves);
    // The program was told of the text left.
    if (std::string(c.want) != c.text) {
      ASSERT_FALSE(told_.empty()) << "the change was not told";
      EXPECT_EQ(told_.back(), c.want);
    }
  }
}

// Text that reaches the entry otherwise than through a key of the field
// logic: pasted through the entry's own menu or with a middle click. It is
// undone, nothing is told of it, and the field it touched is selected for
// the next key.
struct PasteCase {
  const char* name;
  enum Gesture { MenuPaste, MiddleClick } gesture;
  long at;  // the character position clicked
  const char* then;  // keys after the paste
  const char* want;
};

TEST_F(TimeFieldKeys, PastedTextIsUndone) {
  const std::vector<PasteCase> cases = {
      {"Paste from the menu over the selected hours, then 2", PasteCase::MenuPaste, 1, "2", "02:05:30"},
      {"primary selection pasted with a middle click into the minutes, then 1", PasteCase::MiddleClick, 4, "1",
       "14:51:30"},
      {"primary selection pasted with a middle click at the end, then 7", PasteCase::MiddleClick, 8, "7",
       "14:05:07"},
  };
  for (const PasteCase& c : cases) {
    SCOPED_TRACE(c.name);
    field_->ChangeValue("14:05:30");
    ASSERT_TRUE(Enter(ClickAt(0)));
    ASSERT_TRUE(input_.Type({Left}));
    told_.clear();
    const int before = textChanges_;
    if (c.gesture == PasteCase::MenuPaste) {
      ASSERT_TRUE(wxTheClipboard->Open());
      wxTheClipboard->SetData(new wxTextDataObject("99"));
      wxTheClipboard->Close();
      ASSERT_TRUE(input_.ChooseFromContextMenu(field_, guitest::CharacterPoint(field_, c.at), "_Paste"));
    } else {
      // Text selected in another window becomes the primary selection
      // (and the field's own selection goes).
      wxTheClipboard->UsePrimarySelection(true);
      ASSERT_TRUE(wxTheClipboard->Open());
      wxTheClipboard->SetData(new wxTextDataObject("88"));
      wxTheClipboard->Close();
      wxTheClipboard->UsePrimarySelection(false);
      ASSERT_TRUE(input_.Click(field_, guitest::CharacterPoint(field_, c.at), nullptr, wxMOUSE_BTN_MIDDLE));
    }
    ASSERT_TRUE(Settled(before)) << "nothing was pasted";
    EXPECT_EQ(field_->GetValue().ToStdString(), "14:05:30");
    EXPECT_EQ(told_, std::vector<std::string>{});
    ASSERT_TRUE(input_.Type(Keys(c.then)));
    EXPECT_EQ(field_->GetValue().ToStdString(), c.want);
    EXPECT_EQ(told_, std::vector<std::string>{c.want});
  }
}

// The arrows of the spin button, clicked, step the field under the caret.
TEST_F(TimeFieldKeys, SpinArrowsStepTheFieldUnderTheCaret) {
  field_->ChangeValue("14:05:30");
  ASSERT_TRUE(Enter(ClickAt(4)));
  wxWindow* spin = field_->GetParent()->FindWindowByName("wxSpinButton", field_->GetParent());
  ASSERT_NE(spin, nullptr);
  // GTK 3 lays the two arrows side by side ("-" then "+"); were they one
  // above the other, "+" would be on top.
  const wxSize size = spin->GetClientSize();
  const bool sideBySide = size.x > size.y;
  const wxPoint upper = sideBySide ? wxPoint(size.x * 3 / 4, size.y / 2) : wxPoint(size.x / 2, size.y / 4);
  const wxPoint lower = sideBySide ? wxPoint(size.x / 4, size.y / 2) : wxPoint(size.x / 2, size.y * 3 / 4);
  ASSERT_TRUE(input_.Click(spin, upper));
  ASSERT_TRUE(input_.Click(spin, upper));
  EXPECT_EQ(field_->GetValue(), "14:07:30");
  ASSERT_TRUE(input_.Click(spin, lower));
  EXPECT_EQ(field_->GetValue(), "14:06:30");
  // and the keys go on in the same field
  ASSERT_TRUE(input_.Type(Keys("5")));
  EXPECT_EQ(field_->GetValue(), "14:05:30");
}

// The whole dialog, modal as the parameters panel opens it: a time typed
// into the field and OK clicked give that time for the device clock.
TEST(SetDateKeys, ATimeTypedAndOkClickedIsTheTimeGiven) {
  struct DialogCase {
    const char* name;
    std::vector<Stroke> keys;
  };
  const std::vector<DialogCase> cases = {
      {"the main block", Keys("09") + std::vector<Stroke>{Right} + Keys("30") + std::vector<Stroke>{Right} +
                             Keys("15")},
      {"the keypad alone, Num Lock on",
       {NumLock, Keypad(0), Keypad(9), Right, Keypad(3), Keypad(0), Right, Keypad(1), Keypad(5), NumLock}},
  };
  for (const DialogCase& c : cases) {
    SCOPED_TRACE(c.name);
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "main");
    guitest::RealInput input;
    bool typed = false;
    guitest::ModalScript script;
    script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
      auto* field = dynamic_cast<wxTextCtrl*>(wxWindow::FindWindowByName("text", dialog));
      ASSERT_NE(field, nullptr);
      ASSERT_TRUE(input.Focus(field));
      ASSERT_TRUE(input.Click(field, guitest::CharacterPoint(field, 0)));
      typed = input.Type(c.keys);
      EXPECT_EQ(field->GetValue().ToStdString(), "09:30:15");
      // OK answers "Wrong parameter" and stays open on a time it cannot give.
      input.ClickCentre(dialog->FindWindow(wxID_OK));
    }));
    DlgSetDate dialog(frame);
    const int result = dialog.ShowModal();
    EXPECT_TRUE(typed);
    EXPECT_EQ(result, wxID_OK);
    const kalvo_lorim::DateTime got = dialog.GetDateTime();
    EXPECT_EQ(got.hour, 9);
    EXPECT_EQ(got.minute, 30);
    EXPECT_EQ(got.second, 15);
    frame->Destroy();
  }
}

}  // namespace
