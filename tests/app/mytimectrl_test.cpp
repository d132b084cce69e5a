// The time entry control, key by key, through the text field's own handler.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include "app/mytimectrl.h"
#include "gui_support.h"

namespace {

// One key: a key code, Shift held or not.
struct Key {
  int code;
  bool shift = false;
};

const Key Up{WXK_UP}, Down{WXK_DOWN}, Left{WXK_LEFT}, Right{WXK_RIGHT}, Tab{WXK_TAB},
    ShiftTab{WXK_TAB, true}, Backspace{WXK_BACK};
Key Char(char c) { return Key{c}; }

class TimeCtrlFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "time");
    panel_ = new wxPanel(frame_);
    panel_->Bind(MY_EVT_TIME_CHANGE, [this](MyTimeChangeEvent& e) {
      changes_.push_back(e.GetText().ToStdString());
      ids_.push_back(e.GetId());
      objects_.push_back(e.GetEventObject());
    });
  }
  void TearDown() override { frame_->Destroy(); }

  MyTimeCtrl* Make(const wxString& text) {
    ctrl_ = new MyTimeCtrl(panel_, 4321, text);
    return ctrl_;
  }

  // True when the control hands the key on to the toolkit (GTK moves the
  // focus on a Tab that nobody consumed); every other key is consumed.
  bool Press(const Key& key) {
    MyTextCtrl* text = ctrl_->GetTextField();
    wxKeyEvent event(wxEVT_CHAR);
    event.m_keyCode = key.code;
    if (key.code >= 32 && key.code < 127) event.m_uniChar = key.code;
    event.m_shiftDown = key.shift;
    event.SetEventObject(text);
    event.SetId(text->GetId());
    text->GetEventHandler()->ProcessEvent(event);
    return event.GetSkipped();
  }

  std::pair<long, long> Selection() const {
    long from = -1, to = -1;
    ctrl_->GetTextField()->GetSelection(&from, &to);
    return {from, to};
  }

  wxFrame* frame_ = nullptr;
  wxPanel* panel_ = nullptr;
  MyTimeCtrl* ctrl_ = nullptr;
  std::vector<std::string> changes_;
  std::vector<int> ids_;
  std::vector<wxObject*> objects_;
};

struct KeyCase {
  const char* name;
  const char* text;
  long selFrom, selTo;  // where the operator left the caret or selection
  std::vector<Key> keys;
  const char* wantText;
  long wantFrom, wantTo;
  std::vector<std::string> wantChanges;
  std::vector<std::size_t> wantHandedOn;  // indices of the keys handed on
};

