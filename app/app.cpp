// The application object: start-up, language and catalogs, shutdown.
#include "app/app.h"

#include <clocale>
#include <cstdio>
#include <string>

#include <wx/bitmap.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/splash.h>
#include <wx/settings.h>
#include <wx/translation.h>
#include <wx/xrc/xmlres.h>

#include "XRC_resource/resource.h"
#include "app/appsettings.h"
#include "app/mainframe.h"
#include "security/exception.h"
#include "security/rights.h"

const LanguageCode LanguageCodes[3] = {
    {"english", wxLANGUAGE_ENGLISH}, {"russian", wxLANGUAGE_RUSSIAN}, {"ukrainian", wxLANGUAGE_UKRAINIAN}};
std::map<wxString, wxString> LanguageNames;

namespace {

// The toolkit's own catalog as Debian's wx3.2-i18n installs it.
const char* const ToolkitCatalog = "wxstd-3.2";

void ShowStartupError(const wxString& text) {
  wxMessageBox(text, _(KALVO_TITLE), wxOK | wxICON_ERROR);
}

}  // namespace

int LanguageCodeFromName(const wxString& name) {
  const wxString lower = name.Lower();
  for (const LanguageCode& row : LanguageCodes) {
    if (lower == row.name) return row.code;
  }
  return wxLANGUAGE_DEFAULT;
}

wxString LanguageNameFromCode(int code) {
  for (const LanguageCode& row : LanguageCodes) {
    if (row.code == code) return row.name;
  }
  return wxString();
}

void FillLanguageNames() {
  LanguageNames[LanguageNameFromCode(wxLANGUAGE_ENGLISH)] = wxString::FromUTF8("English");
  LanguageNames[LanguageNameFromCode(wxLANGUAGE_RUSSIAN)] = wxString::FromUTF8("Русский");
  LanguageNames[LanguageNameFromCode(wxLANGUAGE_UKRAINIAN)] = wxString::FromUTF8("Українська");
}

void SetFontSizesForScreenWidth(int width) {
  int info = 0, title = 0;
  switch (width) {
    case 800: info = 18; title = 10; break;
    case 1024: info = 20; title = 12; break;
    case 1152: info = 24; title = 14; break;
    default:
      AppSettings.keepXrcFonts = true;
      return;
  }
  AppSettings.keepXrcFonts = false;
  AppSettings.infoFontSize = info;
  AppSettings.titleFontSize = title;
}

gwxApp::gwxApp(const wxString& name, const wxString& localPath, const wxString& vendor)
    : iniName(name), localFile(localPath.empty() ? "./" + name : localPath), vendorName(vendor) {
  locale = new wxLocale();
  settingsFile = std::make_unique<SettingsFile>(localFile);
  config = settingsFile->MakeConfig();
}

gwxApp::~gwxApp() {
  if (saved) {
    const std::string path = localFile.utf8_string();
    wxLogNull quiet;  // said here; no box while the program ends
    // The reason was said when the file was read, or by the write.
    if (!settingsFile->Write(*config)) {
      std::fprintf(stderr, "kalvo_checker: the settings file %s is left as it was; the settings of this run are "
                   "not saved\n", path.c_str());
    }
  }
  delete config;
  delete locale;
}

bool gwxApp::InitLanguage() {
  loading = true;
  config->SetPath("/i18n");
  wxString name;
  config->Read("Language", &name, wxString());
  config->SetPath("/");
  languageCode = LanguageCodeFromName(name);

  // The program's catalogs lie in the language folders of the working directory.
  wxFileTranslationsLoader::AddCatalogLookupPathPrefix(".");
  {
    // A language the system has no locale for is no failure: the catalogs
    // still translate, and no box says otherwise.
    wxLogNull quiet;
    // The old flag for converting catalog encodings is gone: catalogs carry
    // their charset.
    locale->Init(languageCode, wxLOCALE_LOAD_DEFAULT);
    AddCatalog(ToolkitCatalog);
  }
  return LoadSave(true);
}

void gwxApp::SaveLanguage() {
  loading = false;
  saved = true;
  // An entry pinned in the file keeps its value; the toolkit's warning of it
  // would open a box as the program ends.
  wxLogNull quiet;
  config->SetPath("/i18n");
  config->Write("Language", LanguageNameFromCode(languageCode));
  config->SetPath("/");
  LoadSave(false);
}

void gwxApp::AddCatalog(const wxString& domain) {
  wxLogNull quiet;  // a missing catalog leaves the texts in English
  locale->AddCatalog(domain);
}

App::App() : gwxApp("kalvo_checker.ini", wxString(), wxString()) { securityData.SetMapPath(mapPath); }

