#pragma once
// Helpers for tests that run the real windows under Xvfb.

#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/string.h>

namespace guitest {

// Runs the toolkit's event loop until `done` answers true or the time is up;
// returns what `done` answers at the end.
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs);
// Lets the pending events and idle work run for about `ms` milliseconds.
void RunLoopFor(int ms);

// The settings of a stand-alone start that reach a simulated point linked as
// COM1: 9600 baud, the point reached directly at 255.255.255, 40 ms, the
// resource fonts kept, no current algorithm known yet.
void UseSimulatedLineSettings();

// A dialog that asked to be shown modally.
struct ShownDialog {
  wxString className;
  wxString title;    // the caption of a message box
  wxString message;  // message boxes only
  long style = 0;    // message boxes only
};

// Answers modal dialogs, in order, for the life of the object; none is shown.
// Each answer gets the dialog (set its controls there) and returns the id that
// ShowModal returns. A dialog beyond the script fails the test and gets
// wxID_CANCEL, so no test ever waits on a modal loop.
class ModalScript : public wxModalDialogHook {
 public:
  using Answer = std::function<int(wxDialog*)>;

  ModalScript();
  ~ModalScript() override;

  ModalScript& Then(Answer answer);
  ModalScript& ThenId(int id);
  const std::vector<ShownDialog>& Shown() const { return shown_; }
  // How many answers of the script have not been used.
  std::size_t Pending() const { return answers_.size() - next_; }

 protected:
  int Enter(wxDialog* dialog) override;
  void Exit(wxDialog*) override {}

 private:
  std::vector<Answer> answers_;
  std::size_t next_ = 0;
  std::vector<ShownDialog> shown_;
};

ShownDialog Describe(wxDialog* dialog);

// An answer of a ModalScript that lets the dialog really show; `drive` then
// runs inside its modal loop (to type into it and end it).
ModalScript::Answer ShowAndDrive(std::function<void(wxDialog*)> drive);
// Whether the script let this dialog show; asked by the test main's last hook.
bool TakeLetThrough(wxDialog* dialog);

// A fresh temporary folder made the working directory for the life of the
// object; the old working directory comes back and the folder is removed.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  // Writes a file below the folder (relative name), making its folders.
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
  std::string old_;
};

}  // namespace guitest
