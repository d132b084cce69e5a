#include "app/panelparamsblock.h"

#include <vector>

#include <boost/any.hpp>
#include <wx/choicdlg.h>
#include <wx/msgdlg.h>
#include <wx/settings.h>
#include <wx/textdlg.h>
#include <wx/toplevel.h>
#include <wx/xrc/xmlres.h>

#include "app/app.h"
#include "app/appsettings.h"
#include "app/dlgfactoryno.h"
#include "app/dlgsetdate.h"
#include "app/dlgvolumelevel.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/event.h"
#include "kalvo_lorim/point.h"
#include "security/rights.h"

namespace {

enum StaticRow {
  RowAddress,
  RowDevice,
  RowDeviceCode,
  RowFirmware,
  RowConfigurationDate,
  RowAssemblyDate,
  RowDeviceDate,
  RowVolume,
  RowLanguage,
  RowFactoryNumber,
  StaticRowCount
};

const wxColour AllowedRowColour(80, 130, 0);
const wxColour DeniedRowColour(210, 60, 0);

// Year bytes 0..49 are 2000..2049, 50..99 are 1950..1999.
int Century(const kalvo_lorim::DateTime& date) { return date.year < 50 ? 20 : 19; }

wxString DateText(const kalvo_lorim::DateTime& date) {
  if (date.IsNoInformation()) return _("No information");
  return wxString::Format("%02d.%02d.%d%02d", date.day, date.month, Century(date), date.year);
}

wxString DateTimeText(const kalvo_lorim::DateTime& date) {
  if (date.IsNoInformation()) return _("No information");
  return wxString::Format("%02d.%02d.%d%02d %02d:%02d", date.day, date.month, Century(date),
                          date.year, date.hour, date.minute);
}

// A parameter whose value has no text form (or holds a value of another
// kind than its type) shows, and writes back, an empty text.
wxString ValueTextOrEmpty(const PointParam& param, int precision) {
  try {
    return param.ValueText(precision);
  } catch (const kalvo_lorim::Exception&) {
  } catch (const boost::bad_any_cast&) {
  }
  return wxString();
}

wxString ExactValueTextOrEmpty(const PointParam& param) {
  try {
    return param.ExactValueText();
  } catch (const kalvo_lorim::Exception&) {
  } catch (const boost::bad_any_cast&) {
  }
  return wxString();
}

}  // namespace

wxBEGIN_EVENT_TABLE(PanelParamsBlock, PanelGeneric)
  EVT_SIZE(PanelParamsBlock::OnSize)
  EVT_LIST_ITEM_ACTIVATED(XRCID("ID_DYNAMIC_PARAMS"), PanelParamsBlock::OnItemActivated)
  EVT_LIST_BEGIN_LABEL_EDIT(XRCID("ID_DYNAMIC_PARAMS"), PanelParamsBlock::OnBeginLabelEdit)
  EVT_BUTTON(XRCID("ID_SET_PARAMETERS"), PanelParamsBlock::OnSetParameters)
  EVT_BUTTON(XRCID("ID_GET_PARAMS"), PanelParamsBlock::OnGetParameters)
  EVT_BUTTON(XRCID("ID_SET_ADDRESS"), PanelParamsBlock::OnSetAddress)
  EVT_BUTTON(XRCID("ID_SET_DATE"), PanelParamsBlock::OnSetDate)
  EVT_BUTTON(XRCID("ID_SET_VOLUME_LEVEL"), PanelParamsBlock::OnSetVolumeLevel)
  EVT_BUTTON(XRCID("ID_SET_DEVICE_LOCALE"), PanelParamsBlock::OnSetDeviceLanguage)
  EVT_BUTTON(XRCID("ID_SET_FACTORY_NO"), PanelParamsBlock::OnSetFactoryNumber)
wxEND_EVENT_TABLE()