const std::vector<KeyCase>& KeyCases() {
  static const std::vector<KeyCase> cases = {
      {"digits shift into the hours", "14:05:30", 0, 0, {Char('7'), Char('2'), Char('1')},
       "21:05:30", 0, 2, {"07:05:30", "02:05:30", "21:05:30"}, {}},
      {"digits shift into the minutes", "14:05:30", 3, 3, {Char('9'), Char('9')}, "14:09:30", 3, 5,
       {"14:59:30", "14:09:30"}, {}},
      {"caret on the colon belongs to the field before it", "14:05:30", 2, 2, {Char('1')},
       "01:05:30", 0, 2, {"01:05:30"}, {}},
      {"up wraps the hours", "23:10:10", 0, 0, {Up}, "00:10:10", 0, 2, {"00:10:10"}, {}},
      {"down wraps the hours", "00:10:10", 1, 1, {Down}, "23:10:10", 0, 2, {"23:10:10"}, {}},
      {"down wraps the minutes", "12:00:10", 3, 3, {Down}, "12:59:10", 3, 5, {"12:59:10"}, {}},
      {"up wraps the seconds", "12:10:59", 6, 6, {Up}, "12:10:00", 6, 8, {"12:10:00"}, {}},
      {"steps stay in range over several keys", "22:58:10", 3, 3, {Up, Up, Up}, "22:01:10", 3, 5,
       {"22:59:10", "22:00:10", "22:01:10"}, {}},
      {"right walks to the minutes, then the seconds", "14:05:30", 0, 0, {Right, Right},
       "14:05:30", 6, 8, {"14:05:30", "14:05:30"}, {}},
      {"left in the hours keeps the hours", "14:05:30", 0, 0, {Left}, "14:05:30", 0, 2,
       {"14:05:30"}, {}},
      {"left from the seconds selects the minutes", "14:05:30", 7, 7, {Left}, "14:05:30", 3, 5,
       {"14:05:30"}, {}},
      {"tab and shift+tab move between fields", "14:05:30", 0, 0, {Tab, Tab, ShiftTab},
       "14:05:30", 3, 5, {"14:05:30", "14:05:30", "14:05:30"}, {}},
      {"shift+tab in the hours leaves backwards, text unchanged", "14:05:30", 0, 0, {ShiftTab},
       "14:05:30", 0, 2, {"14:05:30"}, {0}},
      {"tab past the seconds selects nothing and stays", "14:05:30", 6, 6, {Tab}, "14:05:30", 8, 8,
       {"14:05:30"}, {}},
      {"tab alone never leaves an 8-character text forward", "14:05:30", 6, 6, {Tab, Tab, Tab},
       "14:05:30", 8, 8, {"14:05:30", "14:05:30", "14:05:30"}, {}},
      {"after tab past the end the next key works on the seconds", "14:05:30", 6, 6,
       {Tab, Up}, "14:05:31", 6, 8, {"14:05:30", "14:05:31"}, {}},
      {"position 8: digits do nothing, up steps the seconds", "14:05:30", 8, 8,
       {Char('5'), Up, Down, Down}, "14:05:29", 6, 8, {"14:05:31", "14:05:30", "14:05:29"}, {}},
      {"other keys change nothing and send nothing", "14:05:30", 3, 3,
       {Char('a'), Backspace, Char(':'), Char(' ')}, "14:05:30", 3, 5, {}, {}},
      {"up toggles a marker in any case to PM", "07:05:09 am", 9, 11, {Up}, "07:05:09 PM", 11, 11,
       {"07:05:09 PM"}, {}},
      {"down toggles PM to AM", "07:05:09 PM", 9, 11, {Down}, "07:05:09 AM", 11, 11,
       {"07:05:09 AM"}, {}},
      {"tab from the marker leaves the control", "07:05:09 AM", 9, 11, {Tab}, "07:05:09 AM", 11,
       11, {"07:05:09 AM"}, {0}},
      {"a field that does not read steps from 0", "ab:05:30", 0, 0, {Up}, "01:05:30", 0, 2,
       {"01:05:30"}, {}},
  };
  return cases;
}

TEST_F(TimeCtrlFixture, KeySequences) {
  for (const KeyCase& c : KeyCases()) {
    SCOPED_TRACE(c.name);
    changes_.clear();
    ids_.clear();
    objects_.clear();
    Make(c.text);
    ctrl_->GetTextField()->SetSelection(c.selFrom, c.selTo);
    std::vector<std::size_t> handedOn;
    for (std::size_t i = 0; i < c.keys.size(); ++i)
      if (Press(c.keys[i])) handedOn.push_back(i);

    EXPECT_EQ(ctrl_->GetValue().ToStdString(), c.wantText);
    EXPECT_EQ(Selection(), std::make_pair(c.wantFrom, c.wantTo));
    EXPECT_EQ(changes_, c.wantChanges);
    EXPECT_EQ(handedOn, c.wantHandedOn);
    for (std::size_t i = 0; i < ids_.size(); ++i) {
      EXPECT_EQ(ids_[i], 4321);
      EXPECT_EQ(objects_[i], ctrl_);
    }
    delete ctrl_;
    ctrl_ = nullptr;
  }
}

// The arrows of the spin button step the field under the caret, whatever
// position the button itself holds.
TEST_F(TimeCtrlFixture, SpinArrowsStepTheFieldUnderTheCaret) {
  Make("14:05:30");
  MyTextCtrl* text = ctrl_->GetTextField();
  MySpinButton* spin = ctrl_->GetSpinButton();
  text->SetInsertionPoint(4);

  auto arrow = [&](wxEventType type) {
    wxSpinEvent event(type, spin->GetId());
    event.SetEventObject(spin);
    spin->GetEventHandler()->ProcessEvent(event);
  };
  arrow(wxEVT_SPIN_UP);
  EXPECT_EQ(ctrl_->GetValue().ToStdString(), "14:06:30");
  for (int i = 0; i < 8; ++i) arrow(wxEVT_SPIN_DOWN);
  EXPECT_EQ(ctrl_->GetValue().ToStdString(), "14:58:30");
  EXPECT_EQ(Selection(), std::make_pair(3L, 5L));
  EXPECT_EQ(changes_.size(), 9u);
  EXPECT_EQ(changes_.back(), "14:58:30");
}

