#include "real_input.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>

#include <wx/time.h>
#include <wx/toplevel.h>

#include "gui_support.h"

namespace guitest {

namespace {
constexpr int TimeLimitMs = 5000;
// GTK's default double-click time is 400 ms.
constexpr int DoubleClickMs = 500;

// Modifier keys the toolkit names (Num Lock, a key of its own, is not one),
// and those it knows by their X key symbol alone, such as AltGr.
bool IsModifier(const wxKeyEvent& key) {
  const int code = key.GetKeyCode();
  const wxUint32 symbol = key.GetRawKeyCode();
  return code == WXK_SHIFT || code == WXK_CONTROL || code == WXK_ALT || code == WXK_RAW_CONTROL ||
         code == WXK_WINDOWS_LEFT || code == WXK_WINDOWS_RIGHT ||
         (symbol >= GDK_KEY_ISO_Lock && symbol <= GDK_KEY_ISO_Level5_Lock) || symbol == GDK_KEY_Mode_switch;
}

bool IsButtonRelease(wxEventType type) {
  return type == wxEVT_LEFT_UP || type == wxEVT_MIDDLE_UP || type == wxEVT_RIGHT_UP;
}

// The X key code that types `symbol` at `level` (0 plain, 2 with AltGr) in
// the first group, as the toolkit knows the layout now; 0 when none does.
unsigned KeyCodeFor(unsigned symbol, int level) {
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  unsigned code = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), symbol, &keys,
                                        &count)) {
    for (gint i = 0; i < count && code == 0; ++i)
      if (keys[i].group == 0 && keys[i].level == level) code = keys[i].keycode;
    g_free(keys);
  }
  return code;
}

// The menu items on screen (GTK's own popup menus, which the toolkit does
// not know) whose text is `label`.
GtkWidget* FindShownMenuItem(const char* label) {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w && !found; w = w->next) {
    GtkWidget* child = GTK_IS_BIN(w->data) ? gtk_bin_get_child(GTK_BIN(w->data)) : nullptr;
    if (!child || !GTK_IS_MENU(child) || !gtk_widget_get_mapped(child)) continue;
    GList* items = gtk_container_get_children(GTK_CONTAINER(child));
    for (GList* i = items; i && !found; i = i->next) {
      if (!GTK_IS_MENU_ITEM(i->data)) continue;
      const char* text = gtk_menu_item_get_label(GTK_MENU_ITEM(i->data));
      if (text && g_strcmp0(text, label) == 0 && gtk_widget_is_sensitive(GTK_WIDGET(i->data)))
        found = GTK_WIDGET(i->data);
    }
    g_list_free(items);
  }
  g_list_free(windows);
  return found;
}

// The current layout and variant as setxkbmap reports them.
void QueryLayout(std::string& layout, std::string& variant) {
  FILE* query = popen("setxkbmap -query", "r");
  if (!query) return;
  char line[256];
  while (std::fgets(line, sizeof line, query)) {
    char value[200] = "";
    if (std::sscanf(line, "layout: %199s", value) == 1) layout = value;
    if (std::sscanf(line, "variant: %199s", value) == 1) variant = value;
  }
  pclose(query);
}
}  // namespace

Stroke Symbol(unsigned symbol, bool altGr) {
  Stroke stroke;
  stroke.symbol = symbol;
  stroke.altGr = altGr;
  return stroke;
}

std::string Describe(const Stroke& stroke) {
  std::string name;
  if (stroke.altGr) name += "AltGr+";
  if (stroke.symbol) {
    const char* symbol = gdk_keyval_name(stroke.symbol);
    return name + (symbol ? symbol : "symbol " + std::to_string(stroke.symbol));
  }
  if (stroke.modifiers & wxMOD_CONTROL) name += "Ctrl+";
  if (stroke.modifiers & wxMOD_ALT) name += "Alt+";
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
    case WXK_INSERT: return name + "Insert";
    case WXK_NUMLOCK: return name + "NumLock";
    case WXK_NUMPAD_ADD: return name + "Keypad+";
    case WXK_NUMPAD_SUBTRACT: return name + "Keypad-";
    case WXK_NUMPAD_MULTIPLY: return name + "Keypad*";
    case WXK_NUMPAD_DIVIDE: return name + "Keypad/";
    case WXK_NUMPAD_DECIMAL: return name + "Keypad.";
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
  int x = 0, y = 0;
  gtk_entry_get_layout_offsets(GTK_ENTRY(field->GetHandle()), &x, &y);
  const wxString before = field->GetValue().Left(static_cast<std::size_t>(position));
  return wxPoint(x + (before.empty() ? 0 : field->GetTextExtent(before).x) + 1, field->GetClientSize().y / 2);
}

RealInput::RealInput() { wxEvtHandler::AddFilter(this); }

