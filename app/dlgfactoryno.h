#pragma once
// Password and new factory number for the current point.

#include <wx/dialog.h>
#include <wx/string.h>

class DlgFactoryNo : public wxDialog {
 public:
  // `number` is shown in the number field and kept until OK.
  DlgFactoryNo(wxWindow* parent, const wxString& number);
  ~DlgFactoryNo() override;

  // After wxID_OK the typed texts; otherwise the given number and "".
  wxString GetNumber() const { return number_; }
  wxString GetPassword() const { return password_; }

  void OnOK(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);

 private:
  wxString number_;
  wxString password_;

  wxDECLARE_EVENT_TABLE();
};
