#include "real_input.h"

#include <dlfcn.h>

#include <cstdlib>

#include <wx/time.h>
#include <wx/toplevel.h>

#include "gui_support.h"

namespace guitest {

namespace {
constexpr int TimeLimitMs = 5000;
// GTK's default double-click time is 400 ms.
constexpr int DoubleClickMs = 500;

bool IsModifier(int code) {
  return code == WXK_SHIFT || code == WXK_CONTROL || code == WXK_ALT || code == WXK_RAW_CONTROL ||
         code == WXK_WINDOWS_LEFT || code == WXK_WINDOWS_RIGHT;
}
}  // namespace

std::string Describe(const Stroke& stroke) {
  std::string name;
  if (stroke.modifiers & wxMOD_SHIFT) name += "Shift+";
  switch (stroke.code) {
    case WXK_UP: return name + "Up";
    case WXK_DOWN: return name + "Down";
    case WXK_LEFT: return name + "Left";
    case WXK_RIGHT: return name + "Right";
    case WXK_TAB: return name + "Tab";
    case WXK_BACK: return name + "Backspace";
    case WXK_DELETE: return name + "Delete";
    case WXK_RETURN: return name + "Enter";
    default: break;
  }
  if (stroke.code >= WXK_F1 && stroke.code <= WXK_F24) return name + "F" + std::to_string(stroke.code - WXK_F1 + 1);
  if (stroke.code >= WXK_NUMPAD0 && stroke.code <= WXK_NUMPAD9)
    return name + "Keypad" + std::to_string(stroke.code - WXK_NUMPAD0);
  if (stroke.code > 32 && stroke.code < 127) return name + static_cast<char>(stroke.code);
  return name + "key " + std::to_string(stroke.code);
}

wxPoint CharacterPoint(wxTextCtrl* field, long position) {
  // The toolkit has no such query for a one-line GTK entry: where its text
  // starts comes from GTK, how wide the characters before are from the font.
  using LayoutOffsets = void (*)(void*, int*, int*);
  static const auto offsets = reinterpret_cast<LayoutOffsets>(dlsym(RTLD_DEFAULT, "gtk_entry_get_layout_offsets"));
  int x = 0, y = 0;
  if (offsets) offsets(field->GetHandle(), &x, &y);
  const wxString before = field->GetValue().Left(static_cast<std::size_t>(position));
  return wxPoint(x + (before.empty() ? 0 : field->GetTextExtent(before).x) + 1, field->GetClientSize().y / 2);
}

RealInput::RealInput() { wxEvtHandler::AddFilter(this); }

RealInput::~RealInput() { wxEvtHandler::RemoveFilter(this); }

int RealInput::FilterEvent(wxEvent& event) {
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_KEY_UP && !IsModifier(static_cast<wxKeyEvent&>(event).GetKeyCode())) ++keyReleases_;
  if (type == wxEVT_LEFT_UP) ++buttonReleases_;
  return Event_Skip;
}

bool RealInput::WaitForReleases(int keys, int buttons) {
  return RunLoopUntil([&] { return keyReleases_ >= keys && buttonReleases_ >= buttons; }, TimeLimitMs);
}

bool RealInput::Focus(wxWindow* window) {
  wxWindow* top = wxGetTopLevelParent(window);
  if (!top) return false;
  // Without a window manager, raising a window gives it the X input focus.
  top->Raise();
  if (!RunLoopUntil([&] { return window->IsShownOnScreen(); }, TimeLimitMs)) return false;
  sim_.MouseMove(window->ClientToScreen(wxPoint(window->GetClientSize().x / 2, window->GetClientSize().y / 2)));
  window->SetFocus();
  return RunLoopUntil([&] { return wxWindow::FindFocus() == window; }, TimeLimitMs);
}

bool RealInput::Type(const std::vector<Stroke>& strokes) {
  for (const Stroke& stroke : strokes) {
    const int before = keyReleases_;
    sim_.Char(stroke.code, stroke.modifiers);
    if (!WaitForReleases(before + 1, buttonReleases_)) return false;
  }
  return true;
}

bool RealInput::Click(wxWindow* window, const wxPoint& at, const std::function<bool()>& handled) {
  if (!RunLoopUntil([&] { return window->IsShownOnScreen(); }, TimeLimitMs)) return false;
  const int before = buttonReleases_;
  const wxPoint screen = window->ClientToScreen(at);
  const wxLongLong since = wxGetLocalTimeMillis() - lastClickMs_;
  if (since < DoubleClickMs && std::abs(screen.x - lastClick_.x) + std::abs(screen.y - lastClick_.y) < 16)
    RunLoopFor(static_cast<int>((DoubleClickMs - since).GetValue()));
  sim_.MouseMove(screen);
  sim_.MouseClick();
  lastClick_ = screen;
  lastClickMs_ = wxGetLocalTimeMillis();
  if (handled) return RunLoopUntil(handled, TimeLimitMs);
  return WaitForReleases(keyReleases_, before + 1);
}

bool RealInput::ClickCentre(wxWindow* window) {
  const wxSize size = window->GetClientSize();
  return Click(window, wxPoint(size.x / 2, size.y / 2));
}

}  // namespace guitest
