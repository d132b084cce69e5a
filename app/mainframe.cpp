#include "app/mainframe.h"

#include <wx/accel.h>
#include <wx/filename.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "app/adjustpoint.h"
#include "app/app.h"
#include "app/appsettings.h"
#include "app/dlgoptions.h"
#include "app/panelalgorithms.h"
#include "app/panelinfo.h"
#include "app/panelparamsblock.h"
#include "app/panelstatus.h"
#include "app/pointrefresh.h"
#include "app/kalvo_checker.xpm"
#include "kalvo_lorim/thread.h"

using kalvo_lorim::SerialPortLorimProtocol;

namespace {
constexpr int WatchdogId = 666;
constexpr int HelpId = 100;
// Closing: how often, and how far apart, a thread inside one read is looked
// at before it counts as stuck.
constexpr int StuckChecks = 5;
constexpr unsigned StuckCheckMs = 100;
}  // namespace

std::function<void(const wxString&)> MainFrame::openHelpPage = [](const wxString& url) {
  wxLaunchDefaultBrowser(url);
};

MainFrame::MainFrame(const WatchdogTiming& t)
    : wxFrame(nullptr, wxID_ANY, _(KALVO_TITLE), wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL, "frame"),
      watchdogTimer(this, WatchdogId),
      timing(t) {
  refresh = PointRefresh::Create(this, [this](const kalvo_lorim::Point& point) { RefreshPanels(point); });
  SetIcon(wxIcon(kalvo_checker_xpm));

  sizer = new wxBoxSizer(wxVERTICAL);
  panelInfo = new PanelInfo(this);
  panelAlgorithms = new PanelAlgorithms(this, &points, &commandQueue);
  panelParamsBlock = new PanelParamsBlock(this, &points, &commandQueue);
  panelStatus = new PanelStatus(this);
  sizer->Add(panelInfo, 2, wxEXPAND | wxALL, 0);
  sizer->Add(panelAlgorithms, 5, wxEXPAND | wxALL, 0);
  sizer->Add(panelStatus, 7, wxEXPAND | wxALL, 0);
  sizer->Add(panelParamsBlock, 14, wxEXPAND | wxALL, 0);
  SetSizer(sizer);
  Layout();
  // The whole display with the title bar kept: on GTK a full-screen window
  // loses its decoration, so the window is maximised instead (and sized to
  // the display first, for a display without a window manager).
  SetSize(wxGetClientDisplayRect());
  Maximize(true);
  Show(true);

  wxAcceleratorEntry entries[5];
  entries[0].Set(wxACCEL_NORMAL, WXK_F2, XRCID("ID_SET_PARAMETERS"));
  entries[1].Set(wxACCEL_NORMAL, WXK_F3, XRCID("ID_GET_PARAMS"));
  entries[2].Set(wxACCEL_NORMAL, WXK_F5, XRCID("ID_RESTART_MEASURES"));
  entries[3].Set(wxACCEL_NORMAL, WXK_F1, HelpId);
  entries[4].Set(wxACCEL_NORMAL, WXK_F4, XRCID("ID_RESTART_ALL"));
  SetAcceleratorTable(wxAcceleratorTable(5, entries));
  for (const char* name : {"ID_SET_PARAMETERS", "ID_GET_PARAMS", "ID_RESTART_MEASURES", "ID_RESTART_ALL"}) {
    Bind(wxEVT_MENU, &MainFrame::OnAccelerator, this, XRCID(name));
  }

  thread = nullptr;
  if (AppSettings.workInSystem) App::SelectCurrentPoint();
  Connect();
  watchdogTimer.Start(timing.periodMs);
}

MainFrame::~MainFrame() {
  watchdogTimer.Stop();
  refresh->Close();
  StopThread();
}

void MainFrame::Connect() {
  // The old thread goes before the new configuration is even built: one that
  // is refused must not leave the old point polled behind its message.
  StopThread();
  try {
    ConnectDevice(App::MakePortConfigurator());
  } catch (const SerialPortLorimProtocol::ConfiguratorException& e) {
    // A time-out below the minimum or a baud rate outside the set: no
    // thread, and the options dialog can put it right.
    ShowConnectFailure(e.GetMessage());
  }
}

void MainFrame::ConnectDevice(SerialPortLorimProtocol::Configurator configurator) {
  StopThread();
  points.RemoveAll();
  points.Add(new AdjustPoint(AppSettings.address));
  configurator.SetBaudRate(wxAtoi(AppSettings.baudRate));
  thread = new kalvo_lorim::Thread(configurator, &points, nullptr, &commandQueue, this, false);
  if (!thread->Start()) {
    delete thread;
    thread = nullptr;
    ShowConnectFailure(_("The device thread cannot be started"));
  }
}

