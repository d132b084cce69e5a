#pragma once
// The application object: start-up, settings file, language, command line.

#include <cstddef>
#include <map>
#include <string>

#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/intl.h>
#include <wx/snglinst.h>
#include <wx/string.h>

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

  // A settings file larger than this is not read: every key takes its default.
  static constexpr std::size_t MaxSettingsFileSize = 256 * 1024;

 protected:
  // Writes the settings file when the settings were saved during the run;
  // false, with the old file left whole, when it cannot be written.
  bool WriteSettingsFile();
  // How the settings file was handed to the configuration object.
  struct SettingsSource {
    // Not bound to the file, which was damaged (the object starts empty) or
    // could only be read mended (the object holds the mended text); written
    // out by WriteSettingsFile, in the coding below.
    bool detached = false;
    // The file's byte order mark, and whether it was read one character per
    // byte; a damaged file has neither and is written in UTF-8.
    std::string mark;
    bool byBytes = false;
  };
  // The configuration object of the settings file at `path`.
  static wxFileConfig* OpenSettingsFile(const wxString& name, const wxString& vendor,
                                        const wxString& path, SettingsSource& source);

  wxString iniName;
  wxFileConfig* config = nullptr;
  wxString localFile;
  bool loading = false;
  wxString vendorName;
  wxLocale* locale = nullptr;
  int languageCode = wxLANGUAGE_DEFAULT;
  SettingsSource settingsSource;
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
