#pragma once
// The algorithms panel: the served point's measuring algorithms with the
// latest measure of each, and the buttons that restart measures and choose
// the current algorithm.

#include "app/panelgeneric.h"

class wxButton;
class wxListCtrl;
class wxStaticText;
class CommandQueue;

namespace kalvo_lorim {
class PointsCollection;
}

class PanelAlgorithms : public PanelGeneric {
 public:
  PanelAlgorithms(wxWindow* parent, kalvo_lorim::PointsCollection* points,
                  CommandQueue* commands);
  ~PanelAlgorithms() override;

  void ClearPanel(const kalvo_lorim::Point& point) override;
  void UpdatePanel(const kalvo_lorim::Point& point) override;

  void FillAlgorithms(const kalvo_lorim::Point& point);
  void FillMeasure(const kalvo_lorim::Point& point);
  void ResizeColumns();
  // Disables the three buttons, whatever the list holds: no device thread
  // would carry out their commands.
  void DisableCommands();

 private:
  void OnSize(wxSizeEvent& event);
  void OnRestartAll(wxCommandEvent& event);
  void OnRestartMeasures(wxCommandEvent& event);
  void OnSetCurrentAlgorithm(wxCommandEvent& event);
  void SetRowColour(long row, const wxColour& colour);

  wxListCtrl* algorithms = nullptr;
  wxButton* restartAll = nullptr;
  wxButton* restartMeasures = nullptr;
  wxButton* setCurrentAlgorithm = nullptr;
  wxStaticText* title = nullptr;
  kalvo_lorim::PointsCollection* points = nullptr;  // not used by this panel
  CommandQueue* commands = nullptr;

  wxDECLARE_EVENT_TABLE();
};
