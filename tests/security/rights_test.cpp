#include <gtest/gtest.h>

#include "scratch.h"
#include "security/loadsavedata.h"
#include "security/rights.h"
#include "security_state.h"

using namespace security;

namespace {

class RightsTest : public testsupport::SecurityStateTest {};

AccessMap Map(std::initializer_list<std::pair<const std::uint8_t, bool>> entries) {
  return AccessMap(entries);
}

struct RightsCase {
  const char* what;
  bool inSystem;
  int rights;
  AccessMap access;
  // Expected answers of the checks, in the order of the fields below.
  bool view, restart, algorithm, volume, language, date;
};

TEST_F(RightsTest, ChecksFollowModeRightsAndAccessMap) {
  const RightsCase cases[] = {
      {"stand-alone, no rights, empty map", false, 0, {}, true, true, true, true, true, true},
      {"all seven rights, empty map", true, 0x7F, {}, true, true, true, true, true, true},
      {"bit 7 set on top of all rights", true, 0xFF, {}, true, true, true, true, true, true},
      {"edit params, map allows only 21", true, 0x02, Map({{21, true}, {14, false}}),
       false, false, true, false, false, false},
      {"edit params, map forbids 21", true, 0x02, Map({{21, false}}),
       false, false, false, false, false, false},
      {"view params only, permissive map", true, 0x01,
       Map({{21, true}, {14, true}, {6, true}, {31, true}}), true, false, false, false, false, false},
      {"restart measure only", true, 0x20, Map({{21, true}}), false, true, false, false, false, false},
      {"all but view params follows the map", true, 0x7E, Map({{14, true}}),
       false, true, false, true, false, false},
      {"edit params and restart", true, 0x22, Map({{6, true}, {31, true}}),
       false, true, false, false, true, true},
      {"no rights in system", true, 0, Map({{21, true}}), false, false, false, false, false, false},
  };
  for (const RightsCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetWorkInSystem(c.inSystem);
    CurrentUser = UserRecord(wxS("u"), wxS("p"), c.rights);
    PointAccess point;
    point.SetAccessMap(c.access);
    SetCurrentPointAccess(point);

    EXPECT_EQ(CanViewParams(), c.view);
    EXPECT_EQ(CanRestartMeasure(), c.restart);
    EXPECT_EQ(CanSetCurrentAlgorithm(), c.algorithm);
    EXPECT_EQ(CanSetVolumeLevel(), c.volume);
    EXPECT_EQ(CanSetDeviceLanguage(), c.language);
    EXPECT_EQ(CanSetDeviceDate(), c.date);
  }
}

TEST_F(RightsTest, AskingForAnAbsentIdDoesNotAddIt) {
  SetWorkInSystem(true);
  CurrentUser = UserRecord(wxS("u"), wxS("p"), static_cast<int>(UserRight::EditParams));
  PointAccess point;
  point.SetAccessMap(Map({{5, true}}));
  SetCurrentPointAccess(point);

  EXPECT_TRUE(HasRight(5));
  EXPECT_FALSE(HasRight(99));
  EXPECT_EQ(CurrentPointAccess.GetAccessMap(), Map({{5, true}}));
}

TEST(UserRecordTest, AllRightsNeedsTheSevenLowBits) {
  EXPECT_EQ(AllRights(), 127);
  EXPECT_TRUE(UserRecord(wxS("a"), wxS("b"), 127).HasAllRights());
  EXPECT_TRUE(UserRecord(wxS("a"), wxS("b"), 255).HasAllRights());
  EXPECT_FALSE(UserRecord(wxS("a"), wxS("b"), 126).HasAllRights());
  EXPECT_FALSE(UserRecord(wxS("a"), wxS("b"), 0x80).HasAllRights());
}

TEST(UserRecordTest, RightsTextListsHeldRightsInBitOrder) {
  EXPECT_EQ(UserRecord(wxS("a"), wxS("b"), 0x21).RightsText(), wxS("View params; Restart measure; "));
  EXPECT_EQ(UserRecord(wxS("a"), wxS("b"), 0x50).RightsText(),
            wxS("Power On/Off Melvar; Edit Melvar params; "));
  EXPECT_EQ(UserRecord(wxS("a"), wxS("b"), 0x80).RightsText(), wxString());
}

TEST(PointAccessTest, AddressTextRoundTripsAndBadTextKeepsAddress) {
  PointAccess point;
  EXPECT_EQ(point.GetFirmwareVersion(), wxS("0.0"));
  EXPECT_EQ(point.AddressText(), wxS("000.000.000"));
  ASSERT_TRUE(point.SetAddress(wxS("001.002.003")));
  EXPECT_EQ(point.GetAddress(), kalvo_lorim::Address(1, 2, 3));
  EXPECT_EQ(point.AddressText(), wxS("001.002.003"));
  EXPECT_FALSE(point.SetAddress(wxS("1.2")));
  EXPECT_FALSE(point.SetAddress(wxS("001x002x003")));
  EXPECT_EQ(point.GetAddress(), kalvo_lorim::Address(1, 2, 3));
  point.SetDeviceCode(200);
  EXPECT_EQ(point.DeviceCodeText(), wxS("200"));
}

class LoginTest : public testsupport::SecurityStateTest {
 protected:
  void SetUp() override {
    SecurityStateTest::SetUp();
    UserList = {UserRecord(wxS("root"), wxS("73964"), 127),
                UserRecord(wxString::FromUTF8("Иван"), wxS("pw"), 2),
                UserRecord(wxString::FromUTF8("Иван"), wxS("pw"), 5),
                UserRecord(wxS("root2"), wxS("x"), 1), UserRecord()};
  }
};

TEST_F(LoginTest, MatchesNameThenPasswordExactly) {
  struct Case {
    const char* what;
    wxString name, password;
    bool ok;
    int rights;
  };
  const Case cases[] = {
      {"right password", wxS("root"), wxS("73964"), true, 127},
      {"wrong password", wxS("root"), wxS("73965"), false, 0},
      {"name differs in case", wxS("Root"), wxS("73964"), false, 0},
      {"password prefix only", wxS("root"), wxS("7396"), false, 0},
      {"first of two equal entries", wxString::FromUTF8("Иван"), wxS("pw"), true, 2},
      {"empty entry of an unmatched line", wxString(), wxString(), true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const UserRecord before(wxS("before"), wxS("b"), 0x40);
    CurrentUser = before;
    SecurityData data;
    EXPECT_EQ(data.Login(c.name, c.password), c.ok);
    const UserRecord& expected = c.ok ? UserRecord(c.name, c.password, c.rights) : before;
    EXPECT_EQ(CurrentUser.GetName(), expected.GetName());
    EXPECT_EQ(CurrentUser.GetPassword(), expected.GetPassword());
    EXPECT_EQ(CurrentUser.GetRights(), expected.GetRights());
  }
}

TEST_F(LoginTest, FindUserAndRootUserLookOnlyAtTheList) {
  SecurityData data;
  std::size_t index = 99;
  EXPECT_TRUE(data.FindUser(wxS("root2"), wxS("x"), index));
  EXPECT_EQ(index, 3u);
  CurrentUser = UserRecord();
  EXPECT_TRUE(data.FindUser(wxS("root"), wxS("73964"), index));
  EXPECT_EQ(CurrentUser.GetName(), wxString());
  EXPECT_FALSE(data.FindUser(wxS("root"), wxS("no"), index));
  EXPECT_TRUE(data.HasRootUser());

  UserList.erase(UserList.begin());
  EXPECT_FALSE(data.HasRootUser());
  EXPECT_EQ(RootUser.GetName(), wxS("root"));
  EXPECT_FALSE(data.Login(RootUser.GetName(), RootUser.GetPassword()));
}

TEST_F(LoginTest, EmptyUsersSectionLetsNobodyIn) {
  testsupport::ScratchDir dir;
  SecurityData data;
  data.SetMapPath(dir.Write("config.map", "users begin\r\nusers end\r\npoints begin\r\npoints end\r\n"));
  data.ReadUsersSection();
  EXPECT_TRUE(data.IsUsersSectionEmpty());
  data.LoadUsers();
  EXPECT_TRUE(UserList.empty());
  EXPECT_FALSE(data.Login(wxS("root"), wxS("73964")));
  EXPECT_FALSE(data.Login(wxString(), wxString()));
}

}  // namespace
