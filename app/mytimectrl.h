#pragma once
// A time-of-day entry "HH:MM:SS" edited field by field: the field under the
// caret is selected, digits shift into it, Up/Down and the spin button step it
// with wrap-around, Left/Right/Tab move between fields. A fourth field, an
// AM/PM marker at positions 9..11, is toggled instead of stepped. Every edit
// sends a MyTimeChangeEvent with the whole text.
//
// The text field and the spin button are siblings of the composite (children
// of its parent) laid over the composite's area.

#include <wx/control.h>
#include <wx/event.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>

class MyTimeCtrl;

class MyTimeChangeEvent : public wxNotifyEvent {
 public:
  MyTimeChangeEvent(wxEventType type = wxEVT_NULL, int id = 0, const wxString& text = wxString());
  MyTimeChangeEvent(const MyTimeChangeEvent& other);

  wxString GetText() const { return text_; }
  void SetText(const wxString& text) { text_ = text; }
  wxEvent* Clone() const override { return new MyTimeChangeEvent(*this); }

 private:
  wxString text_;

  wxDECLARE_DYNAMIC_CLASS_NO_ASSIGN(MyTimeChangeEvent);
};

// Sent by the text field after every edit, id and event object the composite;
// it travels up from the text field to the parent windows.
wxDECLARE_EVENT(MY_EVT_TIME_CHANGE, MyTimeChangeEvent);

// Its text changes only by the field logic and by the program's SetValue
// and ChangeValue; a change made by anything else (an input method, a
// paste, a drop) is undone and the field it touched selected again.
class MyTextCtrl : public wxTextCtrl {
 public:
  MyTextCtrl() = default;
  MyTextCtrl(MyTimeCtrl* owner, const wxString& value);

  void OnKeyDown(wxKeyEvent& event);
  void OnChar(wxKeyEvent& event);
  void OnText(wxCommandEvent& event);
  // 1 up, 2 down.
  void SpinField(int direction);

 protected:
  void DoSetValue(const wxString& value, int flags) override;

 private:
  void UpdateCaret();
  void SelectField();
  void ReadField();
  void StepField(int direction);
  void ApplyField();
  void WrapValue(int& value) const;
  // One key of the field logic; true when the key is handed on to the
  // toolkit (a Tab that leaves the control).
  bool HandleKey(int key, bool shift);
  void UndoForeignChange();

  MyTimeCtrl* owner_ = nullptr;
  wxString field_;
  int caret_ = 0;
  int minimum_ = 0;
  int maximum_ = 0;
  // The text as the field logic or the program last left it.
  wxString kept_;
  bool editing_ = false;
  bool undoPending_ = false;
  // Where the change to undo begins.
  int touched_ = 0;

  wxDECLARE_DYNAMIC_CLASS(MyTextCtrl);
  wxDECLARE_EVENT_TABLE();
};

class MySpinButton : public wxSpinButton {
 public:
  MySpinButton() = default;
  explicit MySpinButton(MyTimeCtrl* owner);

  void OnSpinUp(wxSpinEvent& event);
  void OnSpinDown(wxSpinEvent& event);

 private:
  MyTimeCtrl* owner_ = nullptr;

  wxDECLARE_DYNAMIC_CLASS(MySpinButton);
  wxDECLARE_EVENT_TABLE();
};

class MyTimeCtrl : public wxControl {
 public:
  MyTimeCtrl() = default;
  MyTimeCtrl(wxWindow* parent, wxWindowID id, const wxString& value,
             const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize);
  ~MyTimeCtrl() override;

  wxString GetValue() const;

  bool Show(bool show = true) override;
  bool Enable(bool enable = true) override;

  // 1 up, 2 down: focus to the text field, then step the field under its caret.
  void Spin(int direction);

  MyTextCtrl* GetTextField() const { return text_; }
  MySpinButton* GetSpinButton() const { return spin_; }

 protected:
  wxSize DoGetBestSize() const override;
  void DoMoveWindow(int x, int y, int width, int height) override;

 private:
  MyTextCtrl* text_ = nullptr;
  MySpinButton* spin_ = nullptr;

  wxDECLARE_DYNAMIC_CLASS_NO_COPY(MyTimeCtrl);
};

// The local time now as "HH:MM:SS".
wxString CurrentTimeText();
