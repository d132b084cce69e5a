#include "gui_support.h"

#include "app/appsettings.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

namespace guitest {

bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  wxGUIEventLoop loop;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    // While a modal dialog runs its own loop inside this one, the next tick
    // after it ends ends this loop.
    if (!loop.IsRunning()) return;
    if (done() || std::chrono::steady_clock::now() >= deadline) loop.Exit();
  });
  timer.Start(5);
  loop.Run();
  timer.Stop();
  return done();
}

void RunLoopFor(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  RunLoopUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, ms + 1000);
}

void UseSimulatedLineSettings() {
  AppSettings.serialPort = "COM1";
  AppSettings.baudRate = "9600";
  AppSettings.address = kalvo_lorim::Address(255, 255, 255);
  AppSettings.waitReceiverTimeout = 40;
  AppSettings.keepXrcFonts = true;
  AppSettings.workInSystem = false;
  AppSettings.currentAlgorithm = 0;
}

ShownDialog Describe(wxDialog* dialog) {
  ShownDialog d;
  d.className = dialog->GetClassInfo() ? wxString(dialog->GetClassInfo()->GetClassName()) : wxString();
  d.title = dialog->GetTitle();
  if (auto* box = dynamic_cast<wxMessageDialogBase*>(dialog)) {
    d.title = box->GetCaption();
    d.message = box->GetMessage();
    d.style = box->GetMessageDialogStyle();
  }
  return d;
}

namespace {
std::set<wxDialog*> letThrough;
}  // namespace

ModalScript::Answer ShowAndDrive(std::function<void(wxDialog*)> drive) {
  return [drive](wxDialog* dialog) {
    letThrough.insert(dialog);
    dialog->CallAfter([dialog, drive] {
      drive(dialog);
      if (dialog->IsModal()) {
        // A drive that stopped half-way (a failed assertion) must not leave
        // the test waiting on the dialog.
        dialog->EndModal(wxID_CANCEL);
      } else if (wxEventLoopBase* modal = wxEventLoopBase::GetActive()) {
        // Ended from inside a loop of the drive's own (waiting for a click
        // to be handled): GTK's nested loops then leave the modal loop
        // running; it is told again.
        modal->ScheduleExit(dialog->GetReturnCode());
      }
    });
    return static_cast<int>(wxID_NONE);
  };
}

bool TakeLetThrough(wxDialog* dialog) { return letThrough.erase(dialog) > 0; }

ModalScript::ModalScript() { Register(); }

ModalScript::~ModalScript() { Unregister(); }

ModalScript& ModalScript::Then(Answer answer) {
  answers_.push_back(std::move(answer));
  return *this;
}

ModalScript& ModalScript::ThenId(int id) {
  return Then([id](wxDialog*) { return id; });
}

int ModalScript::Enter(wxDialog* dialog) {
  shown_.push_back(Describe(dialog));
  if (next_ >= answers_.size()) {
    ADD_FAILURE() << "unexpected modal dialog \"" << shown_.back().title << "\": "
                  << shown_.back().message;
    return wxID_CANCEL;
  }
  return answers_[next_++](dialog);
}

ScratchDir::ScratchDir() {
  char tmpl[] = "/tmp/kalvo-gui-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  old_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::current_path(old_, ec);
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
  const std::filesystem::path p = std::filesystem::path(path_) / name;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
}

std::string ScratchDir::Read(const std::string& name) const {
  std::ifstream in(std::filesystem::path(path_) / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool ScratchDir::Exists(const std::string& name) const {
  return std::filesystem::exists(std::filesystem::path(path_) / name);
}

}  // namespace guitest
