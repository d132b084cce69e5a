#pragma once
// Puts the library's global state back to its start-up values around each test.

#include <gtest/gtest.h>

#include "security/rights.h"

namespace testsupport {

inline void ResetSecurityState() {
  security::SetWorkInSystem(false);
  security::CurrentUser = security::UserRecord();
  security::UserList.clear();
  security::PointAccessList.clear();
  security::SetCurrentPointAccess(security::PointAccess());
  security::ImportedPointAccessList.clear();
}

class SecurityStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSecurityState(); }
  void TearDown() override { ResetSecurityState(); }
};

}  // namespace testsupport
