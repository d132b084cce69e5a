#include "app/panelalgorithms.h"

#include <vector>

#include <wx/arrstr.h>
#include <wx/button.h>
#include <wx/choicdlg.h>
#include <wx/listctrl.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "app/rowslistbox.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/types.h"
#include "security/rights.h"

namespace {

const wxColour CurrentRowColour(0, 0, 220);
const wxColour OtherRowColour(0, 0, 0);

enum Column { ColNumber, ColMeasurand, ColUnit, ColResult, ColTime, ColUncertainty };

// The choice dialogs of the algorithms: a list as tall as its rows, so that
// the last choices do not hide behind its edge. The toolkit's dialog also
// always preselects an item; this one can start with none, so that OK then
// yields no choice.
class AlgorithmChoice : public wxSingleChoiceDialog {
 public:
  AlgorithmChoice(wxWindow* parent, const wxString& message, const wxString& caption,
                  const wxArrayString& choices) {
    // Created here, not by the base's constructor, so that the list is ours.
    Create(parent, message, caption, choices);
  }

  void Preselect(int selection) {
    if (selection >= 0 && selection < static_cast<int>(m_listbox->GetCount())) {
      SetSelection(selection);
    } else {
      m_listbox->SetSelection(wxNOT_FOUND);
      m_selection = wxNOT_FOUND;
    }
  }

 protected:
  wxListBoxBase* CreateList(int n, const wxString* choices, long style) override {
    auto* list = new RowsListBox(this, wxID_ANY, n, choices, style);
    // A double click chooses, as in the toolkit's own list.
    Bind(wxEVT_LISTBOX_DCLICK, &wxSingleChoiceDialog::OnListBoxDClick, this, list->GetId());
    return list;
  }
};

}  // namespace

wxBEGIN_EVENT_TABLE(PanelAlgorithms, PanelGeneric)
  EVT_SIZE(PanelAlgorithms::OnSize)
  EVT_BUTTON(XRCID("ID_RESTART_ALL"), PanelAlgorithms::OnRestartAll)
  EVT_BUTTON(XRCID("ID_RESTART_MEASURES"), PanelAlgorithms::OnRestartMeasures)
  EVT_BUTTON(XRCID("ID_SET_CURRENT_ALGORITHM"), PanelAlgorithms::OnSetCurrentAlgorithm)
wxEND_EVENT_TABLE()

PanelAlgorithms::PanelAlgorithms(wxWindow* parent, kalvo_lorim::PointsCollection* points_,
                                 CommandQueue* commands_)
    : points(points_), commands(commands_) {
  LoadFromResource(parent, "ID_PANEL_ALGORITHMS");
  algorithms = ControlAs<wxListCtrl>("ID_ALGORITHMS");
  restartAll = ControlAs<wxButton>("ID_RESTART_ALL");
  restartMeasures = ControlAs<wxButton>("ID_RESTART_MEASURES");
  setCurrentAlgorithm = ControlAs<wxButton>("ID_SET_CURRENT_ALGORITHM");
  title = ControlAs<wxStaticText>("ID_ALGO");
  ApplyTitleFont(title, AppSettings.titleFontSize);

  algorithms->InsertColumn(ColNumber, _("#"), wxLIST_FORMAT_LEFT);
  algorithms->InsertColumn(ColMeasurand, _("Measurand"), wxLIST_FORMAT_LEFT);
  algorithms->InsertColumn(ColUnit, _("Unit"), wxLIST_FORMAT_LEFT);
  algorithms->InsertColumn(ColResult, _("Result"), wxLIST_FORMAT_LEFT);
  algorithms->InsertColumn(ColTime, _("Time, s"), wxLIST_FORMAT_LEFT);
  algorithms->InsertColumn(ColUncertainty, _("Measurement uncertainty, %"), wxLIST_FORMAT_LEFT);

  DisableCommands();
}

PanelAlgorithms::~PanelAlgorithms() = default;

void PanelAlgorithms::ClearPanel(const kalvo_lorim::Point&) {
  if (algorithms->GetItemCount() == 0) return;
  algorithms->DeleteAllItems();
  DisableCommands();
}

void PanelAlgorithms::DisableCommands() {
  restartMeasures->Disable();
  setCurrentAlgorithm->Disable();
  restartAll->Disable();
}

void PanelAlgorithms::UpdatePanel(const kalvo_lorim::Point& point) {
  switch (point.GetLastEvent().GetKind()) {
    case EventKind::AlgorithmsRead:
      restartMeasures->Enable(security::CanRestartMeasure());
      restartAll->Enable(security::CanRestartMeasure());
      setCurrentAlgorithm->Enable(security::CanSetCurrentAlgorithm());
      FillAlgorithms(point);
      break;
    case EventKind::AlgorithmMeasure:
      FillMeasure(point);
      break;
    default:
      break;
  }
}

