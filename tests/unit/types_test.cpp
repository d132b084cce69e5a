#include "kalvo_lorim/types.h"

#include <boost/any.hpp>
#include <gtest/gtest.h>

using kalvo_lorim::Address;
using kalvo_lorim::DateTime;
using kalvo_lorim::ParseAddress;
using kalvo_lorim::Status;

namespace {

struct ParseCase {
  const char* text;
  bool accepted;
  int a, b, c;
};

class ParseAddressTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseAddressTest, AcceptsOrRefusesAndLeavesTargetOnRefusal) {
  const ParseCase& p = GetParam();
  Address target(7, 8, 9);
  EXPECT_EQ(ParseAddress(wxString::FromUTF8(p.text), target), p.accepted) << p.text;
  if (p.accepted) {
    EXPECT_EQ(target, Address(p.a, p.b, p.c)) << p.text;
  } else {
    EXPECT_EQ(target, Address(7, 8, 9)) << p.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseAddressTest,
    ::testing::Values(ParseCase{"1.2.3", true, 1, 2, 3},
                      ParseCase{"192.168.001.9", false, 0, 0, 0},  // four numbers, third part too long
                      ParseCase{"0.0.0", true, 0, 0, 0},
                      ParseCase{"255.255.255", true, 255, 255, 255},
                      ParseCase{" 1.+2.3", true, 1, 2, 3},   // ToLong reads a blank and a sign
                      ParseCase{"  1.  2.  3", true, 1, 2, 3},  // the queue key form
                      ParseCase{"001.002.003", true, 1, 2, 3},
                      ParseCase{"1.2", false, 0, 0, 0},
                      ParseCase{"1..2", false, 0, 0, 0},
                      ParseCase{".1.2", false, 0, 0, 0},
                      ParseCase{"1.2.", false, 0, 0, 0},
                      ParseCase{"1.2.3.", false, 0, 0, 0},
                      ParseCase{"1000.1.1", false, 0, 0, 0},
                      ParseCase{"1.1.1234", false, 0, 0, 0},
                      ParseCase{"1.2.3.4", false, 0, 0, 0},
                      ParseCase{"256.1.1", false, 0, 0, 0},
                      ParseCase{"1.256.1", false, 0, 0, 0},
                      ParseCase{"1.1.256", false, 0, 0, 0},
                      ParseCase{"-1.1.1", false, 0, 0, 0},
                      ParseCase{"a.b.c", false, 0, 0, 0},
                      ParseCase{"", false, 0, 0, 0},
                      ParseCase{"123", false, 0, 0, 0}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return "Case" + std::to_string(info.index); });

TEST(AddressTest, TextFormsReadBack) {
  const Address addr(1, 22, 203);
  EXPECT_EQ(addr.Text(), "1.22.203");
  EXPECT_EQ(addr.PaddedText(), "001.022.203");
  EXPECT_EQ(addr.KeyText(), "  1. 22.203");
  EXPECT_EQ(Address(1, 1, 1).KeyText().length(), 11u);
  for (const wxString& text : {addr.Text(), addr.PaddedText(), addr.KeyText()}) {
    Address back;
    ASSERT_TRUE(ParseAddress(text, back)) << text;
    EXPECT_EQ(back, addr);
  }
}

TEST(AddressTest, EqualityNeedsAllThreeBytes) {
  EXPECT_EQ(Address(1, 2, 3), Address(1, 2, 3));
  EXPECT_NE(Address(1, 2, 3), Address(0, 2, 3));
  EXPECT_NE(Address(1, 2, 3), Address(1, 0, 3));
  EXPECT_NE(Address(1, 2, 3), Address(1, 2, 0));
}

DateTime FromLocal(int day, wxDateTime::Month month, int year, int h, int m, int s, int ms) {
  return DateTime(wxDateTime(day, month, year, h, m, s, ms));
}

TEST(DateTimeTest, FromWxDateTimeInLocalTime) {
  const DateTime d = FromLocal(31, wxDateTime::Dec, 2012, 23, 59, 58, 250);
  EXPECT_EQ(d.year, 12);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 31);
  EXPECT_EQ(d.hour, 23);
  EXPECT_EQ(d.minute, 59);
  EXPECT_EQ(d.second, 58);
  EXPECT_EQ(d.milliseconds, 250);

  EXPECT_EQ(FromLocal(1, wxDateTime::Jan, 1999, 0, 0, 0, 0).year, 99);
  EXPECT_EQ(FromLocal(1, wxDateTime::Jan, 1980, 0, 0, 0, 0), DateTime::NoInformation());
  EXPECT_TRUE(FromLocal(1, wxDateTime::Jan, 1980, 0, 0, 0, 0).IsNoInformation());
}

