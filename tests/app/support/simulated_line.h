#pragma once
// The surroundings of the real main window in a test: a simulated point at
// 1.2.3 on a pseudo-terminal linked as COM1, the stand-alone settings that
// reach it (restored afterwards), and the window a test opens.

#include <vector>

#include <gtest/gtest.h>

#include "app/appsettings.h"
#include "app/mainframe.h"
#include "pointsim.h"
#include "pty.h"

namespace guitest {

class SimulatedLineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Closes the window the test left open, then stops the line.
  void TearDown() override;

  // The value bytes of the writes of variable `id` that reached the point,
  // oldest first.
  std::vector<pointsim::Bytes> Writes(int id) const;
  // The variable ids of the requests that reached the point, oldest first.
  std::vector<int> RequestIds() const;
  // Whether the point heard one whole round of the polling cycle: the
  // current measure, then each of its two algorithms, then the current
  // measure again.
  bool HeardWholeCycle() const;
  // Runs the loop until `window`'s information panel shows these colours;
  // false after timeoutMs.
  static bool InfoShows(MainFrame& window, const wxColour& background, const wxColour& text, int timeoutMs);

  AppSettingsRecord savedSettings;
  pointsim::Bus bus;
  pointsim::Point* sim = nullptr;
  testsupport::PortFolder ports;
  MainFrame* frame = nullptr;
};

}  // namespace guitest
