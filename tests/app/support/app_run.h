#pragma once
// The real application object in a window test, made the toolkit's instance
// for its life, as the toolkit's entry makes it.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/mainframe.h"
#include "gui_support.h"

namespace guitest {

// The program's globals as a fresh process has them.
void ResetGlobals();
// The main window among the top-level windows, or null.
MainFrame* FindMainFrame();

class AppRun {
 public:
  explicit AppRun(std::vector<std::string> args);
  ~AppRun();  // the settings file is written here
  AppRun(const AppRun&) = delete;
  AppRun& operator=(const AppRun&) = delete;

  App* operator->() { return app_; }

  // Closes the main window as the operator does and ends the program.
  void Close();

 private:
  wxAppConsole* previous_;
  App* app_ = nullptr;
  std::vector<std::string> args_;
  std::vector<char*> argv_;
};

// Where the program starts in a test: a scratch folder with the home folder
// of the single-instance lock (HOME for the life of the object), the working
// folder "work" (the working directory) with the catalogs of the run folder,
// and the map file beside it ("../config.map").
class StartFolder {
 public:
  StartFolder(const std::string& runFolder, const std::optional<std::string>& ini,
              const std::optional<std::string>& map = std::nullopt);
  ~StartFolder();
  StartFolder(const StartFolder&) = delete;
  StartFolder& operator=(const StartFolder&) = delete;

  std::filesystem::path Root() const { return dir_.Path(); }
  bool HasIni() const { return dir_.Exists("work/kalvo_checker.ini"); }
  std::string Ini() const { return dir_.Read("work/kalvo_checker.ini"); }
  void Write(const std::string& name, const std::string& content) const { dir_.Write(name, content); }

 private:
  ScratchDir dir_;
  std::optional<std::string> oldHome_;
};

}  // namespace guitest
