#pragma once
// Date and time of day for the device clock; built in code.

#include <wx/calctrl.h>
#include <wx/dialog.h>

#include "kalvo_lorim/types.h"

class MyTimeCtrl;

class DlgSetDate : public wxDialog {
 public:
  explicit DlgSetDate(wxWindow* parent);
  ~DlgSetDate() override;

  // The chosen day with the time of the time field, milliseconds 0.
  // OK only ends the dialog when that text reads as a time of day (and the
  // day as a year) the device holds as shown, so after wxID_OK this is
  // exactly what the operator saw; before, a choice that does not read gives
  // the no-information date.
  kalvo_lorim::DateTime GetDateTime() const;

  void OnOK(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);

 private:
  void CreateControls();

  wxWindow* parent_ = nullptr;
  wxCalendarCtrl* calendar_ = nullptr;
  MyTimeCtrl* time_ = nullptr;

  wxDECLARE_EVENT_TABLE();
};
