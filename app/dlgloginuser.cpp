#include "app/dlgloginuser.h"

#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "security/rights.h"

wxBEGIN_EVENT_TABLE(DlgLoginUser, wxDialog)
  EVT_BUTTON(XRCID("ID_OK_LOGIN_USER"), DlgLoginUser::OnOK)
  EVT_BUTTON(XRCID("ID_CANCEL_LOGIN_USER"), DlgLoginUser::OnCancel)
wxEND_EVENT_TABLE()

DlgLoginUser::DlgLoginUser() {
  wxXmlResource::Get()->LoadDialog(this, nullptr, "DLG_LOGIN_USER");
  // The dialog has no stock Cancel button, so Escape and the close box would
  // find nothing to press; point them at ours.
  SetEscapeId(XRCID("ID_CANCEL_LOGIN_USER"));
}

DlgLoginUser::~DlgLoginUser() {}

void DlgLoginUser::OnOK(wxCommandEvent&) {
  login = XRCCTRL(*this, "LOGIN_LOGIN_USER", wxTextCtrl)->GetValue();
  password = XRCCTRL(*this, "PASSWORD_LOGIN_USER", wxTextCtrl)->GetValue();
  Finish(wxID_OK);
}

void DlgLoginUser::OnCancel(wxCommandEvent&) { Finish(wxID_CANCEL); }

void DlgLoginUser::Finish(int returnCode) {
  SetReturnCode(returnCode);
  EndDialog(returnCode);
}

bool App::LoginWithDialog() {
  DlgLoginUser dialog;
  bool result = false;
  dialogLoginAccepted = false;
  if (dialog.ShowModal() != wxID_OK) return result;
  dialogLoginAccepted = true;
  const wxString password = dialog.GetPassword();
  const wxString login = dialog.GetLogin();
  result = securityData.Login(login, password);
  return result;
}

bool LoginWithDialogReported(App& app) {
  if (!app.LoginWithDialog()) {
    if (app.dialogLoginAccepted)
      wxMessageBox(_("Login or password wrong"), _(KALVO_TITLE), wxOK | wxICON_ERROR);
    return false;
  }
  if (!security::CanViewParams()) {
    wxMessageBox(_("You don't have permission for use this option"), _(KALVO_TITLE),
                 wxOK | wxICON_ERROR);
    return false;
  }
  return true;
}
