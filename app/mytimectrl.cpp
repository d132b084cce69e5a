#include "app/mytimectrl.h"

#include <algorithm>

#include <gdk/gdk.h>
#include <wx/datetime.h>

wxDEFINE_EVENT(MY_EVT_TIME_CHANGE, MyTimeChangeEvent);

wxIMPLEMENT_DYNAMIC_CLASS(MyTimeChangeEvent, wxNotifyEvent);
wxIMPLEMENT_DYNAMIC_CLASS(MyTextCtrl, wxTextCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(MySpinButton, wxSpinButton);
wxIMPLEMENT_DYNAMIC_CLASS(MyTimeCtrl, wxControl);

namespace {

constexpr int LastPosition = 11;

// Reads leading decimal digits; 0 when there are none.
int ReadNumber(const wxString& text) {
  long n = 0;
  for (wxUniChar c : text) {
    if (c < '0' || c > '9') break;
    n = n * 10 + (c - '0');
    if (n > 1000000) break;
  }
  return static_cast<int>(n);
}

// Both take GTK's own code of a pressed key (an X key symbol), which tells
// what it types with Shift, AltGr and Num Lock as they are now; the key code
// of a key-down event is that of the plain key ("7" also for "&" with Shift,
// WXK_NUMPAD7 for the keypad's 7).

// Whether GTK's input method would type something for the key: a character,
// or the start of one (a dead key, the compose key).
bool InputMethodTakes(wxUint32 symbol) {
  if (symbol == GDK_KEY_Multi_key || (symbol >= GDK_KEY_dead_grave && symbol <= GDK_KEY_dead_longsolidusoverlay))
    return true;
  const gunichar c = gdk_keyval_to_unicode(symbol);
  return c != 0 && !g_unichar_iscntrl(c);
}

// The digit the key types, or 0 for any other character.
int TypedDigit(wxUint32 symbol) {
  const gunichar c = gdk_keyval_to_unicode(symbol);
  return c >= '0' && c <= '9' ? static_cast<int>(c) : 0;
}

// Where two texts begin to differ.
int FirstDifference(const wxString& a, const wxString& b) {
  std::size_t i = 0;
  while (i < a.length() && i < b.length() && a[i] == b[i]) ++i;
  return static_cast<int>(i);
}

}  // namespace

// ---------------------------------------------------------------------------

MyTimeChangeEvent::MyTimeChangeEvent(wxEventType type, int id, const wxString& text)
    : wxNotifyEvent(type, id), text_(text) {}

MyTimeChangeEvent::MyTimeChangeEvent(const MyTimeChangeEvent& other)
    : wxNotifyEvent(other), text_(other.text_) {}

// ---------------------------------------------------------------------------

wxBEGIN_EVENT_TABLE(MyTextCtrl, wxTextCtrl)
  EVT_KEY_DOWN(MyTextCtrl::OnKeyDown)
  EVT_CHAR(MyTextCtrl::OnChar)
  EVT_TEXT(wxID_ANY, MyTextCtrl::OnText)
wxEND_EVENT_TABLE()

// A GTK entry only takes Tab for itself when created so.
MyTextCtrl::MyTextCtrl(MyTimeCtrl* owner, const wxString& value)
    : wxTextCtrl(owner->GetParent(), wxID_ANY, value, wxDefaultPosition, wxDefaultSize,
                 wxTE_PROCESS_TAB, wxDefaultValidator, "text"),
      owner_(owner),
      kept_(GetValue()) {}

void MyTextCtrl::UpdateCaret() {
  long from = 0;
  long to = 0;
  GetSelection(&from, &to);
  caret_ = static_cast<int>(from);
}

void MyTextCtrl::SelectField() {
  int from = 0;
  if (caret_ <= 2) {
    minimum_ = 0;
    maximum_ = 23;
    from = 0;
  } else if (caret_ <= 5) {
    minimum_ = 0;
    maximum_ = 59;
    from = 3;
  } else if (caret_ <= 8) {
    minimum_ = 0;
    maximum_ = 59;
    from = 6;
  } else {
    return;  // the marker: the selection stays as the operator left it
  }
  SetSelection(from, from + 2);
}

void MyTextCtrl::ReadField() { field_ = GetStringSelection(); }

void MyTextCtrl::WrapValue(int& value) const {
  if (value < minimum_) value = maximum_;
  if (value > maximum_) value = minimum_;
}

void MyTextCtrl::StepField(int direction) {
  if (caret_ > 8) {
    field_ = field_.IsSameAs("AM", false) ? "PM" : "AM";
    return;
  }
  int n = ReadNumber(field_);
  if (direction == 1) ++n;
  if (direction == 2) --n;
  WrapValue(n);
  field_ = wxString::Format("%.2d", n);
}

void MyTextCtrl::ApplyField() {
  long from = 0;
  long to = 0;
  GetSelection(&from, &to);
  editing_ = true;
  Replace(from, to, field_);
  editing_ = false;
  kept_ = GetValue();
  MyTimeChangeEvent change(MY_EVT_TIME_CHANGE, owner_ ? owner_->GetId() : GetId(), GetValue());
  change.SetEventObject(owner_);
  GetEventHandler()->ProcessEvent(change);
}

void MyTextCtrl::SpinField(int direction) {
  UndoForeignChange();
  UpdateCaret();
  SelectField();
  ReadField();
  StepField(direction);
  ApplyField();
  SelectField();
}

// GTK's input method puts a typed character into the entry, over the
// selection, before the character event reaches us: a key that types
// anything (the keypad's too) is taken here, while it is still down, and
// never reaches the input method. Keys that type nothing (arrows, Tab,
// Backspace, shortcuts) still arrive as character events.
void MyTextCtrl::OnKeyDown(wxKeyEvent& event) {
  // The toolkit reports AltGr, which only chooses what a key types, as
  // Ctrl+Alt.
  const bool altGr = event.ControlDown() && event.AltDown();
  const wxUint32 symbol = event.GetRawKeyCode();
  if ((event.HasModifiers() && !altGr) || !InputMethodTakes(symbol)) {
    event.Skip();
    return;
  }
  UndoForeignChange();
  HandleKey(TypedDigit(symbol), event.ShiftDown());
}

void MyTextCtrl::OnChar(wxKeyEvent& event) {
  if (undoPending_) {
    // An input method is typing this character, inside GTK's own change of
    // the text: the key works on the text once that change is undone.
    const int key = event.GetKeyCode();
    const bool shift = event.ShiftDown();
    CallAfter([this, key, shift] { HandleKey(key, shift); });
    return;
  }
  if (HandleKey(event.GetKeyCode(), event.ShiftDown())) event.Skip();
}

// A change the field logic did not make. GTK may be half-way through it (a
// paste over the selection deletes, then inserts): it is undone once GTK is
// done, to the text before all of it.
void MyTextCtrl::OnText(wxCommandEvent& event) {
  event.Skip();
  if (editing_ || undoPending_ || GetValue() == kept_) return;
  undoPending_ = true;
  touched_ = FirstDifference(kept_, GetValue());
  CallAfter(&MyTextCtrl::UndoForeignChange);
}

// Also run at once before a key or a spin step, so that they never work on
// a foreign text.
void MyTextCtrl::UndoForeignChange() {
  if (!undoPending_) return;
  undoPending_ = false;
  ChangeValue(kept_);
  SetInsertionPoint(touched_);
  UpdateCaret();
  SelectField();
}

void MyTextCtrl::DoSetValue(const wxString& value, int flags) {
  undoPending_ = false;
  editing_ = true;
  wxTextCtrl::DoSetValue(value, flags);
  editing_ = false;
  kept_ = GetValue();
}

bool MyTextCtrl::HandleKey(int key, bool shift) {
  UpdateCaret();
  SelectField();
  ReadField();

  if (key >= '0' && key <= '9' && caret_ < 8) {
    const wxString shifted = field_ + wxUniChar(key);
    const int n = ReadNumber(shifted.Right(2));
    if (n < minimum_ || n > maximum_)
      field_ = wxString("0") + wxUniChar(key);
    else
      field_ = wxString::Format("%.2d", n);
    ApplyField();
  }

  bool handOn = false;
  switch (key) {
    case WXK_UP:
      StepField(1);
      ApplyField();
      break;
    case WXK_DOWN:
      StepField(2);
      ApplyField();
      break;
    case WXK_LEFT:
      ApplyField();
      caret_ = std::max(caret_ - 3, 0);
      break;
    case WXK_RIGHT:
      ApplyField();
      caret_ = std::min(caret_ + 3, LastPosition);
      break;
    case WXK_TAB:
      ApplyField();
      caret_ += shift ? -3 : 3;
      // Beyond the fields: the toolkit's own Tab handling moves the focus.
      handOn = caret_ < 0 || caret_ > LastPosition;
      break;
    default:
      break;  // consumed: the text only ever changes by whole fields
  }

  SelectField();
  return handOn;
}

// ---------------------------------------------------------------------------

wxBEGIN_EVENT_TABLE(MySpinButton, wxSpinButton)
  EVT_SPIN_UP(wxID_ANY, MySpinButton::OnSpinUp)
  EVT_SPIN_DOWN(wxID_ANY, MySpinButton::OnSpinDown)
wxEND_EVENT_TABLE()

MySpinButton::MySpinButton(MyTimeCtrl* owner)
    : wxSpinButton(owner->GetParent(), wxID_ANY, wxDefaultPosition, wxDefaultSize,
                   wxSP_VERTICAL | wxSP_ARROW_KEYS, "wxSpinButton"),
      owner_(owner) {
  // A GTK spin button only reports a change of its value: keep it off both
  // ends, and veto every step below, so either arrow always answers.
  SetRange(-1, 1);
  SetValue(0);
}

void MySpinButton::OnSpinUp(wxSpinEvent& event) {
  event.Veto();
  if (owner_) owner_->Spin(1);
}

void MySpinButton::OnSpinDown(wxSpinEvent& event) {
  event.Veto();
  if (owner_) owner_->Spin(2);
}

// ---------------------------------------------------------------------------

MyTimeCtrl::MyTimeCtrl(wxWindow* parent, wxWindowID id, const wxString& value,
                       const wxPoint& pos, const wxSize& size) {
  wxControl::Create(parent, id, pos, size, 0, wxDefaultValidator, "control");
  text_ = new MyTextCtrl(this, value);
  spin_ = new MySpinButton(this);
  text_->SetMaxLength(LastPosition);

  const wxSize best = DoGetBestSize();
  const wxPoint at(pos.x == wxDefaultCoord ? 0 : pos.x, pos.y == wxDefaultCoord ? 0 : pos.y);
  SetInitialSize(best);
  DoMoveWindow(at.x, at.y, best.x, best.y);

  // Only the composite's own window: its two parts stay editable.
  wxControl::Enable(false);
  Show(true);
}

MyTimeCtrl::~MyTimeCtrl() {
  delete text_;
  delete spin_;
}

wxString MyTimeCtrl::GetValue() const { return text_ ? text_->GetValue() : wxString(); }

bool MyTimeCtrl::Show(bool show) {
  wxControl::Show(show);
  if (text_) text_->Show(show);
  if (spin_) spin_->Show(show);
  return true;
}

bool MyTimeCtrl::Enable(bool enable) {
  wxControl::Enable(enable);
  if (text_) text_->Enable(enable);
  if (spin_) spin_->Enable(enable);
  return true;
}

void MyTimeCtrl::Spin(int direction) {
  if (!text_) return;
  // A GTK entry selects all its text when it takes the focus: keep the
  // operator's field.
  long from = 0;
  long to = 0;
  text_->GetSelection(&from, &to);
  text_->SetFocus();
  text_->SetSelection(from, to);
  text_->SpinField(direction);
}

// The text field with the spin button beside it. The GTK spin button is
// wider and taller than the field, so the field is never narrowed to make
// room for it and neither part is given less than it needs.
wxSize MyTimeCtrl::DoGetBestSize() const {
  if (!text_ || !spin_) return wxControl::DoGetBestSize();
  const wxSize t = text_->GetBestSize();
  const wxSize s = spin_->GetBestSize();
  return wxSize(t.x + 2 + s.x, std::max(t.y, s.y));
}

void MyTimeCtrl::DoMoveWindow(int x, int y, int width, int height) {
  wxControl::DoMoveWindow(x, y, width, height);
  if (!text_ || !spin_) return;
  const int spinWidth = spin_->GetBestSize().x;
  const int textWidth = std::max(width - (spinWidth + 2), 0);
  text_->SetSize(x, y, textWidth, height, wxSIZE_ALLOW_MINUS_ONE);
  spin_->SetSize(x + textWidth + 2, y, spinWidth, height, wxSIZE_ALLOW_MINUS_ONE);
}

wxString CurrentTimeText() {
  const wxDateTime now = wxDateTime::Now();
  return wxString::Format("%.2d:%.2d:%.2d", now.GetHour() % 24, now.GetMinute(), now.GetSecond());
}
