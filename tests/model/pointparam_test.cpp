#include "kalvo_lorim/pointparam.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"

using kalvo_lorim::Address;
using kalvo_lorim::DateTime;
using kalvo_lorim::LSingle;
using kalvo_lorim::PointParams;

namespace {

// Text views of each type code that has one.
TEST(PointParamTest, ValueTextsPerType) {
  EXPECT_EQ(PointParam(1, 1, "b", static_cast<unsigned char>(200)).ValueText(3), "200");
  EXPECT_EQ(PointParam(2, 25, "f", 0.1f).ValueText(3), "0.1");
  EXPECT_EQ(PointParam(2, 25, "f", 1234.5678f).ValueText(3), "1.23e+03");
  EXPECT_EQ(PointParam(2, 25, "f", 1234.5678f).ValueText(6), "1234.57");
  EXPECT_EQ(PointParam(3, 29, "t", wxString::FromUTF8("Ключ")).ValueText(3),
            wxString::FromUTF8("Ключ"));
  EXPECT_EQ(PointParam(4, 33, "a", Address(10, 0, 255)).ValueText(3), "10.0.255");

  EXPECT_EQ(PointParam(1, 1, "b", static_cast<unsigned char>(7)).ExactValueText(), "7");
  const wxString exact = PointParam(2, 25, "f", 0.1f).ExactValueText();
  EXPECT_EQ(exact, "0.10000000149011611938476562500000");
  EXPECT_EQ(exact.AfterFirst('.').length(), 32u);
  EXPECT_EQ(PointParam(4, 33, "a", Address(1, 2, 3)).ExactValueText(), "1.2.3");

  EXPECT_EQ(PointParam(5, 1, "Gain", static_cast<unsigned char>(9)).Label(), "Gain: 9");
}

TEST(PointParamTest, TypesWithoutTextFormThrowUnsupportedDataFormat) {
  const PointParam params[] = {
      PointParam(1, 17, "raw", static_cast<unsigned char>(5)),
      PointParam(2, 3, "text8", wxString("abc")),
      PointParam(3, 13, "lsingle", LSingle{}),
  };
  for (const PointParam& p : params) {
    for (int exact = 0; exact < 2; ++exact) {
      try {
        if (exact) {
          p.ExactValueText();
        } else {
          p.ValueText(3);
        }
        ADD_FAILURE() << "type " << p.GetType() << " gave a text";
      } catch (const kalvo_lorim::Exception& e) {
        EXPECT_EQ(e.GetCode(), 2) << p.GetType();
        EXPECT_TRUE(e.GetFile().EndsWith("pointparam.cpp")) << e.GetFile();
      }
    }
  }
}

TEST(PointParamTest, ValueOfWrongKindThrowsBadCast) {
  EXPECT_THROW(PointParam(1, 1, "b", 0L).ValueText(3), boost::bad_any_cast);
  EXPECT_THROW(PointParam(1, 25, "f", 0.1).ValueText(3), boost::bad_any_cast);  // a double
  EXPECT_THROW(PointParam(1, 33, "a", wxString("1.2.3")).ExactValueText(), boost::bad_any_cast);
}

struct FromTextCase {
  int type;
  const char* text;
  const char* expected;  // ValueText(3) afterwards
};

std::ostream& operator<<(std::ostream& os, const FromTextCase& c) {
  return os << "type " << c.type << " text '" << c.text << "'";
}

class SetValueFromTextTest : public ::testing::TestWithParam<FromTextCase> {};

TEST_P(SetValueFromTextTest, ConvertsByType) {
  const FromTextCase& c = GetParam();
  boost::any initial;
  switch (c.type) {
    case 1: initial = static_cast<unsigned char>(99); break;
    case 25: initial = 9.5f; break;
    case 29: initial = wxString("old"); break;
    case 33: initial = Address(9, 9, 9); break;
  }
  PointParam p(1, c.type, "p", initial);
  p.SetValueFromText(wxString::FromUTF8(c.text));
  EXPECT_EQ(std::string(p.ValueText(3).utf8_str()), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SetValueFromTextTest,
    ::testing::Values(FromTextCase{1, "17", "17"}, FromTextCase{1, "300", "44"},
                      FromTextCase{1, "12abc", "12"}, FromTextCase{1, "abc", "0"},
                      FromTextCase{1, "-1", "255"}, FromTextCase{1, "", "0"},
                      FromTextCase{25, "2.5", "2.5"}, FromTextCase{25, "3.25xyz", "3.25"},
                      FromTextCase{25, "junk", "0"}, FromTextCase{29, "new text", "new text"},
                      FromTextCase{29, "", ""}, FromTextCase{33, "1.2.3", "1.2.3"},
                      FromTextCase{33, "1.2.300", "9.9.9"}, FromTextCase{33, "1.2", "9.9.9"}));

TEST(PointParamTest, SetValueFromTextLeavesTypesWithoutTextFormAlone) {
  PointParam raw(1, 17, "raw", static_cast<unsigned char>(5));
  raw.SetValueFromText("77");
  EXPECT_EQ(boost::any_cast<unsigned char>(raw.GetValue()), 5);

  LSingle bytes;
  bytes.bytes[0] = 0x12;
  PointParam single(2, 13, "s", bytes);
  single.SetValueFromText("1.5");
  EXPECT_EQ(boost::any_cast<LSingle>(single.GetValue()), bytes);

  PointParam text8(3, 3, "t", wxString("abc"));
  text8.SetValueFromText("xyz");
  EXPECT_EQ(boost::any_cast<wxString>(text8.GetValue()), "abc");
}

TEST(PointParamsTest, SetParamFromTextChangesOnlyExistingIndexes) {
  PointParams params;
  params.AddParam(PointParam(10, 1, "a", static_cast<unsigned char>(1)));
  params.AddParam(PointParam(11, 29, "b", wxString("x")));
  params.SetParamFromText(1, "changed");
  params.SetParamFromText(2, "ignored");  // equal to the count
  params.SetParamFromText(99, "ignored");
  ASSERT_EQ(params.ParamCount(), 2u);
  EXPECT_EQ(params.GetParam(0).ValueText(3), "1");
  EXPECT_EQ(params.GetParam(1).ValueText(3), "changed");
  EXPECT_EQ(params.GetParamCopy(1).GetId(), 11);
  EXPECT_THROW(params.GetParam(2), std::out_of_range);
}

void ExpectUnread(const PointParams& p) {
  EXPECT_EQ(p.GetCurrentAlgorithm(), -1);
  EXPECT_TRUE(p.GetDeviceName().empty());
  EXPECT_TRUE(p.GetUnit().empty());
  EXPECT_TRUE(p.GetVariable18Text().empty());
  EXPECT_TRUE(p.GetFirmwareVersion().empty());
  EXPECT_EQ(p.GetDeviceCode(), 255);
  EXPECT_EQ(p.ParamCount(), 0u);
  EXPECT_EQ(p.GetAddress(), Address(255, 255, 255));
  EXPECT_TRUE(p.GetConfigurationDate().IsNoInformation());
  EXPECT_TRUE(p.GetAssemblyDate().IsNoInformation());
  EXPECT_TRUE(p.GetDeviceDateTime().IsNoInformation());
  EXPECT_EQ(p.GetVolumeLevel(), 255);
  EXPECT_TRUE(p.GetNotReadyText().empty());
  EXPECT_EQ(p.GetStatusFlags().Count(), 0);
  EXPECT_TRUE(p.GetStatusFlags().Text(1).empty());
  EXPECT_EQ(p.GetLanguage(), 255);
  EXPECT_EQ(p.GetFactoryNumber(), "Unknown variable");
  EXPECT_EQ(p.GetLanguages(), std::vector<std::uint16_t>{255});
}

TEST(PointParamsTest, NewAndResetSetsAreEqualInEveryField) {
  PointParams fresh;
  ExpectUnread(fresh);

  PointParams p;
  p.SetCurrentAlgorithm(3);
  p.SetDeviceName("Dev");
  p.SetUnit("Bq");
  p.SetVariable18Text("v18");
  p.SetFirmwareVersion("2.1");
  p.SetDeviceCode(17);
  p.AddParam(PointParam(1, 1, "a", static_cast<unsigned char>(1)));
  p.SetAddress(Address(1, 2, 3));
  const DateTime date(12, 12, 31, 23, 59, 58, 250);
  p.SetConfigurationDate(date);
  p.SetAssemblyDate(date);
  p.SetDeviceDateTime(date);
  p.SetVolumeLevel(4);
  p.SetNotReadyText("wait");
  p.SetStatusFlags(StatusFlagTable(StatusFlagTable::BuiltIn));
  p.SetLanguage(25);
  p.SetFactoryNumber("F-1");
  const std::uint16_t languages[] = {9, 25, 34};
  p.SetLanguages(languages, 3);

  EXPECT_EQ(p.GetCurrentAlgorithm(), 3);
  EXPECT_EQ(p.GetDeviceName(), "Dev");
  EXPECT_EQ(p.GetUnit(), "Bq");
  EXPECT_EQ(p.GetVariable18Text(), "v18");
  EXPECT_EQ(p.GetFirmwareVersion(), "2.1");
  EXPECT_EQ(p.GetDeviceCode(), 17);
  EXPECT_EQ(p.ParamCount(), 1u);
  EXPECT_EQ(p.GetAddress(), Address(1, 2, 3));
  EXPECT_EQ(p.GetConfigurationDate(), date);
  EXPECT_EQ(p.GetAssemblyDate(), date);
  EXPECT_EQ(p.GetDeviceDateTime(), date);
  EXPECT_EQ(p.GetVolumeLevel(), 4);
  EXPECT_EQ(p.GetNotReadyText(), "wait");
  EXPECT_EQ(p.GetStatusFlags().Count(), 11);
  EXPECT_EQ(p.GetLanguage(), 25);
  EXPECT_EQ(p.GetFactoryNumber(), "F-1");
  EXPECT_EQ(p.GetLanguages(), (std::vector<std::uint16_t>{9, 25, 34}));

  const PointParams copy(p);
  EXPECT_EQ(copy.GetFactoryNumber(), "F-1");
  EXPECT_EQ(copy.ParamCount(), 1u);

  p.Reset();
  ExpectUnread(p);
  p.SetLanguages(languages, 1);
  EXPECT_EQ(p.GetLanguages(), std::vector<std::uint16_t>{9});
}

TEST(StatusFlagTableTest, CountsAtMostSixteenEntries) {
  std::map<int, EventLogLine> entries;
  for (int code = 1; code <= 20; ++code) {
    entries[code] = EventLogLine(wxString::Format("flag %d", code), code % 3);
  }
  const StatusFlagTable table(entries);
  EXPECT_EQ(table.Count(), 16);
  EXPECT_EQ(StatusFlagTable::MaxCount(), 16);
  EXPECT_EQ(table.Text(20), "flag 20");  // kept, although past the count
  EXPECT_EQ(table.Colours(5).GetLevel(), 2);

  std::map<int, EventLogLine> few = {{3, EventLogLine("three", 1)}};
  EXPECT_EQ(StatusFlagTable(few).Count(), 1);
  EXPECT_EQ(StatusFlagTable().Count(), 0);
}

TEST(StatusFlagTableTest, MissingCodeHasEmptyTextAndDefaultColours) {
  const StatusFlagTable table(StatusFlagTable::BuiltIn);
  EXPECT_TRUE(table.Text(12).empty());
  EXPECT_EQ(table.Colours(12).GetLevel(), -1);
  EXPECT_EQ(table.Colours(12).GetBackground(), wxColour(0, 255, 0));
  EXPECT_EQ(table.Colours(12).GetTextColour(), wxColour(0, 0, 0));

  StatusFlagTable cleared(table);
  cleared.Clear();
  EXPECT_EQ(cleared.Count(), 0);
  EXPECT_TRUE(cleared.Text(1).empty());
  EXPECT_EQ(table.Count(), 11);  // the copy was independent
}

TEST(StatusFlagTableTest, BuiltInTable) {
  const StatusFlagTable table(StatusFlagTable::BuiltIn);
  const struct {
    int code;
    const char* text;
    int level;
  } expected[] = {
      {1, "Shortcut circuit", 1},
      {2, "Block is absence", 1},
      {3, "Block is broken", 1},
      {4, "Memory is broken", 1},
      {5, "Unknown block type", 1},
      {6, "Threshold is exceeded", 2},
      {7, "Preliminary threshold is exceeded", 2},
      {8, "Threshold is reduced", 2},
      {9, "Block sensitivity is exceeded", 2},
      {10, "Block isn't ready", 0},
      {11, "Params have been changed", 0},
  };
  EXPECT_EQ(table.Count(), 11);
  for (const auto& e : expected) {
    EXPECT_EQ(table.Text(e.code), e.text) << e.code;
    EXPECT_EQ(table.Colours(e.code).GetLevel(), e.level) << e.code;
  }
}

TEST(StatusFlagTableTest, DefaultLevel) {
  const std::map<int, int> expected = {{-3, 1}, {0, 1}, {1, 1}, {5, 1},  {6, 2},
                                       {9, 2},  {10, 0}, {16, 0}, {100, 0}};
  for (const auto& e : expected) {
    EXPECT_EQ(StatusFlagTable::DefaultLevel(e.first), e.second) << e.first;
  }
}

TEST(DeviceLanguageNamesTest, NamesAndUnknownCodes) {
  const DeviceLanguageNames names;
  EXPECT_EQ(names.Name(9), "English");
  EXPECT_EQ(names.Name(25), wxString::FromUTF8("Русский"));
  EXPECT_EQ(names.Name(34), wxString::FromUTF8("Українська"));
  EXPECT_EQ(names.Name(7), "Unknown language");
  EXPECT_EQ(DeviceLanguageNames().Name(25), names.Name(25));
}

}  // namespace