void MainFrame::StopThread() {
  if (thread) {
    // A thread inside one read that does not move on for half a second is
    // given up rather than waited for; any other is stopped in order.
    const std::uint32_t t0 = thread->GetReadStartTick();
    bool stuck = false;
    for (int i = 0; i < StuckChecks; ++i) {
      if (thread->IsReading() && thread->GetReadStartTick() == t0) {
        stuck = true;
        wxMilliSleep(StuckCheckMs);
      } else {
        stuck = false;
        break;
      }
    }
    if (stuck) {
      thread->Abandon();
      thread = nullptr;
      points.ReleaseBusy();
    } else {
      thread->Stop();
      thread = nullptr;
    }
  }
  // What the old thread still queued is not shown over what comes next.
  refresh->DropPending();
}

bool MainFrame::IsThreadStalled() const {
  if (!thread || !thread->IsReading()) return false;
  return thread->MsSinceReadStart() > timing.stallMs;
}

void MainFrame::OnWatchdog(wxTimerEvent&) {
  if (!thread || !IsThreadStalled()) return;
  wxCriticalSectionLocker locker(lock);
  RestartThread();
}

void MainFrame::RestartThread() {
  if (thread) {
    thread->Abandon();
    thread = nullptr;
    points.ReleaseBusy();
  }
  ++restarts;
  Connect();
}

void MainFrame::OnPointChanged(kalvo_lorim::Point* point) { refresh->Post(*point); }

void MainFrame::RefreshPanels(const kalvo_lorim::Point& point) {
  PanelGeneric* panels[] = {panelAlgorithms, panelInfo, panelParamsBlock, panelStatus};
  if (point.IsFailed()) {
    for (PanelGeneric* panel : panels) panel->ClearPanel(point);
  } else {
    for (PanelGeneric* panel : panels) panel->UpdatePanel(point);
  }
}

void MainFrame::ShowConnectFailure(const wxString& text) {
  // Nothing polls: no panel offers a command that no thread would carry out.
  // Clearing alone is not enough: it leaves the algorithm buttons of an empty
  // list, and the factory-number button, as they were.
  const AdjustPoint unserved(AppSettings.address);
  PanelGeneric* panels[] = {panelAlgorithms, panelParamsBlock, panelStatus};
  for (PanelGeneric* panel : panels) panel->ClearPanel(unserved);
  panelAlgorithms->DisableCommands();
  panelParamsBlock->DisableCommands();
  panelInfo->ShowFailure(text);
}

void MainFrame::OnOptions() {
  DlgOptions* dialog = AppSettings.workInSystem ? static_cast<DlgOptions*>(new DlgOptionsInSystem(this))
                                                : static_cast<DlgOptions*>(new DlgOptionsGeneral(this));
  const int result = dialog->ShowModal();
  wxString port;
  wxString baud;
  kalvo_lorim::Address address(255, 255, 255);
  if (result == wxID_OK) dialog->GetResult(port, address, baud);
  dialog->Destroy();
  if (result != wxID_OK) return;
  // The dialog refused the address it was given: nothing to apply.
  if (address == kalvo_lorim::OwnAddress()) return;
  AppSettings.serialPort = port;
  AppSettings.address = address;
  AppSettings.baudRate = baud;
  if (AppSettings.workInSystem) App::SelectCurrentPoint();
  Connect();
}

void MainFrame::OnHelp(wxCommandEvent&) {
  wxString page;
  if (AppSettings.language == "ukrainian" || AppSettings.language == "russian") {
    page = "help/rus/index.htm";
  } else if (AppSettings.language == "english") {
    page = "help/enu/index.htm";
  } else {
    return;
  }
  wxFileName file(page);
  file.MakeAbsolute();
  if (!file.FileExists()) return;
  openHelpPage(wxFileName::FileNameToURL(file));
}

void MainFrame::OnAccelerator(wxCommandEvent& event) {
  // A key acts as a click on its button, and only while the button is
  // enabled: in work-in-system mode the disabled button is the rights gate.
  wxWindow* button = FindWindow(event.GetId());
  if (!button || !button->IsEnabled()) return;
  wxCommandEvent click(wxEVT_BUTTON, event.GetId());
  click.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(click);
}

void MainFrame::OnClose(wxCloseEvent& event) {
  // Nothing reaches the panels once closing began.
  refresh->Close();
  event.Skip();
}

std::uint64_t MainFrame::RefreshCount() const { return refresh->Applied(); }

wxIMPLEMENT_CLASS(MainFrame, wxFrame);

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
  EVT_MENU(HelpId, MainFrame::OnHelp)
  EVT_TIMER(WatchdogId, MainFrame::OnWatchdog)
  EVT_CLOSE(MainFrame::OnClose)
wxEND_EVENT_TABLE()