PanelParamsBlock::PanelParamsBlock(wxWindow* parent, kalvo_lorim::PointsCollection* points_,
                                   CommandQueue* commands_)
    : mainFrame(parent), points(points_), commands(commands_) {
  LoadFromResource(parent, "ID_PANEL_PARAMS");
  staticList = ControlAs<wxListCtrl>("ID_STATIC_PARAMS");
  dynamicList = ControlAs<wxListCtrl>("ID_DYNAMIC_PARAMS");
  setAddressButton = ControlAs<wxButton>("ID_SET_ADDRESS");
  getParamsButton = ControlAs<wxButton>("ID_GET_PARAMS");
  setParamsButton = ControlAs<wxButton>("ID_SET_PARAMETERS");
  dateButton = ControlAs<wxButton>("ID_SET_DATE");
  volumeButton = ControlAs<wxButton>("ID_SET_VOLUME_LEVEL");
  languageButton = ControlAs<wxButton>("ID_SET_DEVICE_LOCALE");
  factoryNumberButton = ControlAs<wxButton>("ID_SET_FACTORY_NO");
  title = ControlAs<wxStaticText>("ID_PARAMS");
  ApplyTitleFont(title, AppSettings.titleFontSize);

  staticList->InsertColumn(0, _("Parameter"), wxLIST_FORMAT_LEFT);
  staticList->InsertColumn(1, _("Parameter point"), wxLIST_FORMAT_LEFT);
  dynamicList->InsertColumn(0, _("New value"), wxLIST_FORMAT_LEFT);
  dynamicList->InsertColumn(1, _("Parameter"), wxLIST_FORMAT_LEFT);
  dynamicList->InsertColumn(2, _("Parameter point"), wxLIST_FORMAT_LEFT);

  AppSettings.currentAlgorithm = 0;
  DisableCommands();
}

void PanelParamsBlock::DisableCommands() {
  for (wxButton* button : {setAddressButton, getParamsButton, setParamsButton, dateButton,
                           volumeButton, languageButton, factoryNumberButton})
    button->Disable();
}

PanelParamsBlock::~PanelParamsBlock() {}

void PanelParamsBlock::ClearPanel(const kalvo_lorim::Point&) {
  if (staticList->GetItemCount() > 0) staticList->DeleteAllItems();
  if (dynamicList->GetItemCount() > 0) dynamicList->DeleteAllItems();
  for (wxButton* button :
       {setAddressButton, getParamsButton, setParamsButton, dateButton, volumeButton, languageButton})
    button->Disable();
}

void PanelParamsBlock::UpdatePanel(const kalvo_lorim::Point& point) {
  setAddressButton->Enable(AppSettings.address == kalvo_lorim::NoAddress());
  getParamsButton->Enable();
  setParamsButton->Enable();
  const int kind = point.GetLastEvent().GetKind();
  if (kind == EventKind::ParamsRead || kind == EventKind::ParamsChanged) ShowParams(point);
}

