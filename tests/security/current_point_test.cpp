#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "security/rights.h"
#include "security_state.h"

using namespace security;

namespace {

class CurrentPointTest : public testsupport::SecurityStateTest {};

// The window thread replaces the served point while another thread asks
// rights questions; every answer must come from one whole record.
TEST_F(CurrentPointTest, ReplacementDoesNotTearARightsCheck) {
  SetWorkInSystem(true);
  CurrentUser = UserRecord(wxS("u"), wxS("p"), static_cast<int>(UserRight::EditParams));
  PointAccess allows, forbids;
  AccessMap open, closed;
  for (int id = 0; id < 64; ++id) {
    open[static_cast<std::uint8_t>(id)] = true;
    closed[static_cast<std::uint8_t>(id)] = false;
  }
  allows.SetAccessMap(open);
  forbids.SetAccessMap(closed);
  SetCurrentPointAccess(allows);

  std::atomic<bool> stop{false};
  std::atomic<int> answers{0};
  std::thread reader([&] {
    while (!stop.load()) {
      const bool a = HasRight(21);
      const bool b = CanSetVolumeLevel();
      (void)a;
      (void)b;
      answers.fetch_add(1);
    }
  });
  for (int i = 0; i < 2000; ++i) SetCurrentPointAccess(i % 2 ? allows : forbids);
  // Let the reader overlap at least some replacements.
  while (answers.load() < 100) std::this_thread::yield();
  for (int i = 0; i < 2000; ++i) SetCurrentPointAccess(i % 2 ? allows : forbids);
  stop.store(true);
  reader.join();

  SetCurrentPointAccess(forbids);
  EXPECT_FALSE(HasRight(21));
  EXPECT_EQ(GetCurrentPointAccess().GetAccessMap(), closed);
}

}  // namespace
