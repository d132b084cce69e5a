#include "app/panelgeneric.h"

#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"

bool PanelGeneric::LoadFromResource(wxWindow* parent, const wxString& name) {
  return wxXmlResource::Get()->LoadPanel(this, parent, name);
}

void PanelGeneric::ApplyTitleFont(wxWindow* title, int pointSize) {
  if (AppSettings.keepXrcFonts || title == nullptr) return;
  wxFont font = title->GetFont();
  font.SetPointSize(pointSize);
  title->SetFont(font);
}

wxWindow* PanelGeneric::Control(const char* name) const {
  return FindWindow(wxXmlResource::GetXRCID(name));
}
