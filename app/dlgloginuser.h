#pragma once
// Asks the operator for a login and a password; the check itself is
// SecurityData::Login.

#include <wx/dialog.h>
#include <wx/string.h>

class App;

class DlgLoginUser : public wxDialog {
 public:
  DlgLoginUser();
  ~DlgLoginUser() override;

  // Empty unless the dialog ended with wxID_OK.
  wxString GetLogin() const { return login; }
  wxString GetPassword() const { return password; }

 private:
  void OnOK(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);
  // Ends a modal dialog's loop; a modeless one is hidden with the same code.
  void Finish(int returnCode);

  wxString login;
  wxString password;

  wxDECLARE_EVENT_TABLE();
};

// A login through the dialog, reported to the operator: a refused login
// after OK and a user without the right to view parameters each get an
// error box. True only when the login stands.
bool LoginWithDialogReported(App& app);
