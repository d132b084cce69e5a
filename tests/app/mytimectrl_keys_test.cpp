// The time field of the date dialog as an operator uses it: real key
// presses and clicks through the X server, which GTK handles before our
// handlers do (a native entry replaces its selection with a typed character
// before the character event arrives).

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/calctrl.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include "app/app.h"
#include "app/dlgsetdate.h"
#include "app/mytimectrl.h"
#include "gui_support.h"
#include "real_input.h"

namespace {

using guitest::Stroke;

const Stroke Up{WXK_UP}, Down{WXK_DOWN}, Left{WXK_LEFT}, Right{WXK_RIGHT}, Tab{WXK_TAB},
    ShiftTab{WXK_TAB, wxMOD_SHIFT}, Backspace{WXK_BACK}, Delete{WXK_DELETE};
Stroke Key(char c) { return Stroke{c}; }
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

  wxFrame* frame_ = nullptr;
  DlgSetDate* dialog_ = nullptr;
  MyTextCtrl* field_ = nullptr;
  wxCalendarCtrl* calendar_ = nullptr;
  guitest::RealInput input_;
};

struct TypedCase {
  const char* name;
  const char* text;
  Entry entry;
  std::vector<Stroke> keys;
  const char* want;
  bool focusLeaves = false;
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
  };
  return cases;
}

TEST_F(TimeFieldKeys, EachSequenceLeavesItsText) {
  for (const TypedCase& c : TypedCases()) {
    std::string keys;
    for (const Stroke& s : c.keys) keys += " " + guitest::Describe(s);
    SCOPED_TRACE(std::string(c.name) + ":" + keys);
    field_->ChangeValue(c.text);
    ASSERT_TRUE(Enter(c.entry)) << "the field could not be entered";
    ASSERT_TRUE(input_.Type(c.keys)) << "a key was not handled in time";
    EXPECT_EQ(field_->GetValue().ToStdString(), c.want);
    EXPECT_EQ(wxWindow::FindFocus() != field_, c.focusLeaves);
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
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "main");
  guitest::RealInput input;
  bool typed = false;
  guitest::ModalScript script;
  script.Then(guitest::ShowAndDrive([&](wxDialog* dialog) {
    auto* field = dynamic_cast<wxTextCtrl*>(wxWindow::FindWindowByName("text", dialog));
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(input.Focus(field));
    ASSERT_TRUE(input.Click(field, guitest::CharacterPoint(field, 0)));
    typed = input.Type(Keys("09") + std::vector<Stroke>{Right} + Keys("30") + std::vector<Stroke>{Right} +
                       Keys("15"));
    EXPECT_EQ(field->GetValue(), "09:30:15");
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

}  // namespace
