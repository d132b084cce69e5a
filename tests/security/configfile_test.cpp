#include <gtest/gtest.h>

#include "scratch.h"
#include "security/configfile.h"
#include "security/loadsavedata.h"
#include "security_state.h"

using namespace security;
using kalvo_lorim::Address;

namespace {

class ConfigFileTest : public testsupport::SecurityStateTest {};

TEST_F(ConfigFileTest, ListsTopLevelGroupsInFileOrder) {
  ConfigFile config(wxString::FromUTF8(testsupport::DataFile("points.ini").c_str()));
  ASSERT_EQ(config.GroupCount(), 7u);
  EXPECT_EQ(config.GroupPath(0), wxS("/p1"));
  EXPECT_EQ(config.GroupPath(6), wxS("/p7"));
  EXPECT_EQ(config.GroupPath(7), wxString());
}

TEST_F(ConfigFileTest, ImportKeepsGroupsWithAUsableAddress) {
  const std::string path = testsupport::DataFile("points.ini");
  const std::string before = testsupport::ReadBytes(path);
  SecurityData data;
  data.ImportFromConfigFile(wxString::FromUTF8(path.c_str()));

  ASSERT_EQ(ImportedPointAccessList.size(), 2u);
  const PointAccess& p1 = ImportedPointAccessList[0];
  EXPECT_EQ(p1.GetAddress(), Address(1, 2, 3));
  EXPECT_EQ(p1.GetName(), wxS("A"));
  EXPECT_EQ(p1.GetNumber(), wxS("12"));
  EXPECT_EQ(p1.GetFirmwareVersion(), wxS("0.0"));
  EXPECT_EQ(p1.GetDeviceCode(), 0);
  EXPECT_TRUE(p1.GetAccessMap().empty());
  EXPECT_EQ(ImportedPointAccessList[1].GetAddress(), Address(0, 0, 0));
  EXPECT_EQ(ImportedPointAccessList[1].GetNumber(), wxString());

  data.ImportFromConfigFile(wxString::FromUTF8(path.c_str()));
  EXPECT_EQ(ImportedPointAccessList.size(), 4u);
  EXPECT_EQ(testsupport::ReadBytes(path), before);  // nothing written back
}

TEST_F(ConfigFileTest, UnreadableFilesImportNothing) {
  SecurityData data;
  for (const char* name : {"does_not_exist.ini", "binary.map", "empty.map"}) {
    SCOPED_TRACE(name);
    data.ImportFromConfigFile(wxString::FromUTF8(testsupport::DataFile(name).c_str()));
    EXPECT_TRUE(ImportedPointAccessList.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(testsupport::DataFile("does_not_exist.ini")));
}

TEST_F(ConfigFileTest, DeleteGroupsEmptiesTheFileButKeepsThePaths) {
  testsupport::ScratchDir dir;
  const std::string path =
      dir.Write("points.ini", testsupport::ReadBytes(testsupport::DataFile("points.ini")));
  {
    ConfigFile config(wxString::FromUTF8(path.c_str()));
    config.DeleteGroups();
    EXPECT_EQ(config.GroupCount(), 7u);
    EXPECT_FALSE(config.HasGroup(wxS("/p1")));
  }
  EXPECT_EQ(testsupport::ReadBytes(path).find("address"), std::string::npos);
  ConfigFile reopened(wxString::FromUTF8(path.c_str()));
  EXPECT_EQ(reopened.GroupCount(), 0u);
}

std::vector<PointAccess> Points(std::initializer_list<Address> addresses, const wxString& name) {
  std::vector<PointAccess> list;
  for (const Address& a : addresses) {
    PointAccess p;
    p.SetAddress(a.Text());
    p.SetName(name);
    list.push_back(p);
  }
  return list;
}

TEST_F(ConfigFileTest, SyncBringsPointListInLineWithTheImport) {
  const Address a(1, 2, 3), b(4, 5, 6), c(7, 8, 9);
  struct Case {
    const char* what;
    std::vector<PointAccess> current, imported;
    std::vector<Address> expected;
    std::vector<wxString> names;
    bool unchanged;
  };
  const Case cases[] = {
      {"both empty", {}, {}, {}, {}, true},
      {"nothing configured yet", {}, Points({a, b}, wxS("imp")), {a, b}, {wxS("imp"), wxS("imp")},
       false},
      {"import empty", Points({a}, wxS("cur")), {}, {}, {}, false},
      {"one dropped only", Points({a, b}, wxS("cur")), Points({b}, wxS("imp")), {b}, {wxS("cur")},
       false},
      {"one added only", Points({a}, wxS("cur")), Points({a, c}, wxS("imp")), {a, c},
       {wxS("cur"), wxS("imp")}, false},
      {"one dropped, one added", Points({a, b}, wxS("cur")), Points({b, c}, wxS("imp")), {b, c},
       {wxS("cur"), wxS("imp")}, false},
      {"same addresses, other order", Points({a, b}, wxS("cur")), Points({b, a}, wxS("imp")), {a, b},
       {wxS("cur"), wxS("cur")}, true},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    PointAccessList = t.current;
    ImportedPointAccessList = t.imported;
    SecurityData data;
    EXPECT_EQ(data.SyncPointLists(), t.unchanged);
    std::vector<Address> got;
    std::vector<wxString> names;
    for (const PointAccess& p : PointAccessList) {
      got.push_back(p.GetAddress());
      names.push_back(p.GetName());
    }
    EXPECT_EQ(got, t.expected);
    EXPECT_EQ(names, t.names);
    EXPECT_TRUE(data.SyncPointLists()) << "a second run must find nothing to do";
  }
}

}  // namespace
