#include "app/dlgoptions.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/radiobox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "security/rights.h"

namespace {

const char* const BaudRates[] = {"4800", "9600", "19200", "38400", "57600", "115200"};

// The display name of a language name; empty when it is none of ours.
wxString DisplayNameOf(const wxString& language) {
  const auto it = LanguageNames.find(language);
  return it == LanguageNames.end() ? wxString() : it->second;
}

}  // namespace

DlgOptions::~DlgOptions() {}

void DlgOptions::GetResult(wxString& portOut, kalvo_lorim::Address& addressOut,
                           wxString& baudOut) const {
  portOut = port;
  addressOut = address;
  baudOut = baud;
}

void DlgOptions::FillPortChoice(wxChoice* choice) {
  for (int i = 1; i <= 256; ++i) choice->Append(wxString::Format("COM%d", i));
  if (choice->SetStringSelection(AppSettings.serialPort)) return;
  // A port named by its device path is none of the COM items; keep it as an
  // item of its own, or OK would hand back an empty port name.
  if (!AppSettings.serialPort.empty())
    choice->SetSelection(choice->Append(AppSettings.serialPort));
}

void DlgOptions::FillBaudChoice(wxChoice* choice) {
  for (const char* rate : BaudRates) choice->Append(rate);
  choice->SetStringSelection(AppSettings.baudRate);
}

void DlgOptions::FillTimeout(wxCheckBox* advanced, wxTextCtrl* timeout) {
  advanced->SetValue(AppSettings.useOwnAdvancedTimeout);
  timeout->ChangeValue(wxString::Format("%ld", AppSettings.waitReceiverTimeout));
  if (!AppSettings.useOwnAdvancedTimeout) timeout->Disable();
}

void DlgOptions::FillDigits(wxChoice* digits) {
  for (int i = 0; i <= 9; ++i) digits->Append(wxString::Format("%d", i));
  digits->SetStringSelection(wxString::Format("%ld", AppSettings.countDigitDynParams));
}

void DlgOptions::FillLanguages(wxChoice* language) {
  for (const auto& entry : LanguageNames) language->Append(entry.second);
  const wxString current = DisplayNameOf(AppSettings.language);
  if (!current.empty()) language->SetStringSelection(current);
}

void DlgOptions::FillView(wxChoice* view) {
  view->Append(_("engineer form"));
  view->Append(_("fractional coefficients"));
  view->SetSelection(AppSettings.infWinView == 0 ? 0 : 1);
}

void DlgOptions::UseAdvanced(wxCheckBox* advanced, wxTextCtrl* timeout) {
  if (advanced->GetValue()) {
    timeout->Enable();
    return;
  }
  timeout->ChangeValue(wxString::Format("%ld", AppSettings.waitReceiverTimeout));
  timeout->Disable();
}

void DlgOptions::AcceptSettings(wxCheckBox* advanced, wxTextCtrl* timeout, wxChoice* language,
                                wxChoice* view, wxChoice* digits) {
  AppSettings.useOwnAdvancedTimeout = advanced->GetValue();

  long value = 0;
  if (!timeout->GetValue().ToLong(&value, 10)) {
    wxMessageBox(_("Wrong timeout"), _(KALVO_TITLE), wxOK | wxICON_EXCLAMATION, this);
    return;
  }
  AppSettings.waitReceiverTimeout = value;

  const wxString chosen = language->GetStringSelection();
  if (chosen != DisplayNameOf(AppSettings.language)) {
    for (const auto& entry : LanguageNames) {
      if (entry.second != chosen) continue;
      AppSettings.language = entry.first;
      wxMessageBox(_("Language has changed success. Settings will be apply after restart."),
                   _(KALVO_TITLE), wxOK | wxICON_INFORMATION, this);
    }
  }

  AppSettings.infWinView = view->GetStringSelection() == _("engineer form") ? 0 : 1;

  long count = 0;
  if (!digits->GetStringSelection().ToLong(&count, 10)) count = 0;
  AppSettings.countDigitDynParams = count;

  Finish(wxID_OK);
}

void DlgOptions::Finish(int returnCode) {
  SetReturnCode(returnCode);
  EndDialog(returnCode);
}

// Stand-alone dialog.

wxBEGIN_EVENT_TABLE(DlgOptionsGeneral, DlgOptions)
  EVT_BUTTON(wxID_OK, DlgOptionsGeneral::OnOK)
  EVT_CHECKBOX(XRCID("ID_USE_ADVANCED"), DlgOptionsGeneral::OnUseAdvanced)
  EVT_RADIOBOX(XRCID("ID_RADIO_REGIM"), DlgOptionsGeneral::OnExchangeMode)
wxEND_EVENT_TABLE()

DlgOptionsGeneral::DlgOptionsGeneral(wxWindow* parentWindow) {
  wxXmlResource::Get()->LoadDialog(this, parentWindow, "ID_DLG_OPTION");
  comboCom = XRCCTRL(*this, "ID_COMBO_COM", wxChoice);
  comboBaudRate = XRCCTRL(*this, "ID_COMBO_BAUD_RATE", wxChoice);
  radioRegim = XRCCTRL(*this, "ID_RADIO_REGIM", wxRadioBox);
  textAddress = XRCCTRL(*this, "ID_TEXT_ADDRESS", wxTextCtrl);
  staticAddress = XRCCTRL(*this, "ID_STATIC_ADDRESS", wxStaticText);
  useAdvanced = XRCCTRL(*this, "ID_USE_ADVANCED", wxCheckBox);
  timeToWait = XRCCTRL(*this, "ID_TIME_TO_WAIT", wxTextCtrl);
  comboCountDigit = XRCCTRL(*this, "ID_COMBO_COUNT_DIGIT", wxChoice);
  comboLanguage = XRCCTRL(*this, "ID_COMBO_LANGUAGE", wxChoice);
  comboScaledView = XRCCTRL(*this, "ID_COMBO_SCALED_VIEW", wxChoice);
  parent = parentWindow;
  FillControls();
}

