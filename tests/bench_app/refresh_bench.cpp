// Time from a point accepting an event on the device thread to the end of
// the panels' refresh on the GUI thread, against a simulated point.
//   xvfb-run -a kalvo_bench_refresh [events]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/xrc/xmlres.h>

#include "XRC_resource/resource.h"
#include "app/appsettings.h"
#include "app/mainframe.h"
#include "app/pointrefresh.h"
#include "pointsim.h"
#include "pty.h"

namespace {

class BenchApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc > 1) wanted_ = static_cast<std::size_t>(std::atol(argv[1].utf8_str()));
    wxXmlResource::Get()->InitAllHandlers();
    InitXmlResource();
    AppSettings.serialPort = "COM1";
    AppSettings.baudRate = "9600";
    AppSettings.address = kalvo_lorim::Address(255, 255, 255);
    AppSettings.waitReceiverTimeout = 40;
    AppSettings.keepXrcFonts = true;
    bus_.AddPoint(kalvo_lorim::Address(1, 2, 3));
    ports_.Link("COM1", bus_.SlavePath());
    bus_.Start();
    frame_ = new MainFrame();
    samples_.reserve(wanted_);
    frame_->GetRefresh()->SetAfterApply([this](const kalvo_lorim::Point&, std::chrono::steady_clock::duration d) {
      if (samples_.size() < wanted_) samples_.push_back(d);
    });
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      if (samples_.size() >= wanted_) Finish();
    });
    timer_.Start(50);
    return true;
  }

 private:
  void Finish() {
    timer_.Stop();
    std::vector<double> us;
    for (auto d : samples_) us.push_back(std::chrono::duration<double, std::micro>(d).count());
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
    std::printf("refreshes: %zu\nmedian: %.0f us\np99: %.0f us\nmax: %.0f us\n", us.size(), at(0.5), at(0.99),
                us.back());
    frame_->Destroy();
    bus_.Stop();
  }

  std::size_t wanted_ = 1000;
  pointsim::Bus bus_;
  testsupport::PortFolder ports_;
  MainFrame* frame_ = nullptr;
  std::vector<std::chrono::steady_clock::duration> samples_;
  wxTimer timer_;
};

}  // namespace

wxIMPLEMENT_APP(BenchApp);
