#include "app_run.h"

#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/fs_mem.h>
#include <wx/toplevel.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "gui_support.h"
#include "security/loadsavedata.h"
#include "security/rights.h"

namespace guitest {

void ResetGlobals() {
  AppSettings = AppSettingsRecord();
  StartedFromSystem = false;
  security::SetWorkInSystem(false);
  security::CurrentUser = security::UserRecord();
  security::UserList.clear();
  security::PointAccessList.clear();
  security::SetCurrentPointAccess(security::PointAccess());
}

MainFrame* FindMainFrame() {
  for (wxWindow* w : wxTopLevelWindows) {
    if (auto* frame = dynamic_cast<MainFrame*>(w)) return frame;
  }
  return nullptr;
}

AppRun::AppRun(std::vector<std::string> args) : previous_(wxApp::GetInstance()) {
  ResetGlobals();
  // The test program registered the built-in resources already; start-up
  // registers them again, as the program does once.
  wxXmlResource::Get()->Unload("memory:XRC_resource/resource.cpp$._resource.xrc");
  wxMemoryFSHandler::RemoveFile("XRC_resource/resource.cpp$._resource.xrc");
  args_ = {"kalvo_checker"};
  args_.insert(args_.end(), args.begin(), args.end());
  for (std::string& a : args_) argv_.push_back(a.data());
  app_ = new App;
  app_->argc = static_cast<int>(argv_.size());
  app_->argv.Init(app_->argc, argv_.data());
}

AppRun::~AppRun() {
  delete app_;
  wxApp::SetInstance(previous_);
  ResetGlobals();
}

void AppRun::Close() {
  MainFrame* frame = FindMainFrame();
  ASSERT_NE(frame, nullptr);
  frame->Close(true);
  ASSERT_TRUE(RunLoopUntil([] { return FindMainFrame() == nullptr; }, 10000));
  EXPECT_EQ(app_->OnExit(), 0);
}

StartFolder::StartFolder(const std::string& runFolder, const std::optional<std::string>& ini,
                         const std::optional<std::string>& map) {
  namespace fs = std::filesystem;
  fs::create_directories(Root() / "home");
  fs::create_directories(Root() / "work");
  if (ini) dir_.Write("work/kalvo_checker.ini", *ini);
  if (map) dir_.Write("config.map", *map);
  // The program's catalogs, as the run folder holds them.
  for (const char* lang : {"ru", "uk"}) {
    fs::create_directories(Root() / "work" / lang);
    for (const auto& f : fs::directory_iterator(fs::path(runFolder) / lang)) {
      if (f.path().extension() == ".mo") fs::copy_file(f.path(), Root() / "work" / lang / f.path().filename());
    }
  }
  if (const char* home = std::getenv("HOME")) oldHome_ = home;
  setenv("HOME", (Root() / "home").c_str(), 1);
  fs::current_path(Root() / "work");
}

StartFolder::~StartFolder() {
  if (oldHome_) {
    setenv("HOME", oldHome_->c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

}  // namespace guitest