DlgOptionsGeneral::~DlgOptionsGeneral() {}

void DlgOptionsGeneral::FillControls() {
  FillPortChoice(comboCom);
  FillBaudChoice(comboBaudRate);

  const bool broadcast = AppSettings.address == kalvo_lorim::NoAddress();
  radioRegim->SetSelection(broadcast ? 0 : 1);
  textAddress->Enable(!broadcast);
  staticAddress->Enable(!broadcast);
  if (!broadcast) textAddress->ChangeValue(AppSettings.address.Text());

  FillTimeout(useAdvanced, timeToWait);
  FillDigits(comboCountDigit);
  FillLanguages(comboLanguage);
  FillView(comboScaledView);
}

void DlgOptionsGeneral::OnExchangeMode(wxCommandEvent&) {
  const bool broadcast = radioRegim->GetSelection() == 0;
  textAddress->Enable(!broadcast);
  staticAddress->Enable(!broadcast);
}

void DlgOptionsGeneral::OnUseAdvanced(wxCommandEvent&) { UseAdvanced(useAdvanced, timeToWait); }

void DlgOptionsGeneral::OnOK(wxCommandEvent&) {
  port = comboCom->GetStringSelection();
  baud = comboBaudRate->GetStringSelection();
  directMode = radioRegim->GetSelection() != 0;

  if (!directMode) {
    address = kalvo_lorim::NoAddress();
  } else {
    const wxString text = textAddress->GetValue();
    kalvo_lorim::Address typed;
    const bool accepted = kalvo_lorim::ParseAddress(text, typed) &&
                          typed != kalvo_lorim::BroadcastAddress() &&
                          typed != kalvo_lorim::OwnAddress();
    if (accepted) {
      address = typed;
    } else {
      // 1.1.1 tells the main window to apply none of port, address and baud.
      address = kalvo_lorim::OwnAddress();
      wxMessageBox(wxString::Format(_("Error in address %s!"), text), _("Error"),
                   wxOK | wxICON_ERROR, this);
    }
  }

  AcceptSettings(useAdvanced, timeToWait, comboLanguage, comboScaledView, comboCountDigit);
}

// Work-in-system dialog.

wxBEGIN_EVENT_TABLE(DlgOptionsInSystem, DlgOptions)
  EVT_BUTTON(wxID_OK, DlgOptionsInSystem::OnOK)
  EVT_CHECKBOX(XRCID("ID_USE_ADVANCED_SYSTEM"), DlgOptionsInSystem::OnUseAdvanced)
wxEND_EVENT_TABLE()

DlgOptionsInSystem::DlgOptionsInSystem(wxWindow* parentWindow) {
  wxXmlResource::Get()->LoadDialog(this, parentWindow, "ID_DLG_OPTION_SYSTEM");
  comboCom = XRCCTRL(*this, "ID_COMBO_COM_SYSTEM", wxChoice);
  comboBaudRate = XRCCTRL(*this, "ID_COMBO_BAUD_RATE_SYSTEM", wxChoice);
  useAdvanced = XRCCTRL(*this, "ID_USE_ADVANCED_SYSTEM", wxCheckBox);
  timeToWait = XRCCTRL(*this, "ID_TIME_TO_WAIT_SYSTEM", wxTextCtrl);
  comboAddress = XRCCTRL(*this, "ID_COMBO_ADDRESS_SYSTEM", wxChoice);
  comboLanguage = XRCCTRL(*this, "ID_COMBO_LANGUAGE_SYSTEM", wxChoice);
  comboScaledView = XRCCTRL(*this, "ID_COMBO_SCALED_VIEW", wxChoice);
  comboCountDigit = XRCCTRL(*this, "ID_COMBO_COUNT_DIGIT", wxChoice);
  parent = parentWindow;
  FillControls();
}

DlgOptionsInSystem::~DlgOptionsInSystem() {}

void DlgOptionsInSystem::FillControls() {
  FillPortChoice(comboCom);
  FillBaudChoice(comboBaudRate);
  for (const security::PointAccess& point : security::PointAccessList)
    comboAddress->Append(point.AddressText());
  comboAddress->SetStringSelection(AppSettings.address.PaddedText());
  FillTimeout(useAdvanced, timeToWait);
  FillLanguages(comboLanguage);
  FillView(comboScaledView);
  FillDigits(comboCountDigit);
}

void DlgOptionsInSystem::OnUseAdvanced(wxCommandEvent&) { UseAdvanced(useAdvanced, timeToWait); }

void DlgOptionsInSystem::OnOK(wxCommandEvent&) {
  port = comboCom->GetStringSelection();
  baud = comboBaudRate->GetStringSelection();
  // No choice (or a text that does not read) leaves 1.1.1: nothing to apply.
  address = kalvo_lorim::OwnAddress();
  kalvo_lorim::ParseAddress(comboAddress->GetStringSelection(), address);
  AcceptSettings(useAdvanced, timeToWait, comboLanguage, comboScaledView, comboCountDigit);
}
