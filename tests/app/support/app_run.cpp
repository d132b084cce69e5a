#include "app_run.h"

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

}  // namespace guitest
