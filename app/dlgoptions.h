#pragma once
// The options dialogs: how the tool reaches the bus (port, baud rate, point
// address) and how it talks and shows data. The presentation settings go
// straight into AppSettings on OK; the connection triple is handed back
// through GetResult for the main window to apply.

#include <wx/dialog.h>
#include <wx/string.h>

#include "kalvo_lorim/types.h"

class wxCheckBox;
class wxChoice;
class wxRadioBox;
class wxStaticText;
class wxTextCtrl;

class DlgOptions : public wxDialog {
 public:
  DlgOptions() = default;
  ~DlgOptions() override;

  // Meaningful after wxID_OK.
  void GetResult(wxString& port, kalvo_lorim::Address& address, wxString& baud) const;

 protected:
  // The fill and OK steps the two dialogs share.
  static void FillPortChoice(wxChoice* port);
  static void FillBaudChoice(wxChoice* baud);
  static void FillTimeout(wxCheckBox* advanced, wxTextCtrl* timeout);
  static void FillDigits(wxChoice* digits);
  static void FillLanguages(wxChoice* language);
  static void FillView(wxChoice* view);
  static void UseAdvanced(wxCheckBox* advanced, wxTextCtrl* timeout);
  // Stores the Advanced flag, then, when the time-out converts, the time-out,
  // language, view and digits, and ends the dialog with wxID_OK. A time-out
  // that does not convert is refused with a message and the dialog stays.
  void AcceptSettings(wxCheckBox* advanced, wxTextCtrl* timeout, wxChoice* language,
                      wxChoice* view, wxChoice* digits);
  // Ends a modal dialog's loop; a modeless one is hidden with the same code.
  void Finish(int returnCode);

  kalvo_lorim::Address address;
  wxString port;
  wxString baud;
};

// Stand-alone mode: the address is typed or set to the broadcast address.
class DlgOptionsGeneral : public DlgOptions {
 public:
  explicit DlgOptionsGeneral(wxWindow* parent);
  ~DlgOptionsGeneral() override;

 private:
  void FillControls();
  void OnExchangeMode(wxCommandEvent& event);
  void OnUseAdvanced(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);

  wxWindow* parent = nullptr;
  wxChoice* comboCom = nullptr;
  wxChoice* comboBaudRate = nullptr;
  wxCheckBox* useAdvanced = nullptr;
  wxTextCtrl* timeToWait = nullptr;
  wxChoice* comboLanguage = nullptr;
  wxChoice* comboScaledView = nullptr;
  wxChoice* comboCountDigit = nullptr;
  wxRadioBox* radioRegim = nullptr;
  bool directMode = false;
  wxStaticText* staticAddress = nullptr;
  wxTextCtrl* textAddress = nullptr;

  wxDECLARE_EVENT_TABLE();
};

// Work-in-system mode: the address is one of the configured points.
class DlgOptionsInSystem : public DlgOptions {
 public:
  explicit DlgOptionsInSystem(wxWindow* parent);
  ~DlgOptionsInSystem() override;

 private:
  void FillControls();
  void OnUseAdvanced(wxCommandEvent& event);
  void OnOK(wxCommandEvent& event);

  wxWindow* parent = nullptr;
  wxChoice* comboCom = nullptr;
  wxChoice* comboBaudRate = nullptr;
  wxCheckBox* useAdvanced = nullptr;
  wxTextCtrl* timeToWait = nullptr;
  wxChoice* comboLanguage = nullptr;
  wxChoice* comboScaledView = nullptr;
  wxChoice* comboAddress = nullptr;
  wxChoice* comboCountDigit = nullptr;

  wxDECLARE_EVENT_TABLE();
};
