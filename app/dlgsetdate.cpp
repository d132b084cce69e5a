#include "app/dlgsetdate.h"

#include <wx/button.h>
#include <wx/calctrl.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>

#include "app/app.h"
#include "app/mytimectrl.h"

wxBEGIN_EVENT_TABLE(DlgSetDate, wxDialog)
  EVT_BUTTON(wxID_OK, DlgSetDate::OnOK)
  EVT_BUTTON(wxID_CANCEL, DlgSetDate::OnCancel)
wxEND_EVENT_TABLE()

namespace {

// One or two decimal digits, within 0..maximum.
bool ReadPart(const wxString& part, int maximum, int& value) {
  if (part.empty() || part.length() > 2) return false;
  int n = 0;
  for (wxUniChar c : part) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > maximum) return false;
  value = n;
  return true;
}

// The time field as the device clock can take it: hours, minutes and seconds
// of one or two digits joined by colons; what follows a blank is ignored,
// except an AM/PM marker, which the 24-hour device clock cannot take as it
// reads. Anything else is refused rather than guessed.
bool ReadTimeOfDay(const wxString& text, int& hour, int& minute, int& second) {
  const int colon1 = text.Find(':');
  if (colon1 == wxNOT_FOUND) return false;
  const wxString rest1 = text.Mid(colon1 + 1);
  const int colon2 = rest1.Find(':');
  if (colon2 == wxNOT_FOUND) return false;
  const wxString rest2 = rest1.Mid(colon2 + 1);
  const int blank = rest2.Find(' ');
  const wxString seconds = blank == wxNOT_FOUND ? rest2 : rest2.Left(blank);
  if (blank != wxNOT_FOUND) {
    const wxString tail = rest2.Mid(blank + 1).Strip(wxString::both).Upper();
    if (tail == "AM" || tail == "PM") return false;
  }
  return ReadPart(text.Left(colon1), 23, hour) && ReadPart(rest1.Left(colon2), 59, minute) &&
         ReadPart(seconds, 59, second);
}

// The device's year byte reads 0..49 as 2000..2049 and 50..99 as 1950..1999.
bool DeviceCanHoldYear(int year) { return year >= 1950 && year <= 2049; }

// Built from the fields themselves, never through the toolkit's setters: no
// out-of-range field reaches them, and no time-zone or daylight-saving
// arithmetic can move the time the operator chose.
bool ReadChoice(const wxDateTime& day, const wxString& timeText, kalvo_lorim::DateTime& out) {
  int hour = 0, minute = 0, second = 0;
  if (!day.IsValid() || !DeviceCanHoldYear(day.GetYear()) ||
      !ReadTimeOfDay(timeText, hour, minute, second))
    return false;
  const int year = day.GetYear();
  out = kalvo_lorim::DateTime(static_cast<std::uint8_t>(year < 2000 ? year - 1900 : year - 2000),
                              static_cast<std::uint8_t>(day.GetMonth() + 1),
                              static_cast<std::uint8_t>(day.GetDay()),
                              static_cast<std::uint8_t>(hour), static_cast<std::uint8_t>(minute),
                              static_cast<std::uint8_t>(second), 0);
  return true;
}

}  // namespace

DlgSetDate::DlgSetDate(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, _("Choose date and time to set"), wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE, "dialog"),
      parent_(parent) {
  CreateControls();
}

DlgSetDate::~DlgSetDate() = default;

void DlgSetDate::CreateControls() {
  auto* top = new wxBoxSizer(wxVERTICAL);
  auto* row = new wxBoxSizer(wxHORIZONTAL);

  auto* dateBox = new wxStaticBoxSizer(wxVERTICAL, this, _("Date"));
  calendar_ = new wxCalendarCtrl(dateBox->GetStaticBox(), wxID_ANY, wxDefaultDateTime,
                                 wxDefaultPosition, wxDefaultSize,
                                 wxCAL_SHOW_HOLIDAYS | wxWANTS_CHARS, "CalendarCtrl");
  dateBox->Add(calendar_, 1, wxEXPAND);

  auto* timeBox = new wxStaticBoxSizer(wxVERTICAL, this, _("Time"));
  time_ = new MyTimeCtrl(timeBox->GetStaticBox(), wxID_ANY, CurrentTimeText());
  timeBox->Add(time_, 0, wxALIGN_CENTER_HORIZONTAL);

  row->Add(dateBox, 1, wxEXPAND);
  row->Add(timeBox, 1, wxEXPAND);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  buttons->Add(new wxButton(this, wxID_OK, wxEmptyString), 1);
  buttons->Add(new wxButton(this, wxID_CANCEL, wxEmptyString), 1);

  top->Add(row, 7, wxEXPAND);
  top->Add(buttons, 1, wxEXPAND);
  SetSizerAndFit(top);
}

kalvo_lorim::DateTime DlgSetDate::GetDateTime() const {
  kalvo_lorim::DateTime chosen;
  if (!ReadChoice(calendar_->GetDate(), time_->GetValue(), chosen))
    return kalvo_lorim::DateTime::NoInformation();
  return chosen;
}

void DlgSetDate::OnOK(wxCommandEvent&) {
  kalvo_lorim::DateTime chosen;
  if (!ReadChoice(calendar_->GetDate(), time_->GetValue(), chosen)) {
    // The dialog stays open with the operator's choice as it was.
    wxMessageBox(_("Wrong parameter"), _(KALVO_TITLE), wxOK | wxICON_ERROR, this);
    return;
  }
  SetReturnCode(wxID_OK);
  EndDialog(wxID_OK);
}

void DlgSetDate::OnCancel(wxCommandEvent&) {
  SetReturnCode(wxID_CANCEL);
  EndDialog(wxID_CANCEL);
}
