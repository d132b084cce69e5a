#include "simulated_line.h"

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

}  // namespace guitest
