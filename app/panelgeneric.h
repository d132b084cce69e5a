#pragma once
// The common base of the main window's four panels.

#include <wx/panel.h>

namespace kalvo_lorim {
class Point;
}

class PanelGeneric : public wxPanel {
 public:
  PanelGeneric() = default;

  // The served point is in a failed state: reset what the panel shows.
  virtual void ClearPanel(const kalvo_lorim::Point& point) = 0;
  // The served point accepted an event: refresh from it.
  virtual void UpdatePanel(const kalvo_lorim::Point& point) = 0;

 protected:
  // Builds the panel into this object from the built-in resource `name` and,
  // unless the resource fonts are kept, gives `titleName` the point size.
  // Returns false when the resource is missing.
  bool LoadFromResource(wxWindow* parent, const wxString& name);
  void ApplyTitleFont(wxWindow* title, int pointSize);
  // The child control of this panel with the resource name `name`.
  wxWindow* Control(const char* name) const;
  template <class T>
  T* ControlAs(const char* name) const {
    return dynamic_cast<T*>(Control(name));
  }
};
