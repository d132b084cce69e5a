// Placeholder until start-up lands.
#include "app/app.h"

const LanguageCode LanguageCodes[3] = {
    {"english", wxLANGUAGE_ENGLISH}, {"russian", wxLANGUAGE_RUSSIAN}, {"ukrainian", wxLANGUAGE_UKRAINIAN}};
std::map<wxString, wxString> LanguageNames;

gwxApp::gwxApp(const wxString& name, const wxString& localPath, const wxString& vendor)
    : iniName(name), localFile(localPath.empty() ? "./" + name : localPath), vendorName(vendor) {}
gwxApp::~gwxApp() {}
App::App() : gwxApp("kalvo_checker.ini", wxString(), wxString()) {}
App::~App() {}
bool App::OnInit() { return false; }
int App::OnExit() { return 0; }
bool App::LoadSave(bool) { return true; }