// The same through GTK's own spin button: it only reports a change of its
// value, so the control must keep answering at any number of steps either way.
TEST_F(TimeCtrlFixture, GtkSpinButtonAnswersEveryStep) {
  Make("14:05:30");
  ctrl_->GetTextField()->SetInsertionPoint(7);
  GtkSpinButton* spin = GTK_SPIN_BUTTON(ctrl_->GetSpinButton()->GetHandle());
  for (int i = 0; i < 3; ++i) gtk_spin_button_spin(spin, GTK_SPIN_STEP_BACKWARD, 1);
  EXPECT_EQ(ctrl_->GetValue().ToStdString(), "14:05:27");
  for (int i = 0; i < 5; ++i) gtk_spin_button_spin(spin, GTK_SPIN_STEP_FORWARD, 1);
  EXPECT_EQ(ctrl_->GetValue().ToStdString(), "14:05:32");
  EXPECT_EQ(changes_.size(), 8u);
}

// Text changed in the entry by GTK itself, as an input method, a paste or a
// drop change it, is undone once GTK is done; the field it touched is
// selected, nothing is told, and the next key or spin step works on the text
// as the control left it, also when it comes before the undo has run.
struct ForeignCase {
  const char* name;
  long selFrom, selTo;
  std::function<void(GtkEditable*)> change;
  std::function<void()> next;  // a key or spin step; none: nothing
  const char* want;
  long wantFrom, wantTo;
};

void Delete(GtkEditable* entry, int from, int to) { gtk_editable_delete_text(entry, from, to); }
void Insert(GtkEditable* entry, int at, const char* text) {
  gtk_editable_insert_text(entry, text, -1, &at);
}

TEST_F(TimeCtrlFixture, ChangesMadeByGtkAreUndone) {
  auto pasteOverMinutes = [](GtkEditable* e) {
    Delete(e, 3, 5);
    Insert(e, 3, "99");
  };
  auto key = [this](char c) { return [this, c] { Press(Char(c)); }; };
  const std::vector<ForeignCase> cases = {
      {"a paste over the selected minutes: deletion, then insertion", 3, 5, pasteOverMinutes, nullptr,
       "14:05:30", 3, 5},
      {"a drop at the end", 8, 8, [](GtkEditable* e) { Insert(e, 8, "88"); }, nullptr, "14:05:30", 6, 8},
      {"the whole text set by GTK", 0, 0,
       [](GtkEditable* e) { gtk_entry_set_text(GTK_ENTRY(e), "99:99:99"); }, nullptr, "14:05:30", 0, 2},
      {"the minutes deleted, a digit before the undo", 3, 5, [](GtkEditable* e) { Delete(e, 3, 5); },
       key('7'), "14:57:30", 3, 5},
      {"a paste, a digit before the undo", 3, 5, pasteOverMinutes, key('1'), "14:51:30", 3, 5},
      {"a paste, a spin step before the undo", 3, 5, pasteOverMinutes,
       [this] { ctrl_->Spin(1); }, "14:06:30", 3, 5},
  };
  for (const ForeignCase& c : cases) {
    SCOPED_TRACE(c.name);
    changes_.clear();
    Make("14:05:30");
    MyTextCtrl* text = ctrl_->GetTextField();
    text->SetSelection(c.selFrom, c.selTo);
    c.change(GTK_EDITABLE(text->GetHandle()));
    if (c.next) c.next();
    // An undo that set off another would never let the loop settle.
    ASSERT_TRUE(guitest::RunLoopUntil([] { return !wxTheApp->HasPendingEvents(); }, 5000));
    EXPECT_EQ(ctrl_->GetValue().ToStdString(), c.want);
    EXPECT_EQ(Selection(), std::make_pair(c.wantFrom, c.wantTo));
    const std::vector<std::string> told =
        std::string(c.want) == "14:05:30" ? std::vector<std::string>{} : std::vector<std::string>{c.want};
    EXPECT_EQ(changes_, told);
    delete ctrl_;
    ctrl_ = nullptr;
  }
}

