#pragma once
// Real key presses and mouse clicks, sent through the X server's XTEST
// extension, so that they pass through GTK as an operator's do (a native
// entry edits its text before the toolkit's character event, for one).
// Each gesture is waited for, with a time limit, until the toolkit has
// handled the release that ends it.

#include <functional>
#include <string>
#include <vector>

#include <wx/event.h>
#include <wx/eventfilter.h>
#include <wx/gdicmn.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/window.h>

namespace guitest {

// One key: a key code (a character or WXK_*) and modifiers (wxMOD_*). Or,
// when `symbol` is set, the key of the present layout that types that X key
// symbol (a dead key, a letter of another language), pressed by its key
// code; with `altGr` the key that selects the third level (AltGr) is held,
// itself and not as Ctrl+Alt.
struct Stroke {
  int code = 0;
  int modifiers = wxMOD_NONE;
  unsigned symbol = 0;
  bool altGr = false;
};
// The key that types `symbol` (an X key symbol), with AltGr held or not.
Stroke Symbol(unsigned symbol, bool altGr = false);
std::string Describe(const Stroke& stroke);

// Where a click into a one-line text field puts the caret before the
// character at `position` (client coordinates).
wxPoint CharacterPoint(wxTextCtrl* field, long position);

class RealInput : public wxEventFilter {
 public:
  RealInput();
  ~RealInput() override;
  RealInput(const RealInput&) = delete;
  RealInput& operator=(const RealInput&) = delete;

  // The window's top-level window is raised and takes the X input focus,
  // the pointer rests over `window`, and `window` takes the toolkit's focus.
  bool Focus(wxWindow* window);
  // Presses and releases each key in turn; false when the toolkit did not
  // see a release within the time limit.
  bool Type(const std::vector<Stroke>& strokes);
  // A click of `button` (wxMOUSE_BTN_*) at `at`, in client coordinates of
  // `window`. Where the toolkit reports no mouse event (the items of a radio
  // box are GTK's own), `handled` tells when the click has been taken.
  bool Click(wxWindow* window, const wxPoint& at, const std::function<bool()>& handled = nullptr,
             int button = wxMOUSE_BTN_LEFT);
  bool ClickCentre(wxWindow* window);
  // A right click at `at` opens GTK's own menu of the widget; its item
  // `label` (GTK's text before translation, such as "_Paste") is clicked,
  // and the menu has closed when this returns true.
  bool ChooseFromContextMenu(wxWindow* window, const wxPoint& at, const char* label);

  int FilterEvent(wxEvent& event) override;

 private:
  bool WaitForReleases(int keys, int buttons);
  bool PressSymbol(const Stroke& stroke);

  wxUIActionSimulator sim_;
  // The last click: a second one soon after at the same place would be a
  // double click, which selects a word.
  wxPoint lastClick_ = wxDefaultPosition;
  wxLongLong lastClickMs_ = 0;
  int keyReleases_ = 0;
  int buttonReleases_ = 0;
};

// The X server's keyboard layout (setxkbmap names, such as "lt" or "us" with
// variant "intl") for the life of the object; the layout before comes back
// at its end. Ready() tells whether the toolkit has taken the layout.
class KeyboardLayout {
 public:
  explicit KeyboardLayout(const std::string& layout, const std::string& variant = "");
  ~KeyboardLayout();
  KeyboardLayout(const KeyboardLayout&) = delete;
  KeyboardLayout& operator=(const KeyboardLayout&) = delete;

  bool Ready() const { return ready_; }

 private:
  bool Use(const std::string& layout, const std::string& variant);

  std::string oldLayout_;
  std::string oldVariant_;
  bool ready_ = false;
};

}  // namespace guitest
