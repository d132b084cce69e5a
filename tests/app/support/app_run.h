#pragma once
// The real application object in a window test, made the toolkit's instance
// for its life, as the toolkit's entry makes it.

#include <string>
#include <vector>

#include "app/app.h"
#include "app/mainframe.h"

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

}  // namespace guitest