// The program's own texts are kept: a change by GTK after them goes back to
// them.
TEST_F(TimeCtrlFixture, TheProgramsTextIsKept) {
  Make("14:05:30");
  MyTextCtrl* text = ctrl_->GetTextField();
  const std::vector<std::pair<const char*, std::function<void(const char*)>>> setters = {
      {"08:15:00", [text](const char* v) { text->SetValue(v); }},
      {"21:40:59", [text](const char* v) { text->ChangeValue(v); }},
  };
  for (const auto& [value, set] : setters) {
    SCOPED_TRACE(value);
    set(value);
    ASSERT_TRUE(guitest::RunLoopUntil([] { return !wxTheApp->HasPendingEvents(); }, 5000));
    EXPECT_EQ(ctrl_->GetValue().ToStdString(), value);
    Insert(GTK_EDITABLE(text->GetHandle()), 0, "1");
    ASSERT_TRUE(guitest::RunLoopUntil([] { return !wxTheApp->HasPendingEvents(); }, 5000));
    EXPECT_EQ(ctrl_->GetValue().ToStdString(), value);
  }
  EXPECT_TRUE(changes_.empty());
}

// The parts are siblings of the composite, laid over its area, and stay
// editable while the composite's own window is disabled.
TEST_F(TimeCtrlFixture, PartsLieSideBySideAndStayEditable) {
  Make(CurrentTimeText());
  MyTextCtrl* text = ctrl_->GetTextField();
  MySpinButton* spin = ctrl_->GetSpinButton();
  EXPECT_EQ(text->GetParent(), panel_);
  EXPECT_EQ(spin->GetParent(), panel_);
  EXPECT_FALSE(ctrl_->IsThisEnabled());
  EXPECT_TRUE(text->IsEnabled());
  EXPECT_TRUE(spin->IsEnabled());
  EXPECT_TRUE(text->HasFlag(wxTE_PROCESS_TAB));

  ctrl_->SetSize(10, 20, 200, 30);
  EXPECT_EQ(text->GetPosition(), wxPoint(10, 20));
  EXPECT_GT(text->GetSize().x, 0);
  EXPECT_EQ(spin->GetPosition().x, 10 + text->GetSize().x + 2);
  EXPECT_EQ(spin->GetPosition().y, 20);

  ctrl_->Show(false);
  EXPECT_FALSE(text->IsShown());
  EXPECT_FALSE(spin->IsShown());
  ctrl_->Enable(true);
  EXPECT_TRUE(ctrl_->IsThisEnabled());
  ctrl_->Enable(false);
  EXPECT_FALSE(text->IsEnabled());
  EXPECT_FALSE(spin->IsEnabled());
}

TEST(CurrentTimeText, IsTheLocalTimeInTwoDigitFields) {
  const wxDateTime before = wxDateTime::Now();
  const wxString text = CurrentTimeText();
  const wxDateTime after = wxDateTime::Now();
  auto form = [](const wxDateTime& t) { return t.Format("%H:%M:%S"); };
  EXPECT_TRUE(text == form(before) || text == form(after)) << text;
  EXPECT_EQ(text.length(), 8u);
}

TEST(MyTimeChangeEvent, CloneKeepsTypeIdObjectAndText) {
  wxObject object;
  MyTimeChangeEvent event(MY_EVT_TIME_CHANGE, 7, "01:02:03");
  event.SetEventObject(&object);
  std::unique_ptr<wxEvent> copy(event.Clone());
  auto* clone = dynamic_cast<MyTimeChangeEvent*>(copy.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetEventType(), MY_EVT_TIME_CHANGE);
  EXPECT_EQ(clone->GetId(), 7);
  EXPECT_EQ(clone->GetEventObject(), &object);
  EXPECT_EQ(clone->GetText(), "01:02:03");
}

}  // namespace
