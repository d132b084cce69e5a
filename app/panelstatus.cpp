#include "app/panelstatus.h"

#include <algorithm>

#include <boost/any.hpp>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointparam.h"

wxBEGIN_EVENT_TABLE(PanelStatus, PanelGeneric)
  EVT_SIZE(PanelStatus::OnSize)
wxEND_EVENT_TABLE()

PanelStatus::PanelStatus(wxWindow* parent) {
  LoadFromResource(parent, "ID_PANEL_STATUS");
  title = ControlAs<wxStaticText>("ID_STATUS");
  ApplyTitleFont(title, AppSettings.titleFontSize);
  MakeCellNames();
}

PanelStatus::~PanelStatus() = default;

void PanelStatus::OnSize(wxSizeEvent& event) { event.Skip(); }

void PanelStatus::MakeCellNames() {
  for (int i = 0; i < CellCount; ++i) {
    cellNames[i] = std::make_pair(wxString::Format("ID_BMP_BIT_%d", i + 1),
                                  wxString::Format("ID_TEXT_BIT_%d", i + 1));
  }
}

wxStaticText* PanelStatus::ColourBox(int i) const {
  return dynamic_cast<wxStaticText*>(FindWindow(wxXmlResource::GetXRCID(cellNames[i].first)));
}

wxStaticText* PanelStatus::TextCell(int i) const {
  return dynamic_cast<wxStaticText*>(FindWindow(wxXmlResource::GetXRCID(cellNames[i].second)));
}

void PanelStatus::PaintBits(std::uint16_t word, const StatusFlagTable& flags) {
  const wxColour clear = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  for (int i = 0; i < CellCount; ++i) {
    const int n = i + 1;
    const bool set = ((word >> i) & 1u) != 0;
    if (wxStaticText* text = TextCell(i)) text->Enable(set);
    if (wxStaticText* box = ColourBox(i)) {
      box->SetBackgroundColour(set ? flags.Colours(n).GetBackground() : clear);
      box->Refresh(true);
    }
  }
}

void PanelStatus::ClearBitTexts() {
  for (int i = 0; i < CellCount; ++i) {
    if (wxStaticText* text = TextCell(i)) text->SetLabel(" ");
  }
}

void PanelStatus::ShowBitTexts(const kalvo_lorim::Point& point) {
  kalvo_lorim::PointParams params;
  point.GetParams(params);
  const StatusFlagTable flags = params.GetStatusFlags();
  ClearBitTexts();
  // The table holds at most 16 flags; the bound keeps a wrong count harmless.
  const int count = std::min(flags.Count(), static_cast<int>(CellCount));
  for (int k = 1; k <= count; ++k) {
    if (wxStaticText* text = TextCell(k - 1)) text->SetLabel(flags.Text(k));
  }
}

void PanelStatus::ClearPanel(const kalvo_lorim::Point& point) {
  kalvo_lorim::PointParams params;
  point.GetParams(params);
  PaintBits(0, params.GetStatusFlags());
  ClearBitTexts();
}

void PanelStatus::UpdatePanel(const kalvo_lorim::Point& point) {
  kalvo_lorim::PointParams params;
  point.GetParams(params);
  const StatusFlagTable flags = params.GetStatusFlags();
  const kalvo_lorim::Event event = point.GetLastEvent();
  switch (event.GetKind()) {
    case EventKind::ParamsRead:
      ShowBitTexts(point);
      break;
    case EventKind::StatusRead:
      PaintBits(boost::any_cast<kalvo_lorim::Status>(event.GetData()).GetWord(), flags);
      break;
    case EventKind::CurrentMeasure:
    case EventKind::ThresholdExceeded:
    case EventKind::PrethresholdExceeded:
    case EventKind::ThresholdReduced:
    case EventKind::MeasureNotReady:
      PaintBits(boost::any_cast<kalvo_lorim::Measure>(event.GetData()).GetStatus().GetWord(),
                flags);
      break;
    default:
      break;
  }
}
