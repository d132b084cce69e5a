#pragma once
// The information panel: a large text that says what the served point is
// doing, and the button that opens the options dialog.

#include <wx/button.h>
#include <wx/stattext.h>

#include "app/panelgeneric.h"

class MainFrame;

class PanelInfo : public PanelGeneric {
 public:
  explicit PanelInfo(wxWindow* parent);
  ~PanelInfo() override;

  void ClearPanel(const kalvo_lorim::Point& point) override;
  void UpdatePanel(const kalvo_lorim::Point& point) override;
  // No device thread could be started: `text` in the failed colours.
  void ShowFailure(const wxString& text);

  wxStaticText* GetInfo() const { return info; }
  wxButton* GetConfig() const { return config; }

 private:
  void OnConfig(wxCommandEvent& event);
  void ShowText(const wxColour& background, const wxColour& text, const wxString& label);

  wxStaticText* info = nullptr;
  wxButton* config = nullptr;
  MainFrame* mainFrame = nullptr;

  wxDECLARE_EVENT_TABLE();
};