void PanelParamsBlock::ShowParams(const kalvo_lorim::Point& point) {
  point.GetParams(shownParams);

  if (AppSettings.workInSystem) {
    const security::PointAccess configured = security::GetCurrentPointAccess();
    if (shownParams.GetDeviceCode() != configured.GetDeviceCode() ||
        shownParams.GetFirmwareVersion() != configured.GetFirmwareVersion()) {
      if (mismatchReported) return;
      mismatchReported = true;
      wxMessageBox(_("Points with the same address have different params. Please run "
                     "Kalvo_Security for config new security params."),
                   _(KALVO_TITLE), wxOK | wxICON_ERROR, nullptr);
      wxWindow* top = wxGetTopLevelParent(this);
      if (top != nullptr) top->Close();
      return;
    }
  }

  AppSettings.currentAlgorithm = shownParams.GetCurrentAlgorithm();

  const long n = static_cast<long>(shownParams.ParamCount());
  for (long m = dynamicList->GetItemCount(); m < n; ++m) dynamicList->InsertItem(m, wxString());
  for (long m = dynamicList->GetItemCount(); m > n; --m) dynamicList->DeleteItem(m - 1);

  const int precision = static_cast<int>(AppSettings.countDigitDynParams);
  for (long i = 0; i < n; ++i) {
    const PointParam& param = shownParams.GetParam(static_cast<std::size_t>(i));
    dynamicList->SetItem(i, 1, param.GetName());
    dynamicList->SetItem(i, 2, ValueTextOrEmpty(param, precision));
    if (AppSettings.workInSystem)
      dynamicList->SetItemTextColour(
          i, security::HasRight(param.GetId()) ? AllowedRowColour : DeniedRowColour);
  }

  for (long m = staticList->GetItemCount(); m < StaticRowCount; ++m)
    staticList->InsertItem(m, wxString());

  const auto row = [this](long r, const wxString& label, const wxString& value) {
    staticList->SetItem(r, 0, label);
    staticList->SetItem(r, 1, value);
  };
  const wxString noInformation = _("No information");

  shownAddressText = shownParams.GetAddress().Text();
  row(RowAddress, _("Device address"), shownAddressText);
  row(RowDevice, _("Device"), shownParams.GetDeviceName());
  row(RowDeviceCode, _("Device code"), wxString::Format("%d", shownParams.GetDeviceCode()));
  row(RowFirmware, _("Firmware version"), shownParams.GetFirmwareVersion());
  row(RowConfigurationDate, _("Configuration date"), DateText(shownParams.GetConfigurationDate()));
  row(RowAssemblyDate, _("Assembly date"), DateText(shownParams.GetAssemblyDate()));

  const kalvo_lorim::DateTime deviceDate = shownParams.GetDeviceDateTime();
  row(RowDeviceDate, _("Device date/time"), DateTimeText(deviceDate));
  dateButton->Enable(!deviceDate.IsNoInformation() && security::CanSetDeviceDate());

  const int volume = shownParams.GetVolumeLevel();
  row(RowVolume, _("Volume level"), volume == 255 ? noInformation : wxString::Format("%d", volume));
  volumeButton->Enable(volume != 255 && security::CanSetVolumeLevel());

  const int language = shownParams.GetLanguage();
  row(RowLanguage, _("Current device language"),
      language == 255 ? noInformation : languageNames.Name(language));
  languageButton->Enable(language != 255 && security::CanSetDeviceLanguage());

  const wxString factoryNumber = shownParams.GetFactoryNumber();
  const bool hasFactoryNumber = factoryNumber != UnknownVariableText;
  row(RowFactoryNumber, _("Factory number"), hasFactoryNumber ? factoryNumber : noInformation);
  factoryNumberButton->Enable(hasFactoryNumber);
}

void PanelParamsBlock::ResizeColumns() {
  const wxSize client = GetClientSize();
  const int w = client.x;
  const int h = client.y;
  const int v = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
  const int s = ((w - 10) / 5) * 2 - v - 20;
  const int d = ((w - 10) / 5) * 3 - v - 20;
  const int q = d / 4;
  // A panel too narrow for any column keeps the widths it had: the list
  // takes a negative width as one of its auto-size codes.
  if (s / 2 < 1 || q < 1) return;

  staticList->SetColumnWidth(0, s / 2);
  staticList->SetColumnWidth(1, s / 2);
  dynamicList->SetColumnWidth(1, 2 * q);
  dynamicList->SetColumnWidth(0, q);
  dynamicList->SetColumnWidth(2, q);

  if (h > 75) {
    staticList->SetInitialSize(wxSize(staticList->GetSize().x, h - 75));
    dynamicList->SetInitialSize(wxSize(dynamicList->GetSize().x, h - 75));
    dynamicList->Fit();
    staticList->Fit();
    // Only the height is held: a width kept as the lists' least would stop
    // them from narrowing with the window, and the columns set for the new
    // width would then scroll sideways in the list that got less room.
    for (wxListCtrl* list : {staticList, dynamicList}) list->SetMinSize(wxSize(0, h - 75));
  }
}

void PanelParamsBlock::OnSize(wxSizeEvent& event) {
  event.Skip();
  Layout();
  if (staticList != nullptr && dynamicList != nullptr) ResizeColumns();
}

bool PanelParamsBlock::MayEditRow(long row) const {
  if (row < 0) return false;
  if (static_cast<std::size_t>(row) >= shownParams.ParamCount()) return !AppSettings.workInSystem;
  return security::HasRight(shownParams.GetParam(static_cast<std::size_t>(row)).GetId());
}

void PanelParamsBlock::OnItemActivated(wxListEvent&) {
  const long row = dynamicList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
  if (row < 0) return;
  if (!MayEditRow(row)) return;
  dynamicList->EditLabel(row);
}

// The list starts label editing by its own gestures too (a click on a
// selected row, F2): without this check a user could type a value for a
// parameter he has no right for, and Set parameters would write it.
void PanelParamsBlock::OnBeginLabelEdit(wxListEvent& event) {
  if (!MayEditRow(event.GetIndex())) event.Veto();
}

