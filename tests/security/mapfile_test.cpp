#include <gtest/gtest.h>

#include "scratch.h"
#include "security/loadsavedata.h"
#include "security/lumoMapLoader.h"
#include "security_state.h"

using namespace security;
using kalvo_lorim::Address;

namespace {

wxString U8(const char* text) { return wxString::FromUTF8(text); }

wxString DecodeText(const std::string& line) {
  return SecurityData::DecodeLine(SecurityData::DecodeSection({line}), 0);
}

TEST(RecordCodingTest, DecodesTokensIntoUtf16Units) {
  const std::pair<std::string, wxString> cases[] = {
      {"72 6f 6f 74 ", wxS("root")},
      {"72,6f.6f;74\t", wxS("root")},
      {"418 432 430 43d", U8("Иван")},
      {"0 zz 41", wxS("A")},
      {"0x41 42", wxS("B")},
      {"4g", wxString(wxUniChar(4))},
      {"10041", wxS("A")},                   // more than four digits: low 16 bits
      {"1234567890abcdef0072", wxS("r")},
      {"d801 dc00", wxString(wxUniChar(0x10400))},
      {"d801 0 dc00", wxString(wxUniChar(0x10400))},
      {"d800 41", wxString()},               // lone high surrogate refuses the record
      {"41 dc00", wxString()},               // lone low surrogate
      {"dc00 d801", wxString()},             // pair in the wrong order
      {"", wxString()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeText(c.first), c.second) << "line \"" << c.first << "\"";
  }
  EXPECT_EQ(SecurityData::DecodeLine(SecurityData::DecodeSection({"41"}), 1), wxString());
}

TEST(RecordCodingTest, EncodesEveryUnitAndDecodesBack) {
  EXPECT_EQ(SecurityData::EncodeLine(wxS("root")), wxS("72 6f 6f 74 "));
  EXPECT_EQ(SecurityData::EncodeLine(U8("Иван")), wxS("418 432 430 43d "));
  EXPECT_EQ(SecurityData::EncodeLine(wxString(wxUniChar(0x10400))), wxS("d801 dc00 "));
  const wxString mixed = U8("Точка \"A\" [0x06 1] ") + wxUniChar(0x10400) + wxS("\t~");
  EXPECT_EQ(DecodeText(SecurityData::EncodeLine(mixed).ToStdString()), mixed);
}

// A string may hold values that are no characters (a lone surrogate, or past
// U+10FFFF, both let through by the toolkit's UTF-8 reading): the record is
// written with a replacement mark and still reads back, the rest intact.
TEST(RecordCodingTest, NonCharactersAreWrittenAsReplacementMarks) {
  const wxString replaced = wxS("a") + wxString(wxUniChar(0xFFFD)) + wxS("b");
  for (const wxUint32 bad : {0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu, 0x110000u, 0x118CB0u}) {
    wxString text = wxS("a");
    text += wxUniChar(bad);
    text += wxS("b");
    EXPECT_EQ(SecurityData::EncodeLine(text), wxS("61 fffd 62 ")) << std::hex << bad;
    EXPECT_EQ(DecodeText(SecurityData::EncodeLine(text).ToStdString()), replaced) << std::hex << bad;
  }
}

class RecordPatternTest : public testsupport::SecurityStateTest {};

TEST_F(RecordPatternTest, UserRecords) {
  struct Case {
    wxString text;
    bool matches;
    wxString name, password;
    int rights;
  };
  const Case cases[] = {
      {wxS("root 73964 127"), true, wxS("root"), wxS("73964"), 127},
      {U8("Иван пароль_1 33"), true, U8("Иван"), U8("пароль_1"), 33},
      {U8("Дмитрий Петров 7"), true, U8("Дмитрий"), U8("Петров"), 7},
      {wxS("root 73964 127 more text 5"), true, wxS("root"), wxS("73964"), 127},
      {wxS("x root pw 12"), true, wxS("root"), wxS("pw"), 12},
      {wxS("op pass-word 5"), false, wxS(""), wxS(""), 0},
      {wxS("op  pw\t 3"), true, wxS("op"), wxS("pw"), 3},
      {wxS("a b 99999999999"), true, wxS("a"), wxS("b"), 0},  // out of range grants nothing
      {wxS("a b"), false, wxS(""), wxS(""), 0},
      {wxString(), false, wxS(""), wxS(""), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.utf8_string());
    const UserRecord sentinel(wxS("keep"), wxS("me"), 64);
    UserList = {sentinel};
    SecurityData::ParseUserLine(0, c.text);
    const UserRecord& expected = c.matches ? UserRecord(c.name, c.password, c.rights) : sentinel;
    EXPECT_EQ(UserList[0].GetName(), expected.GetName());
    EXPECT_EQ(UserList[0].GetPassword(), expected.GetPassword());
    EXPECT_EQ(UserList[0].GetRights(), expected.GetRights());
  }
  UserList.clear();
  SecurityData::ParseUserLine(3, wxS("root 73964 127"));  // past the end: ignored
  EXPECT_TRUE(UserList.empty());
}

TEST_F(RecordPatternTest, PointRecords) {
  struct Case {
    const char* what;
    wxString text;
    Address address;
    wxString name, number;
    int deviceCode;
    wxString firmware;
    AccessMap access;
  };
  const wxString dflt = wxS("0.0");
  const Case cases[] = {
      {"example point", wxS("001.002.003 \"Point A\" 12 7 \"1.0\" [0x06 1] [0x15 0]"),
       Address(1, 2, 3), wxS("Point A"), wxS("12"), 7, wxS("1.0"), {{6, true}, {21, false}}},
      {"no access entries", wxS("001.002.003 \"A\" 12 7 \"1.0\""), Address(1, 2, 3), wxS("A"),
       wxS("12"), 7, wxS("1.0"), {}},
      {"Cyrillic name, device code 263", U8("010.020.030 \"Точка Б\" 7 263 \"2.1\""),
       Address(10, 20, 30), U8("Точка Б"), wxS("7"), 7, wxS("2.1"), {}},
      {"punctuation in the name", wxS("001.002.003 \"A-+*.,)(><$!%;:[]&?\\ b\" 1 2 \"3\""),
       Address(1, 2, 3), wxS("A-+*.,)(><$!%;:[]&?\\ b"), wxS("1"), 2, wxS("3"), {}},
      {"address with other separators", wxS("001x002x003 \"A\" 1 2 \"3\""), Address(), wxS("A"),
       wxS("1"), 2, wxS("3"), {}},
      {"slash in the name does not match", wxS("001.002.003 \"a/b\" 1 2 \"3\" [0x15 1]"), Address(),
       wxString(), wxString(), 0, dflt, {{21, true}}},
      {"no record but an entry", wxS("junk [0x15 1]"), Address(), wxString(), wxString(), 0, dflt,
       {{21, true}}},
      {"entry inside the name", wxS("001.002.003 \"N [0x05 1]\" 1 2 \"3\""), Address(1, 2, 3),
       wxS("N [0x05 1]"), wxS("1"), 2, wxS("3"), {{5, true}}},
      {"entry keys, values and repeats",
       wxS("001.002.003 \"A\" 1 2 \"3\" [0x1ff 1] [0x06 2] [0x07 0] [6 1] [0x06 0] [0xAB 1]"),
       Address(1, 2, 3), wxS("A"), wxS("1"), 2, wxS("3"),
       {{0xff, true}, {6, false}, {7, false}, {0xab, true}}},
      {"very long key keeps its low byte", wxS("x [0x123456789abcdef0123456789a 1]"), Address(),
       wxString(), wxString(), 0, dflt, {{0x9a, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PointAccessList = {PointAccess()};
    PointAccessList[0].SetAccessMap({{99, true}});  // replaced whatever the line holds
    SecurityData::ParsePointLine(0, c.text);
    const PointAccess& p = PointAccessList[0];
    EXPECT_EQ(p.GetAddress(), c.address);
    EXPECT_EQ(p.GetName(), c.name);
    EXPECT_EQ(p.GetNumber(), c.number);
    EXPECT_EQ(p.GetDeviceCode(), c.deviceCode);
    EXPECT_EQ(p.GetFirmwareVersion(), c.firmware);
    EXPECT_EQ(p.GetAccessMap(), c.access);
  }
}

TEST_F(RecordPatternTest, ExamplePointRecordText) {
  PointAccess p;
  p.SetAddress(wxS("1.2.3"));
  p.SetName(wxS("Point A"));
  p.SetNumber(wxS("12"));
  p.SetDeviceCode(7);
  p.SetFirmwareVersion(wxS("1.0"));
  EXPECT_EQ(SecurityData::PointRecordText(p), wxS("001.002.003 \"Point A\" 12 7 \"1.0\""));
  p.SetAccessMap({{21, false}, {6, true}});
  EXPECT_EQ(SecurityData::PointRecordText(p),
            wxS("001.002.003 \"Point A\" 12 7 \"1.0\" [0x06 1] [0x15 0]"));
}

class MapFileTest : public testsupport::SecurityStateTest {};

TEST_F(MapFileTest, HandWrittenFixtureDecodes) {
  SecurityData data;
  EXPECT_EQ(data.GetMapPath(), "../config.map");
  data.SetMapPath(testsupport::DataFile("sections_crlf.map"));
  data.ReadUsersSection();
  data.LoadUsers();
  ASSERT_EQ(UserList.size(), 3u);
  EXPECT_EQ(UserList[0].GetName(), wxS("root"));
  EXPECT_EQ(UserList[0].GetPassword(), wxS("73964"));
  EXPECT_EQ(UserList[0].GetRights(), 127);
  EXPECT_EQ(UserList[1].GetName(), U8("Иван"));  // its line ends with "#"
  EXPECT_EQ(UserList[1].GetPassword(), U8("пароль_1"));
  EXPECT_EQ(UserList[1].GetRights(), 33);
  EXPECT_EQ(UserList[2].GetName(), wxS("op"));  // second users section, comma separators
  EXPECT_EQ(UserList[2].GetRights(), 2);

  data.ReadPointsSection();
  data.LoadPoints();
  ASSERT_EQ(PointAccessList.size(), 2u);
  EXPECT_EQ(PointAccessList[0].GetName(), wxS("Point A"));
  EXPECT_EQ(PointAccessList[0].GetAccessMap(), (AccessMap{{6, true}, {21, false}}));
  EXPECT_EQ(PointAccessList[1].GetAddress(), Address(10, 20, 30));
  EXPECT_EQ(PointAccessList[1].GetName(), U8("Точка Б"));
  EXPECT_EQ(PointAccessList[1].GetDeviceCode(), 7);
  EXPECT_EQ(CurrentPointAccess.GetAddress(), Address(1, 2, 3));
  EXPECT_EQ(CurrentPointAccess.GetAccessMap(), PointAccessList[0].GetAccessMap());

  SetWorkInSystem(true);
  ASSERT_TRUE(data.Login(U8("Иван"), U8("пароль_1")));
  EXPECT_TRUE(CanViewParams());
  EXPECT_TRUE(CanRestartMeasure());
  EXPECT_FALSE(CanSetCurrentAlgorithm());
}

TEST_F(MapFileTest, EmptyPointsSectionKeepsTheCurrentPoint) {
  testsupport::ScratchDir dir;
  SecurityData data;
  data.SetMapPath(dir.Write("config.map", "points begin\r\npoints end\r\n"));
  PointAccess served;
  served.SetAddress(wxS("9.9.9"));
  SetCurrentPointAccess(served);
  data.ReadPointsSection();
  EXPECT_TRUE(data.IsPointsSectionEmpty());
  data.LoadPoints();
  EXPECT_TRUE(PointAccessList.empty());
  EXPECT_EQ(CurrentPointAccess.GetAddress(), Address(9, 9, 9));
}

TEST_F(MapFileTest, SaveThenReadBackGivesTheSameRecords) {
  const std::vector<UserRecord> users = {
      UserRecord(wxS("root"), wxS("73964"), 127), UserRecord(U8("Иван"), U8("пароль_1"), 33),
      UserRecord(wxString(wxUniChar(0x10400)) + wxS("x"), wxS("p2"), 0)};
  PointAccess a, b;
  a.SetAddress(wxS("1.2.3"));
  a.SetName(wxS("Point A"));
  a.SetNumber(wxS("12"));
  a.SetDeviceCode(7);
  a.SetFirmwareVersion(wxS("1.0"));
  a.SetAccessMap({{6, true}, {21, false}, {255, true}});
  b.SetAddress(wxS("254.0.17"));
  b.SetName(U8("Точка (резерв)"));
  b.SetNumber(wxS("007"));
  b.SetDeviceCode(255);

  testsupport::ScratchDir dir;
  const std::string path = dir.Write("config.map", "old line\r\nusers begin\r\n41 \r\nusers end\r\n");
  UserList = users;
  PointAccessList = {a, b};
  SecurityData writer;
  writer.SetMapPath(path);
  writer.Save();

  const std::string bytes = testsupport::ReadBytes(path);
  EXPECT_EQ(bytes.rfind("users begin\r\n72 6f 6f 74 20 ", 0), 0u) << bytes;
  EXPECT_EQ(bytes.find("old line"), std::string::npos);
  EXPECT_NE(bytes.find("\r\nusers end\r\npoints begin\r\n"), std::string::npos);
  EXPECT_EQ(bytes.size() - bytes.rfind("\r\npoints end\r\n"), 14u);

  testsupport::ResetSecurityState();
  SecurityData reader;
  reader.SetMapPath(path);
  reader.ReadUsersSection();
  reader.LoadUsers();
  reader.ReadPointsSection();
  reader.LoadPoints();
  ASSERT_EQ(UserList.size(), users.size());
  for (std::size_t i = 0; i < users.size(); ++i) {
    EXPECT_EQ(UserList[i].GetName(), users[i].GetName());
    EXPECT_EQ(UserList[i].GetPassword(), users[i].GetPassword());
    EXPECT_EQ(UserList[i].GetRights(), users[i].GetRights());
  }
  ASSERT_EQ(PointAccessList.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const PointAccess& want = i == 0 ? a : b;
    const PointAccess& got = PointAccessList[i];
    EXPECT_EQ(got.GetAddress(), want.GetAddress());
    EXPECT_EQ(got.GetName(), want.GetName());
    EXPECT_EQ(got.GetNumber(), want.GetNumber());
    EXPECT_EQ(got.GetDeviceCode(), want.GetDeviceCode());
    EXPECT_EQ(got.GetFirmwareVersion(), want.GetFirmwareVersion());
    EXPECT_EQ(got.GetAccessMap(), want.GetAccessMap());
  }
}

TEST_F(MapFileTest, SaveReportsFilesItCannotOpenOrWrite) {
  testsupport::ScratchDir dir;
  struct Case {
    const char* what;
    std::string path;
    int line;
  };
  std::vector<Case> cases = {{"no such file", dir.Path("missing.map"), 61}};
  // A readable file in a folder where nothing can be created.
  if (!testsupport::ReadBytes("/proc/version").empty()) {
    cases.push_back({"folder refuses the new file", "/proc/version", 62});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SecurityData data;
    data.SetMapPath(c.path);
    try {
      data.Save();
      ADD_FAILURE() << "saved without complaint";
    } catch (const Exception& e) {
      EXPECT_EQ(e.GetMessage(), wxS("Error saving file. "));
      EXPECT_EQ(e.GetFile(), wxS("loadsavedata"));
      EXPECT_EQ(e.GetLine(), c.line);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("missing.map")));
}

// Broken files end in the documented result or a clear exception.
TEST_F(MapFileTest, BadInputsEndSafely) {
  struct Case {
    const char* file;
    const char* error;  // empty: none
    std::vector<wxString> names;
  };
  const Case cases[] = {
      {"does_not_exist.map", "Error opening file. ", {}},
      {"empty.map", "", {}},
      {"binary.map", "", {}},
      {"no_sections.map", "", {}},
      {"long_line.map", "File corrupted. ", {wxS("root")}},
      {"long_line_after.map", "", {wxS("root")}},
      {"bad_token.map", "", {wxS("root")}},
      {"long_token.map", "", {wxS("root")}},
      {"lone_surrogate.map", "", {wxString(), wxS("root"), wxString()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    testsupport::ResetSecurityState();
    SecurityData data;
    data.SetMapPath(testsupport::DataFile(c.file));
    wxString error;
    try {
      data.ReadUsersSection();
    } catch (const Exception& e) {
      error = e.GetMessage();
    }
    EXPECT_EQ(error, wxString(c.error));
    data.LoadUsers();
    std::vector<wxString> names;
    for (const UserRecord& u : UserList) names.push_back(u.GetName());
    EXPECT_EQ(names, c.names);
    for (const UserRecord& u : UserList) {
      if (u.GetName().empty()) {
        EXPECT_EQ(u.GetRights(), 0);
      }
    }
  }
}

}  // namespace
