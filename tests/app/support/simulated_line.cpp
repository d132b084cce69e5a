#include "simulated_line.h"

#include <algorithm>

#include <wx/stattext.h>

#include "app/panelinfo.h"
#include "gui_support.h"

namespace guitest {

void SimulatedLineTest::SetUp() {
  savedSettings = AppSettings;
  UseSimulatedLineSettings();
  sim = &bus.AddPoint(kalvo_lorim::Address(1, 2, 3));
  ports.Link("COM1", bus.SlavePath());
  bus.Start();
}

void SimulatedLineTest::TearDown() {
  delete frame;
  frame = nullptr;
  bus.Stop();
  AppSettings = savedSettings;
}

std::vector<pointsim::Bytes> SimulatedLineTest::Writes(int id) const {
  std::vector<pointsim::Bytes> values;
  for (const pointsim::Request& r : bus.Requests()) {
    if (r.status == pointsim::RequestStatus::Ok && r.frame.kind == pointsim::kind::Write && r.frame.Id() == id) {
      values.push_back(r.frame.Value());
    }
  }
  return values;
}

std::vector<int> SimulatedLineTest::RequestIds() const {
  std::vector<int> ids;
  for (const pointsim::Request& r : bus.Requests()) {
    if (r.status == pointsim::RequestStatus::Ok) ids.push_back(r.frame.Id());
  }
  return ids;
}

bool SimulatedLineTest::HeardWholeCycle() const {
  // Value, time and uncertainty of each algorithm between two current measures.
  static const std::vector<int> cycle{15, 35, 34, 35, 36, 39, 40, 41, 15};
  const std::vector<int> ids = RequestIds();
  return std::search(ids.begin(), ids.end(), cycle.begin(), cycle.end()) != ids.end();
}

bool SimulatedLineTest::InfoShows(MainFrame& window, const wxColour& background, const wxColour& text,
                                  int timeoutMs) {
  return RunLoopUntil(
      [&] {
        wxStaticText* info = window.GetPanelInfo()->GetInfo();
        return info->GetBackgroundColour() == background && info->GetForegroundColour() == text;
      },
      timeoutMs);
}

}  // namespace guitest