void PanelParamsBlock::Post(int kind, const boost::any& argument) {
  commands->Post(kind, AppSettings.address, argument);
}

void PanelParamsBlock::OnSetParameters(wxCommandEvent&) {
  std::vector<wxString> texts;
  const long rows = dynamicList->GetItemCount();
  for (long i = 0; i < rows; ++i) {
    wxString text = dynamicList->GetItemText(i, 0);
    const bool known = static_cast<std::size_t>(i) < shownParams.ParamCount();
    // A text typed before the rights changed under it (a re-read of another
    // parameter set) is not written for a parameter the user may not edit.
    if (known && (text.empty() || !MayEditRow(i)))
      text = ExactValueTextOrEmpty(shownParams.GetParam(static_cast<std::size_t>(i)));
    texts.push_back(text);
  }
  Post(CommandKind::WriteParams, texts);
  if (!shownParams.GetConfigurationDate().IsNoInformation())
    Post(CommandKind::WriteDates, static_cast<std::int32_t>(0));
}

void PanelParamsBlock::OnGetParameters(wxCommandEvent&) {
  Post(CommandKind::ReadParams, static_cast<std::int32_t>(0));
}

void PanelParamsBlock::OnSetAddress(wxCommandEvent&) {
  if (AppSettings.address != kalvo_lorim::NoAddress()) return;
  wxTextEntryDialog dialog(this, _("Enter new device address"), _("Device address"),
                           shownAddressText, wxOK | wxCANCEL | wxCENTRE);
  if (dialog.ShowModal() != wxID_OK) return;
  const wxString text = dialog.GetValue();
  kalvo_lorim::Address address;
  if (!kalvo_lorim::ParseAddress(text, address) || address == kalvo_lorim::BroadcastAddress() ||
      address == kalvo_lorim::OwnAddress() || address == kalvo_lorim::NoAddress()) {
    // Every failure box carries the program's title; "Error" is the options
    // dialog's own.
    wxMessageBox(wxString::Format(_("Error in address %s!"), text), _(KALVO_TITLE),
                 wxOK | wxICON_ERROR, this);
    return;
  }
  commands->Post(CommandKind::WriteAddress, kalvo_lorim::NoAddress(), address);
}

void PanelParamsBlock::OnSetDate(wxCommandEvent&) {
  DlgSetDate dialog(mainFrame);
  if (dialog.ShowModal() == wxID_CANCEL) return;
  if (shownParams.GetDeviceDateTime().IsNoInformation()) return;
  Post(CommandKind::WriteDeviceDate, dialog.GetDateTime());
}

void PanelParamsBlock::OnSetVolumeLevel(wxCommandEvent&) {
  const std::uint8_t level = shownParams.GetVolumeLevel();
  if (level == 255) return;
  DlgVolumeLevelSlider dialog(mainFrame, commands, level);
  if (dialog.ShowModal() == wxID_OK) Post(CommandKind::Plug, static_cast<std::int32_t>(0));
}

void PanelParamsBlock::OnSetDeviceLanguage(wxCommandEvent&) {
  const std::vector<std::uint16_t> codes = shownParams.GetLanguages();
  // A point that lists no language at all cannot be given one either.
  if (codes.empty() || codes.front() == 255) {
    wxMessageBox("Device is unsupport locale", wxMessageBoxCaptionStr, wxOK | wxCENTRE);
    return;
  }
  wxArrayString names;
  for (std::uint16_t code : codes) names.Add(languageNames.Name(code));
  wxSingleChoiceDialog dialog(nullptr, wxString(), _("Choose device language"), names);
  dialog.SetSize(200, 150);
  dialog.Centre();
  if (dialog.ShowModal() != wxID_OK) return;
  const int chosen = dialog.GetSelection();
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= codes.size()) return;
  Post(CommandKind::WriteDeviceLanguage, static_cast<std::uint16_t>(codes[chosen]));
}

void PanelParamsBlock::OnSetFactoryNumber(wxCommandEvent&) {
  DlgFactoryNo dialog(mainFrame, shownParams.GetFactoryNumber());
  if (dialog.ShowModal() != wxID_OK) return;
  Post(CommandKind::WriteFactoryNumber, dialog.GetPassword());
  Post(CommandKind::WriteFactoryNumber, dialog.GetNumber());
  Post(CommandKind::Plug, static_cast<std::int32_t>(0));
}
