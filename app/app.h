#pragma once
// The application object: start-up, settings file, language, command line.

#include <map>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/intl.h>
#include <wx/snglinst.h>
#include <wx/string.h>

#include "app/settingsfile.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "kalvo_lorim/types.h"
#include "security/loadsavedata.h"

// Program languages: the name the settings file stores and the toolkit's id.
struct LanguageCode {
  const char* name;
  int code;
};
extern const LanguageCode LanguageCodes[3];
// Language name -> the name shown to the user.
extern std::map<wxString, wxString> LanguageNames;

int LanguageCodeFromName(const wxString& name);
wxString LanguageNameFromCode(int code);
void FillLanguageNames();

// Panel font sizes for a screen of this width in pixels (start-up asks the
// screen; tests give a width).
void SetFontSizesForScreenWidth(int width);

// The program title; every message box carries it (translated).
#define KALVO_TITLE "KALVO_Checker 2.16"

class gwxApp : public wxApp {
 public:
  gwxApp(const wxString& name, const wxString& localPath, const wxString& vendorName);
  ~gwxApp() override;

  virtual bool LoadSave(bool loading) = 0;

  bool InitLanguage();
  void SaveLanguage();
  int GetLanguageCode() const { return languageCode; }
  void AddCatalog(const wxString& domain);

  bool ExchangeString(const wxString& group, const wxString& key, wxString& field,
                      const wxString& defaultValue);
  bool ExchangeBool(const wxString& group, const wxString& key, bool& field, bool defaultValue);
  bool ExchangeLong(const wxString& group, const wxString& key, long& field, long defaultValue);

 protected:
  wxString iniName;
  wxFileConfig* config = nullptr;
  wxString localFile;
  bool loading = false;
  wxString vendorName;
  wxLocale* locale = nullptr;
  int languageCode = wxLANGUAGE_DEFAULT;
  // The settings file as text; `config` holds what was read of it.
  std::unique_ptr<SettingsFile> settingsFile;
  // SaveLanguage ran: only then does the file get written.
  bool saved = false;
};

class App : public gwxApp {
 public:
  App();
  ~App() override;

  bool OnInit() override;
  int OnExit() override;
  bool LoadSave(bool loading) override;

  void SetLanguageFromName(const wxString& name);
  void AddCatalogs();
  bool CheckUsers();
  bool CheckPoints();
  bool ParseCommandLine();

  // The port configuration for the device thread, from AppSettings.
  static kalvo_lorim::SerialPortLorimProtocol::Configurator MakePortConfigurator();
  // Work-in-system mode: chooses the configured point and the address to serve.
  static void SelectCurrentPoint();

  // Shows the login dialog and logs in with what was typed.
  bool LoginWithDialog();
  bool dialogLoginAccepted = false;

  security::SecurityData& GetSecurityData() { return securityData; }
  const wxString& GetCmdLogin() const { return cmdLogin; }
  const wxString& GetCmdPassword() const { return cmdPassword; }
  const wxString& GetCmdPort() const { return cmdPort; }
  kalvo_lorim::Address GetCmdAddress() const { return cmdAddress; }
  long GetCmdTimeout() const { return cmdTimeout; }
  // The resource folder chosen at start: "./", "./ru/" or "./uk/".
  const wxString& GetResourceFolder() const { return resourceFolder; }

 private:
  // The last steps of loading in work-in-system mode: map file, command line
  // and login; false after its message box.
  bool StartInSystem();

  security::SecurityData securityData;
  wxString cmdPassword;
  wxString cmdLogin;
  wxString cmdPort;
  kalvo_lorim::Address cmdAddress;
  long cmdTimeout = 0;
  wxSingleInstanceChecker* instanceChecker = nullptr;
  std::string mapPath = "../config.map";
  wxString resourceFolder = "./";
};

wxDECLARE_APP(App);
