#pragma once
// The program's only top-level window: the four panels, the device thread
// that polls the served point, and the watchdog that replaces a stalled one.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/string.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include "kalvo_lorim/command.h"
#include "kalvo_lorim/eventcmdtarget.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"

namespace kalvo_lorim {
class Thread;
}

class PanelInfo;
class PanelAlgorithms;
class PanelParamsBlock;
class PanelStatus;
class PointRefresh;

// The watchdog's period and the time a read may take before the device
// thread counts as stalled. Only tests shorten them.
struct WatchdogTiming {
  int periodMs = 40000;
  std::uint32_t stallMs = 40000;
};

class MainFrame : public wxFrame, public kalvo_lorim::EventCmdTarget {
 public:
  using WatchdogTiming = ::WatchdogTiming;

  explicit MainFrame(const WatchdogTiming& timing = WatchdogTiming());
  ~MainFrame() override;

  // Stops a running device thread, serves one new point at
  // AppSettings.address and starts a new thread. Throws the configuration's
  // refusal of the baud rate.
  void ConnectDevice(kalvo_lorim::SerialPortLorimProtocol::Configurator configurator);
  bool IsThreadStalled() const;
  // Gives up the device thread and connects again.
  void RestartThread();
  void OnOptions();

  // Device thread side.
  void OnPointChanged(kalvo_lorim::Point* point) override;

  // How F1 opens a help page (a file:// address); tests replace it.
  static std::function<void(const wxString& url)> openHelpPage;

  PanelInfo* GetPanelInfo() const { return panelInfo; }
  PanelAlgorithms* GetPanelAlgorithms() const { return panelAlgorithms; }
  PanelParamsBlock* GetPanelParamsBlock() const { return panelParamsBlock; }
  PanelStatus* GetPanelStatus() const { return panelStatus; }
  CommandQueue& GetCommandQueue() { return commandQueue; }
  kalvo_lorim::PointsCollection& GetPoints() { return points; }
  bool HasThread() const { return thread != nullptr; }
  // Refreshes applied to the panels so far.
  std::uint64_t RefreshCount() const;
  // Device threads given up by the watchdog so far.
  unsigned RestartCount() const { return restarts; }
  // The hand-over of refreshes; it outlives the window for whoever keeps it.
  std::shared_ptr<PointRefresh> GetRefresh() const { return refresh; }

 private:
  // Connects with the settings; a refused configuration leaves no thread
  // and says so in the information panel.
  void Connect();
  // Stops or gives up the device thread, and drops the refreshes it left.
  void StopThread();
  void OnHelp(wxCommandEvent& event);
  void OnWatchdog(wxTimerEvent& event);
  void OnAccelerator(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  // The four panels from one point copy, on the GUI thread.
  void RefreshPanels(const kalvo_lorim::Point& point);
  void ShowConnectFailure(const wxString& text);

  wxBoxSizer* sizer = nullptr;
  PanelInfo* panelInfo = nullptr;
  PanelAlgorithms* panelAlgorithms = nullptr;
  PanelParamsBlock* panelParamsBlock = nullptr;
  PanelStatus* panelStatus = nullptr;
  kalvo_lorim::Thread* thread = nullptr;
  CommandQueue commandQueue;
  kalvo_lorim::PointsCollection points;
  wxTimer watchdogTimer;
  wxCriticalSection lock;
  WatchdogTiming timing;
  std::shared_ptr<PointRefresh> refresh;
  unsigned restarts = 0;

  wxDECLARE_CLASS(MainFrame);
  wxDECLARE_EVENT_TABLE();
};
