// Placeholder until the main window lands.
#include "app/mainframe.h"

#include "app/app.h"

std::function<void(const wxString&)> MainFrame::openHelpPage;

MainFrame::MainFrame(const WatchdogTiming& t)
    : wxFrame(nullptr, wxID_ANY, _(KALVO_TITLE), wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE | wxTAB_TRAVERSAL, "frame"),
      watchdogTimer(this, 666),
      timing(t) {}
MainFrame::~MainFrame() {}
void MainFrame::ConnectDevice(kalvo_lorim::SerialPortLorimProtocol::Configurator) {}
bool MainFrame::IsThreadStalled() const { return false; }
void MainFrame::RestartThread() {}
void MainFrame::OnOptions() {}
void MainFrame::OnPointChanged(kalvo_lorim::Point*) {}
std::uint64_t MainFrame::RefreshCount() const { return 0; }
void MainFrame::OnHelp(wxCommandEvent&) {}
void MainFrame::OnWatchdog(wxTimerEvent&) {}
void MainFrame::OnAccelerator(wxCommandEvent&) {}
void MainFrame::StopThread(bool) {}
void MainFrame::Refresh(const kalvo_lorim::Point&) {}
void MainFrame::ShowConnectFailure(const wxString&) {}

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
wxEND_EVENT_TABLE()
