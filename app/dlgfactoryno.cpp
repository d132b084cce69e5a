#include "app/dlgfactoryno.h"

#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

wxBEGIN_EVENT_TABLE(DlgFactoryNo, wxDialog)
  EVT_BUTTON(XRCID("ID_OK_FACTORY_NO"), DlgFactoryNo::OnOK)
  EVT_BUTTON(XRCID("ID_CANCEL_FACTORY_NO"), DlgFactoryNo::OnCancel)
wxEND_EVENT_TABLE()

DlgFactoryNo::DlgFactoryNo(wxWindow* parent, const wxString& number) : number_(number) {
  wxXmlResource::Get()->LoadDialog(this, parent, "DLG_FACTORY_NO");
  if (auto* field = XRCCTRL(*this, "TC_FACTORY_NO", wxTextCtrl)) field->SetValue(number_);
  // Escape and the close box go the way of the Cancel button; its id is not
  // wxID_CANCEL, so the dialog would not find it by itself.
  SetEscapeId(XRCID("ID_CANCEL_FACTORY_NO"));
}

DlgFactoryNo::~DlgFactoryNo() = default;

void DlgFactoryNo::OnOK(wxCommandEvent&) {
  if (auto* field = XRCCTRL(*this, "PASSWORD_FACTORY_NO", wxTextCtrl)) password_ = field->GetValue();
  if (auto* field = XRCCTRL(*this, "TC_FACTORY_NO", wxTextCtrl)) number_ = field->GetValue();
  SetReturnCode(wxID_OK);
  EndDialog(wxID_OK);
}

void DlgFactoryNo::OnCancel(wxCommandEvent&) {
  SetReturnCode(wxID_CANCEL);
  EndDialog(wxID_CANCEL);
}