RealInput::~RealInput() { wxEvtHandler::RemoveFilter(this); }

int RealInput::FilterEvent(wxEvent& event) {
  const wxEventType type = event.GetEventType();
  if (type == wxEVT_KEY_UP && !IsModifier(static_cast<wxKeyEvent&>(event))) ++keyReleases_;
  if (IsButtonRelease(type)) ++buttonReleases_;
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
    if (stroke.symbol) {
      if (!PressSymbol(stroke)) return false;
    } else {
      sim_.Char(stroke.code, stroke.modifiers);
    }
    if (!WaitForReleases(before + 1, buttonReleases_)) return false;
  }
  return true;
}

// wxUIActionSimulator finds a key by what it types without modifiers, and
// knows AltGr only as Ctrl+Alt: these keys go by their X key codes.
bool RealInput::PressSymbol(const Stroke& stroke) {
  const unsigned key = KeyCodeFor(stroke.symbol, stroke.altGr ? 2 : 0);
  const unsigned level3 = stroke.altGr ? KeyCodeFor(GDK_KEY_ISO_Level3_Shift, 0) : 0;
  if (key == 0 || (stroke.altGr && level3 == 0)) return false;
  Display* display = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
  if (level3) XTestFakeKeyEvent(display, level3, True, CurrentTime);
  XTestFakeKeyEvent(display, key, True, CurrentTime);
  XTestFakeKeyEvent(display, key, False, CurrentTime);
  if (level3) XTestFakeKeyEvent(display, level3, False, CurrentTime);
  XFlush(display);
  return true;
}

bool RealInput::Click(wxWindow* window, const wxPoint& at, const std::function<bool()>& handled, int button) {
  if (!RunLoopUntil([&] { return window->IsShownOnScreen(); }, TimeLimitMs)) return false;
  const int before = buttonReleases_;
  const wxPoint screen = window->ClientToScreen(at);
  const wxLongLong since = wxGetLocalTimeMillis() - lastClickMs_;
  if (since < DoubleClickMs && std::abs(screen.x - lastClick_.x) + std::abs(screen.y - lastClick_.y) < 16)
    RunLoopFor(static_cast<int>((DoubleClickMs - since).GetValue()));
  sim_.MouseMove(screen);
  sim_.MouseClick(button);
  lastClick_ = screen;
  lastClickMs_ = wxGetLocalTimeMillis();
  if (handled) return RunLoopUntil(handled, TimeLimitMs);
  return WaitForReleases(keyReleases_, before + 1);
}

bool RealInput::ClickCentre(wxWindow* window) {
  const wxSize size = window->GetClientSize();
  return Click(window, wxPoint(size.x / 2, size.y / 2));
}

bool RealInput::ChooseFromContextMenu(wxWindow* window, const wxPoint& at, const char* label) {
  const char* shown = g_dgettext("gtk30", label);
  GtkWidget* item = nullptr;
  // GTK opens the menu on the press and takes the pointer: the toolkit sees
  // no release.
  if (!Click(window, at, [&] { return (item = FindShownMenuItem(shown)) != nullptr; }, wxMOUSE_BTN_RIGHT))
    return false;
  GtkWidget* top = gtk_widget_get_toplevel(item);
  GtkAllocation box;
  gtk_widget_get_allocation(item, &box);
  int x = 0, y = 0, originX = 0, originY = 0;
  if (!gtk_widget_translate_coordinates(item, top, box.width / 2, box.height / 2, &x, &y)) return false;
  gdk_window_get_origin(gtk_widget_get_window(top), &originX, &originY);
  sim_.MouseMove(originX + x, originY + y);
  sim_.MouseClick();
  return RunLoopUntil([&] { return FindShownMenuItem(shown) == nullptr; }, TimeLimitMs);
}

KeyboardLayout::KeyboardLayout(const std::string& layout, const std::string& variant) {
  QueryLayout(oldLayout_, oldVariant_);
  ready_ = !oldLayout_.empty() && Use(layout, variant);
}

KeyboardLayout::~KeyboardLayout() {
  if (!oldLayout_.empty()) Use(oldLayout_, oldVariant_);
}

// GDK reads the new key map when the server tells it of the change.
bool KeyboardLayout::Use(const std::string& layout, const std::string& variant) {
  int changes = 0;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
  const gulong handler = g_signal_connect(keymap, "keys-changed", G_CALLBACK(+[](GdkKeymap*, gpointer count) {
                                            ++*static_cast<int*>(count);
                                          }),
                                          &changes);
  const std::string command = "setxkbmap -layout '" + layout + "' -variant '" + variant + "'";
  const bool done = std::system(command.c_str()) == 0 && RunLoopUntil([&] { return changes > 0; }, TimeLimitMs);
  g_signal_handler_disconnect(keymap, handler);
  return done;
}

}  // namespace guitest