App::~App() { delete instanceChecker; }

void App::SetLanguageFromName(const wxString& name) { languageCode = LanguageCodeFromName(name); }

void App::AddCatalogs() {
  AddCatalog("kalvo_lorim");
  AddCatalog("security");
  AddCatalog("KALVO_Checker");
  std::setlocale(LC_NUMERIC, "C");
}

bool App::CheckUsers() {
  try {
    securityData.ReadUsersSection();
    if (securityData.IsUsersSectionEmpty()) {
      throw security::Exception(_("There are no register users. "), "app", 343);
    }
    securityData.LoadUsers();
    return true;
  } catch (const security::Exception& e) {
    ShowStartupError(e.GetMessage() + _("Please run Melvar_Monitor and kalvo_security program"));
    return false;
  }
}

bool App::CheckPoints() {
  try {
    securityData.ReadPointsSection();
    if (securityData.IsPointsSectionEmpty()) {
      throw security::Exception(_("There are no config devices. "), "app", 368);
    }
    securityData.LoadPoints();
    return true;
  } catch (const security::Exception& e) {
    ShowStartupError(e.GetMessage() + _("Please run Melvar_Monitor and kalvo_security program"));
    return false;
  }
}

bool App::StartInSystem() {
  security::SetWorkInSystem(true);
  if (!CheckUsers() || !CheckPoints()) return false;
  if (argc > 1) {
    if (!ParseCommandLine()) {
      ShowStartupError(_("Error command line"));
      return false;
    }
    StartedFromSystem = true;
  } else {
    ShowStartupError(_("Kalvo_Checker can run only from Melvar_Monitor"));
    return false;
  }
  if (!securityData.Login(cmdLogin, cmdPassword)) {
    ShowStartupError(_("Error command line"));
    return false;
  }
  AppSettings.address = cmdAddress;
  AppSettings.serialPort = cmdPort;
  AppSettings.waitReceiverTimeout = cmdTimeout;
  return true;
}

bool App::OnInit() {
  // No catalog is loaded yet: the lock's name is the plain title.
  instanceChecker = new wxSingleInstanceChecker;
  bool locked;
  {
    wxLogNull quiet;
    locked = instanceChecker->Create(_(KALVO_TITLE));
  }
  // Without a lock (home folder not writable) the program still runs.
  if (!locked) std::fprintf(stderr, "kalvo_checker: cannot take the single-instance lock\n");
  if (instanceChecker->IsAnotherRunning()) return false;

  wxXmlResource::Get()->InitAllHandlers();
  InitXmlResource();

  if (!InitLanguage()) return false;
  FillLanguageNames();

  switch (languageCode) {
    case wxLANGUAGE_RUSSIAN: resourceFolder = "./ru/"; break;
    case wxLANGUAGE_UKRAINIAN: resourceFolder = "./uk/"; break;
    default: resourceFolder = "./"; break;
  }

  SetVendorName("KALVO Software");
  SetAppName(_(KALVO_TITLE));

  wxImage::AddHandler(new wxXPMHandler);
  {
    wxLogNull quiet;
    const wxString splashFile = resourceFolder + "splash.xpm";
    wxBitmap picture;
    if (wxFileExists(splashFile) && picture.LoadFile(splashFile, wxBITMAP_TYPE_XPM) &&
        picture.IsOk()) {
      auto* splash = new wxSplashScreen(picture, wxSPLASH_CENTRE_ON_SCREEN, 0, nullptr, wxID_ANY,
                                        wxDefaultPosition, wxDefaultSize,
                                        wxSIMPLE_BORDER | wxFRAME_NO_TASKBAR | wxSTAY_ON_TOP);
      wxYield();
      splash->Close(true);
    }
  }

  SetFontSizesForScreenWidth(wxSystemSettings::GetMetric(wxSYS_SCREEN_X));

  MainFrame* frame = new MainFrame();
  frame->Show();
  SetTopWindow(frame);
  return true;
}

int App::OnExit() {
  delete instanceChecker;
  instanceChecker = nullptr;
  SetLanguageFromName(AppSettings.language);
  SaveLanguage();
  gwxApp::OnExit();
  return 0;
}

void App::SelectCurrentPoint() {
  if (!AppSettings.workInSystem || security::PointAccessList.empty()) return;
  security::PointAccess chosen = security::PointAccessList.front();
  if (AppSettings.address != kalvo_lorim::NoAddress()) {
    for (const security::PointAccess& record : security::PointAccessList) {
      if (record.GetAddress() == AppSettings.address) {
        chosen = record;
        break;
      }
    }
  }
  security::SetCurrentPointAccess(chosen);
  AppSettings.address = chosen.GetAddress();
}