void PanelAlgorithms::FillAlgorithms(const kalvo_lorim::Point& point) {
  if (algorithms->GetItemCount() > 0) algorithms->DeleteAllItems();
  std::vector<kalvo_lorim::Algorithm> list;
  point.GetAlgorithms(list);
  for (std::size_t i = 0; i < list.size(); ++i) {
    const long row = algorithms->InsertItem(static_cast<long>(i), wxString());
    algorithms->SetItem(row, ColUnit, list[i].unit);
    algorithms->SetItem(row, ColMeasurand, list[i].name);
    if (static_cast<int>(i) + 1 == AppSettings.currentAlgorithm)
      algorithms->SetItemTextColour(row, CurrentRowColour);
    algorithms->SetItem(row, ColNumber, wxString::Format("%u", static_cast<unsigned>(i + 1)));
  }
}

void PanelAlgorithms::FillMeasure(const kalvo_lorim::Point& point) {
  const kalvo_lorim::Measure measure = point.GetMeasure();
  const int a = measure.GetAlgorithmNumber();
  // Number 0 is the current measure; a number without a row is ignored.
  if (a <= 0 || a > algorithms->GetItemCount()) return;
  const long row = a - 1;
  algorithms->SetItem(row, ColResult,
                      wxString::Format("%.3g", static_cast<double>(measure.GetValue())));
  algorithms->SetItem(row, ColTime,
                      wxString::Format("%d", static_cast<int>(measure.GetTime())));
  algorithms->SetItem(row, ColUncertainty,
                      wxString::Format("%d", static_cast<int>(measure.GetUncertainty())));
}

void PanelAlgorithms::ResizeColumns() {
  const int w = algorithms->GetClientSize().GetWidth();
  const int v = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, algorithms);
  const int u = (w - v) / 70;
  algorithms->SetColumnWidth(ColNumber, 2 * u);
  algorithms->SetColumnWidth(ColMeasurand, 25 * u);
  algorithms->SetColumnWidth(ColUnit, 10 * u);
  algorithms->SetColumnWidth(ColResult, 13 * u);
  algorithms->SetColumnWidth(ColTime, 11 * u);
  algorithms->SetColumnWidth(ColUncertainty, 10 * u);
}

void PanelAlgorithms::OnSize(wxSizeEvent&) {
  // What the panel does by default, then columns that follow the new width.
  if (GetSizer() != nullptr) Layout();
  if (algorithms != nullptr) ResizeColumns();
}

void PanelAlgorithms::SetRowColour(long row, const wxColour& colour) {
  if (row >= 0 && row < algorithms->GetItemCount()) algorithms->SetItemTextColour(row, colour);
}

// The buttons are the rights gate, so a click that reaches a disabled button
// (an accelerator, say) does nothing.

void PanelAlgorithms::OnRestartAll(wxCommandEvent&) {
  if (!restartAll->IsEnabled()) return;
  commands->Post(CommandKind::RestartMeasures, AppSettings.address,
                 kalvo_lorim::MeasuringAlgorithm::All);
}

void PanelAlgorithms::OnRestartMeasures(wxCommandEvent&) {
  if (!restartMeasures->IsEnabled()) return;
  const int rows = algorithms->GetItemCount();
  wxArrayString choices;
  choices.Add(_("Current algorithm"));
  for (int row = 0; row < rows; ++row) choices.Add(algorithms->GetItemText(row, ColMeasurand));
  choices.Add(_("All algorithms"));

  AlgorithmChoice dialog(this, _("Choose algorithm to restart"), _("Restart algorithm"), choices);
  if (dialog.ShowModal() != wxID_OK) return;
  const int s = dialog.GetSelection();
  if (s < 0 || s > rows + 1) return;
  const kalvo_lorim::MeasuringAlgorithm which =
      s == rows + 1 ? kalvo_lorim::MeasuringAlgorithm::All : kalvo_lorim::AlgorithmNumber(s);
  commands->Post(CommandKind::RestartMeasures, AppSettings.address, which);
}

void PanelAlgorithms::OnSetCurrentAlgorithm(wxCommandEvent&) {
  if (!setCurrentAlgorithm->IsEnabled()) return;
  const int rows = algorithms->GetItemCount();
  // Nothing to choose from.
  if (rows == 0) return;
  wxArrayString choices;
  for (int row = 0; row < rows; ++row) choices.Add(algorithms->GetItemText(row, ColMeasurand));

  AlgorithmChoice dialog(this, _("Choose new current algorithm"), _("Current algorithm"), choices);
  dialog.Preselect(AppSettings.currentAlgorithm - 1);
  if (dialog.ShowModal() != wxID_OK) return;
  const int s = dialog.GetSelection();
  // OK without a choice is a cancel.
  if (s < 0 || s >= rows) return;

  const int previous = AppSettings.currentAlgorithm;
  AppSettings.currentAlgorithm = s + 1;
  commands->Post(CommandKind::SetCurrentAlgorithm, AppSettings.address,
                 kalvo_lorim::AlgorithmNumber(s + 1));
  SetRowColour(previous - 1, OtherRowColour);
  SetRowColour(s, CurrentRowColour);
}
