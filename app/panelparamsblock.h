#pragma once
// The bottom panel of the main window: the point's fixed settings and its
// dynamic parameters, and the seven buttons that change them on the device.

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/string.h>

#include "app/panelgeneric.h"
#include "kalvo_lorim/command.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/pointscollection.h"

class PanelParamsBlock : public PanelGeneric {
 public:
  PanelParamsBlock(wxWindow* parent, kalvo_lorim::PointsCollection* points, CommandQueue* commands);
  ~PanelParamsBlock() override;

  void ClearPanel(const kalvo_lorim::Point& point) override;
  void UpdatePanel(const kalvo_lorim::Point& point) override;

  // Fills both lists from `point`, the copy handed over with the refresh (the
  // live point may already hold newer data).
  void ShowParams(const kalvo_lorim::Point& point);
  void ResizeColumns();
  // Disables all seven buttons, the factory number's too: no device thread
  // would carry out their commands.
  void DisableCommands();

  const kalvo_lorim::PointParams& GetShownParams() const { return shownParams; }
  const wxString& GetShownAddressText() const { return shownAddressText; }

 private:
  void OnSize(wxSizeEvent& event);
  void OnItemActivated(wxListEvent& event);
  void OnBeginLabelEdit(wxListEvent& event);
  void OnSetParameters(wxCommandEvent& event);
  void OnGetParameters(wxCommandEvent& event);
  void OnSetAddress(wxCommandEvent& event);
  void OnSetDate(wxCommandEvent& event);
  void OnSetVolumeLevel(wxCommandEvent& event);
  void OnSetDeviceLanguage(wxCommandEvent& event);
  void OnSetFactoryNumber(wxCommandEvent& event);

  // Whether the operator may type a new value into dynamic row `row`.
  bool MayEditRow(long row) const;
  void Post(int kind, const boost::any& argument);

  wxWindow* mainFrame;
  wxListCtrl* staticList = nullptr;
  wxListCtrl* dynamicList = nullptr;
  wxButton* setAddressButton = nullptr;
  wxButton* getParamsButton = nullptr;
  wxButton* setParamsButton = nullptr;
  wxButton* dateButton = nullptr;
  wxButton* volumeButton = nullptr;
  wxButton* languageButton = nullptr;
  wxButton* factoryNumberButton = nullptr;
  wxStaticText* title = nullptr;
  // Kept for the main window's wiring; the shown data comes from the refresh copy.
  kalvo_lorim::PointsCollection* points;
  CommandQueue* commands;
  kalvo_lorim::PointParams shownParams;
  wxString shownAddressText;
  kalvo_lorim::DeviceLanguageNames languageNames;
  // Set once a configured-point mismatch has been reported: the window is
  // closing, and refreshes still queued must not stack further boxes.
  bool mismatchReported = false;

  wxDECLARE_EVENT_TABLE();
};