TEST(DateTimeTest, BusBytesRoundTripWithLittleEndianMilliseconds) {
  const std::uint8_t noInfo[8] = {80, 1, 1, 0, 0, 0, 0, 0};
  EXPECT_EQ(DateTime(noInfo), DateTime());

  const std::uint8_t bytes[8] = {12, 12, 31, 23, 59, 58, 0xE7, 0x03};
  const DateTime d(bytes);
  EXPECT_EQ(d.milliseconds, 999);
  std::uint8_t out[8] = {};
  d.ToBytes(out);
  EXPECT_EQ(0, memcmp(bytes, out, 8));
}

TEST(DateTimeTest, DifferInMillisecondsAlone) {
  const DateTime a(12, 6, 1, 10, 0, 0, 1);
  DateTime b = a;
  EXPECT_EQ(a, b);
  b.milliseconds = 2;
  EXPECT_NE(a, b);
  EXPECT_FALSE(a == b);
}

TEST(StatusTest, BitTests) {
  const Status clear(0);
  EXPECT_TRUE(clear.IsClear());
  using Test = bool (Status::*)() const;
  const Test tests[13] = {&Status::IsShortCircuit,       &Status::IsBlockAbsent,
                          &Status::IsBlockBroken,        &Status::IsMemoryBroken,
                          &Status::IsUnknownBlockType,   &Status::IsThresholdExceeded,
                          &Status::IsPrethresholdExceeded, &Status::IsThresholdReduced,
                          &Status::IsSensitivityExceeded, &Status::IsBlockNotReady,
                          &Status::AreParamsChanged,     &Status::IsBit11Set,
                          &Status::IsBit12Set};
  for (int bit = 0; bit < 13; ++bit) {
    EXPECT_FALSE((clear.*tests[bit])()) << bit;
    const Status one(static_cast<std::uint16_t>(1u << bit));
    EXPECT_FALSE(one.IsClear());
    for (int other = 0; other < 13; ++other) {
      EXPECT_EQ((one.*tests[other])(), other == bit) << bit << " " << other;
    }
  }
  const Status s(0x0220);
  EXPECT_EQ(s.GetWord(), 0x0220);
  for (int bit = 0; bit < 13; ++bit) {
    EXPECT_EQ((s.*tests[bit])(), bit == 5 || bit == 9) << bit;
  }
}

TEST(StateColoursTest, Levels) {
  struct Case {
    int level;
    wxColour background, text;
    bool flag;
  };
  const Case cases[] = {
      {-1, wxColour(0, 255, 0), wxColour(0, 0, 0), false},
      {0, wxColour(0, 255, 0), wxColour(255, 255, 255), false},
      {1, wxColour(255, 250, 0), wxColour(0, 0, 0), false},
      {2, wxColour(255, 0, 0), wxColour(255, 255, 255), true},
      {7, wxColour(0, 255, 0), wxColour(0, 0, 0), false},
  };
  for (const Case& c : cases) {
    const StateColours colours(c.level);
    EXPECT_EQ(colours.GetLevel(), c.level);
    EXPECT_EQ(colours.GetBackground(), c.background) << c.level;
    EXPECT_EQ(colours.GetTextColour(), c.text) << c.level;
    EXPECT_EQ(colours.GetBackground().Alpha(), 255);
    EXPECT_EQ(colours.GetFlag(), c.flag) << c.level;
    const StateColours copy = colours;
    EXPECT_EQ(copy.GetLevel(), c.level);
    EXPECT_EQ(copy.GetBackground(), c.background);
  }
  EXPECT_EQ(DefaultStateColours.GetLevel(), -1);
  EXPECT_EQ(DefaultStateColours.GetBackground(), wxColour(0, 255, 0));
  EXPECT_EQ(UnknownVariableText, "Unknown variable");
}

TEST(PayloadTypesTest, EachTypeIsDistinctInAny) {
  boost::any payload = Address(1, 2, 3);
  EXPECT_NO_THROW(boost::any_cast<Address>(payload));
  EXPECT_THROW(boost::any_cast<DateTime>(payload), boost::bad_any_cast);
  payload = kalvo_lorim::MeasuringAlgorithm::All;
  EXPECT_THROW(boost::any_cast<int>(payload), boost::bad_any_cast);
  EXPECT_THROW(boost::any_cast<std::uint8_t>(payload), boost::bad_any_cast);
  payload = kalvo_lorim::LSingle();
  EXPECT_THROW(boost::any_cast<Status>(payload), boost::bad_any_cast);
  EXPECT_NO_THROW(boost::any_cast<kalvo_lorim::LSingle>(payload));
}

}  // namespace
