#include "app/panelinfo.h"

#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "app/mainframe.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/point.h"

PanelInfo::PanelInfo(wxWindow* parent) {
  LoadFromResource(parent, "ID_PANEL_INFO");
  info = ControlAs<wxStaticText>("ID_INFO");
  config = ControlAs<wxButton>("ID_CONFIG");
  mainFrame = dynamic_cast<MainFrame*>(parent);
  ApplyTitleFont(info, AppSettings.infoFontSize);
  if (StartedFromSystem) config->Disable();
  info->SetLabel(_("Choice \"Parameters...\" to start"));
}

PanelInfo::~PanelInfo() = default;

void PanelInfo::OnConfig(wxCommandEvent&) {
  if (mainFrame) mainFrame->OnOptions();
}

void PanelInfo::ShowText(const wxColour& background, const wxColour& text, const wxString& label) {
  info->SetBackgroundColour(background);
  info->SetForegroundColour(text);
  info->SetLabel(label);
  info->Refresh();
}

void PanelInfo::ClearPanel(const kalvo_lorim::Point& point) {
  ShowText(wxColour(255, 255, 0), wxColour(255, 0, 0), point.StateText());
}

void PanelInfo::ShowFailure(const wxString& text) { ShowText(wxColour(255, 255, 0), wxColour(255, 0, 0), text); }

void PanelInfo::UpdatePanel(const kalvo_lorim::Point& point) {
  wxColour background(255, 255, 255);
  wxColour text(0, 0, 255);
  switch (point.GetLastEvent().GetKind()) {
    case EventKind::Unplugged:
    case EventKind::StatusRead:
    case EventKind::VolumeLevelChanged:
    case EventKind::ParamsChanged:
      return;
    case EventKind::CurrentMeasure:
    case EventKind::AlgorithmMeasure:
    case EventKind::ThresholdExceeded:
    case EventKind::PrethresholdExceeded:
    case EventKind::ThresholdReduced:
    case EventKind::CurrentAlgorithmChanged:
      if (point.GetMeasure().GetAlgorithmNumber() != AppSettings.currentAlgorithm) return;
      break;
    default:
      background = wxColour(127, 127, 127);
      text = wxColour(0, 0, 0);
      break;
  }
  ShowText(background, text, AppSettings.infWinView == 1 ? point.StateTextFractional() : point.StateText());
}

wxBEGIN_EVENT_TABLE(PanelInfo, PanelGeneric)
  EVT_BUTTON(XRCID("ID_CONFIG"), PanelInfo::OnConfig)
wxEND_EVENT_TABLE()
