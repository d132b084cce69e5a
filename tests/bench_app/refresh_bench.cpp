// Time from a point accepting an event on the device thread to the end of
// the panels' refresh on the GUI thread, against a simulated point: with the
// window left alone, with the options dialog open over it (its own modal
// loop), or while the window is resized every 20 ms.
//   xvfb-run -a kalvo_bench_refresh [events] [plain|options|resize]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <wx/app.h>
#include <wx/dialog.h>
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
    if (argc > 2) mode_ = argv[2];
    if (mode_ != "plain" && mode_ != "options" && mode_ != "resize") {
      std::fprintf(stderr, "usage: kalvo_bench_refresh [events] [plain|options|resize]\n");
      return false;
    }
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
    frame_->Show();
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
    timer_.Start(20);
    if (mode_ == "options") {
      // The dialog's modal loop runs until the samples are in; Tick ends it.
      CallAfter([this] {
        frame_->OnOptions();
        Finish();
      });
    }
    return true;
  }

 private:
  void Tick() {
    const bool done = samples_.size() >= wanted_;
    if (mode_ == "options") {
      if (!done) return;
      for (wxWindow* w : wxTopLevelWindows) {
        if (auto* dialog = dynamic_cast<wxDialog*>(w); dialog && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
      }
      return;
    }
    if (mode_ == "resize") {
      grow_ = !grow_;
      frame_->SetSize(grow_ ? wxSize(1100, 800) : wxSize(700, 500));
    }
    if (done) Finish();
  }

  void Finish() {
    if (finished_) return;
    finished_ = true;
    timer_.Stop();
    std::vector<double> us;
    for (auto d : samples_) us.push_back(std::chrono::duration<double, std::micro>(d).count());
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1))]; };
    std::printf("mode: %s\nrefreshes: %zu\nmedian: %.0f us\np99: %.0f us\nmax: %.0f us\n", static_cast<const char*>(mode_.utf8_str()), us.size(), at(0.5), at(0.99),
                us.back());
    frame_->Destroy();
    bus_.Stop();
  }

  std::size_t wanted_ = 1000;
  wxString mode_ = "plain";
  bool grow_ = false;
  bool finished_ = false;
  pointsim::Bus bus_;
  testsupport::PortFolder ports_;
  MainFrame* frame_ = nullptr;
  std::vector<std::chrono::steady_clock::duration> samples_;
  wxTimer timer_;
};

}  // namespace

wxIMPLEMENT_APP(BenchApp);
