#pragma once
// Volume level of the current point, sent while the operator chooses it.

#include <wx/dialog.h>
#include <wx/timer.h>

class CommandQueue;
class wxSlider;

class DlgVolumeLevelSlider : public wxDialog {
 public:
  // Posts the volume command (34, payload unsigned char) for
  // AppSettings.address on every slider move and every second while open;
  // Cancel posts `level` last. `queue` is not owned and must outlive the dialog.
  DlgVolumeLevelSlider(wxWindow* parent, CommandQueue* queue, unsigned char level);
  ~DlgVolumeLevelSlider() override;

  static constexpr int RepeatMs = 1000;

  unsigned char GetLevel() const { return level_; }
  // The one-second repeat, for callers that need to know whether it still runs.
  const wxTimer& RepeatTimer() const { return timer_; }

  void OnTimer(wxTimerEvent& event);
  void OnOK(wxCommandEvent& event);
  void OnCancel(wxCommandEvent& event);
  void OnSlider(wxCommandEvent& event);

 private:
  void PostLevel(unsigned char level);

  unsigned char level_ = 0;
  unsigned char openingLevel_ = 0;
  wxWindow* parent_ = nullptr;
  CommandQueue* queue_ = nullptr;
  wxSlider* slider_ = nullptr;
  wxTimer timer_;

  wxDECLARE_EVENT_TABLE();
};
