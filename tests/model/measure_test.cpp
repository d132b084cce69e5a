#include "kalvo_lorim/measure.h"

#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

using kalvo_lorim::Measure;
using kalvo_lorim::NoMeasureValue;

namespace {

enum Prefix { None, Micro, Milli, Kilo, Mega };

struct PrefixForm {
  const char* engineer;  // UTF-8
  const char* letter;    // UTF-8
  float factor;
};

const PrefixForm kForms[] = {
    {"", "", 1.0f},
    {"\xC3\x97" "10\xE2\x81\xBB\xE2\x81\xB6", "\xC2\xB5", 1000000.0f},
    {"\xC3\x97" "10\xE2\x81\xBB\xC2\xB3", "m", 1000.0f},
    {"\xC3\x97" "10\xC2\xB3", "k", 0.001f},
    {"\xC3\x97" "10\xE2\x81\xB6", "M", 0.000001f},
};

struct ScaleCase {
  float value;
  float scaled;
  Prefix prefix;
  const char* number;  // the number part of both views
};

std::ostream& operator<<(std::ostream& os, const ScaleCase& c) {
  return os << "value " << c.value;
}

class AutoScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(AutoScaleTest, ScalesAndFormatsBothViews) {
  const ScaleCase& c = GetParam();
  const PrefixForm& form = kForms[c.prefix];
  const Measure m(c.value, "V", 12, 3, 2, 0);

  EXPECT_EQ(m.GetValue(), c.value);
  EXPECT_FLOAT_EQ(m.GetScaledValue(), c.scaled);
  EXPECT_EQ(m.GetScaleFactor(), form.factor);
  EXPECT_EQ(std::string(m.GetPrefix().utf8_str()), form.engineer);
  EXPECT_EQ(std::string(m.GetPrefixLetter().utf8_str()), form.letter);
  EXPECT_EQ(std::string(m.ValueText().utf8_str()), std::string(c.number) + form.engineer + "V");
  EXPECT_EQ(std::string(m.FractionalValueText().utf8_str()),
            std::string(c.number) + form.letter + "V");
}

INSTANTIATE_TEST_SUITE_P(
    Values, AutoScaleTest,
    ::testing::Values(
        ScaleCase{0.0123456f, 12.3f, Milli, " 12.3 "},
        ScaleCase{5.0f, 5.0f, None, " 5.00 "},
        ScaleCase{0.0f, 0.0f, None, " 0 "},
        ScaleCase{250.0f, 250.0f, None, " 250 "},
        ScaleCase{1.125f, 1.12f, None, " 1.12 "},  // halfway goes down
        ScaleCase{150.5f, 150.0f, None, " 150 "},
        ScaleCase{1.23456e5f, 123.0f, Kilo, " 123 "},
        ScaleCase{5e-7f, 0.5f, Micro, " 0.500 "},
        ScaleCase{5e9f, 5000.0f, Mega, " 5000 "},
        ScaleCase{-3.5f, -3.5f, None, " -3.50e+00 "},
        ScaleCase{2e11f, 2e11f, None, " 2.00e+11 "},
        ScaleCase{NoMeasureValue, NoMeasureValue, None, " -6.67e+02 "},
        ScaleCase{1e-9f, 1e-9f, None, " 1.00e-09 "},  // the float lies just below 1e-9
        ScaleCase{1.5e-9f, 0.002f, Micro, " 0.002 "},
        // Both sides of every range boundary, and the boundary as a float.
        ScaleCase{9.87654e-7f, 0.988f, Micro, " 0.988 "},
        ScaleCase{1e-6f, 1.0f, Micro, " 1.00 "},
        ScaleCase{1.0123456e-6f, 1.01f, Micro, " 1.01 "},
        ScaleCase{9.87654e-6f, 9.88f, Micro, " 9.88 "},
        ScaleCase{1e-5f, 10.0f, Micro, " 10.0 "},
        ScaleCase{1.0123456e-5f, 10.1f, Micro, " 10.1 "},
        ScaleCase{9.87654e-4f, 987.7f, Micro, " 988 "},
        ScaleCase{0.001f, 1.0f, Milli, " 1.00 "},
        ScaleCase{1.0123456e-3f, 1.01f, Milli, " 1.01 "},
        ScaleCase{9.87654e-3f, 9.88f, Milli, " 9.88 "},
        ScaleCase{0.01f, 10.0f, Milli, " 10.0 "},
        ScaleCase{1.0123456e-2f, 10.1f, Milli, " 10.1 "},
        ScaleCase{0.987654f, 987.7f, Milli, " 988 "},
        ScaleCase{1.0f, 1.0f, None, " 1.00 "},
        ScaleCase{1.0123456f, 1.01f, None, " 1.01 "},
        ScaleCase{9.87654f, 9.88f, None, " 9.88 "},
        ScaleCase{10.0f, 10.0f, None, " 10.0 "},
        ScaleCase{10.123456f, 10.1f, None, " 10.1 "},
        ScaleCase{98.7654f, 98.8f, None, " 98.8 "},
        ScaleCase{100.0f, 100.0f, None, " 100 "},
        ScaleCase{101.23456f, 101.0f, None, " 101 "},
        ScaleCase{987.654f, 988.0f, None, " 988 "},
        ScaleCase{1000.0f, 1.0f, Kilo, " 1.00 "},
        ScaleCase{1012.3456f, 1.01f, Kilo, " 1.01 "},
        ScaleCase{9876.54f, 9.88f, Kilo, " 9.88 "},
        ScaleCase{10000.0f, 10.0f, Kilo, " 10.0 "},
        ScaleCase{10123.456f, 10.1f, Kilo, " 10.1 "},
        ScaleCase{98765.4f, 98.8f, Kilo, " 98.8 "},
        ScaleCase{1e5f, 100.0f, Kilo, " 100 "},
        ScaleCase{101234.56f, 101.0f, Kilo, " 101 "},
        ScaleCase{987654.0f, 988.0f, Kilo, " 988 "},
        ScaleCase{1e6f, 1000.0f, Kilo, " 1000 "},
        ScaleCase{1012345.6f, 1.01f, Mega, " 1.01 "},
        ScaleCase{9876540.0f, 9.88f, Mega, " 9.88 "},
        ScaleCase{1e7f, 10.0f, Mega, " 10.0 "},
        ScaleCase{10123456.0f, 10.1f, Mega, " 10.1 "},
        ScaleCase{98765400.0f, 98.8f, Mega, " 98.8 "},
        ScaleCase{1e8f, 100.0f, Mega, " 100 "},
        ScaleCase{101234560.0f, 101.0f, Mega, " 101 "},
        ScaleCase{987654000.0f, 988.0f, Mega, " 988 "},
        ScaleCase{1e9f, 1000.0f, Mega, " 1000 "},
        ScaleCase{1012345600.0f, 1010.0f, Mega, " 1010 "},
        ScaleCase{98765400000.0f, 98770.0f, Mega, " 98770 "},
        ScaleCase{1e11f, 100000.0f, Mega, " 100000 "},
        ScaleCase{1.0123456e11f, 1.0123456e11f, None, " 1.01e+11 "}));

TEST(MeasureTest, NotANumberIsReportedWithoutPrefixOrUnit) {
  const Measure m(std::nanf(""), "V", 0, 0, 0, 0);
  EXPECT_TRUE(std::isnan(m.GetScaledValue()));
  EXPECT_EQ(m.GetScaleFactor(), 1.0f);
  EXPECT_TRUE(m.GetPrefix().empty());
  EXPECT_TRUE(m.ValueText().StartsWith("Something wrong with scaled! ")) << m.ValueText();
  EXPECT_EQ(m.ValueText(), m.FractionalValueText());
  EXPECT_EQ(m.ValueText().Find("V"), wxNOT_FOUND);
}

TEST(MeasureTest, PrefixesSurviveAnyProcessLocale) {
  // The literals must not pass through the narrow-character conversion of the locale.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  const Measure m(5e-7f, wxString::FromUTF8("\xC2\xB0" "C"), 0, 0, 0, 0);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(m.GetPrefix().length(), 5u);
  EXPECT_EQ(m.GetPrefix()[0], wxUniChar(0x00D7));
  EXPECT_EQ(m.GetPrefix()[3], wxUniChar(0x207B));
  EXPECT_EQ(m.GetPrefix()[4], wxUniChar(0x2076));
  EXPECT_EQ(m.GetPrefixLetter(), wxString(wxUniChar(0x00B5)));
  EXPECT_EQ(m.FractionalValueText(), wxString::FromUTF8(" 0.500 \xC2\xB5\xC2\xB0" "C"));
}

struct ThresholdCase {
  std::uint16_t status;
  const char* text;
};

std::ostream& operator<<(std::ostream& os, const ThresholdCase& c) {
  return os << "status 0x" << std::hex << c.status;
}

class ThresholdTextTest : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(ThresholdTextTest, FollowsBitPrecedence) {
  Measure m(5.0f, "V", 0, 0, 0, GetParam().status);
  m.SetNotReady("Warming up", 42);
  EXPECT_EQ(m.ThresholdText(), GetParam().text) << std::hex << GetParam().status;
}

INSTANTIATE_TEST_SUITE_P(
    Bits, ThresholdTextTest,
    ::testing::Values(ThresholdCase{0x0000, "Measure"},
                      ThresholdCase{0x00A0, "Threshold exceeded"},  // 5 over 7
                      ThresholdCase{0x00C0, "Threshold reduced"},   // 7 over 6
                      ThresholdCase{0x0040, "Prethreshold exceeded"},
                      ThresholdCase{0x0260, "Threshold exceeded"},  // 5 over 6 and 9
                      ThresholdCase{0x0240, "Prethreshold exceeded"},  // 6 over 9
                      ThresholdCase{0x0200, "Warming up 42"},
                      ThresholdCase{0x0400, "Measure"}));

TEST(MeasureTest, NotReadyTextReplacesValueInBothViews) {
  Measure m(1.23456e5f, "V", 0, 0, 0, 0x0200);
  m.SetNotReady("Block warming", 7);
  EXPECT_EQ(m.ValueText(), "Block warming 7");
  EXPECT_EQ(m.FractionalValueText(), "Block warming 7");
  EXPECT_EQ(m.GetNotReadyNumber(), 7);
  EXPECT_EQ(m.GetScaledValue(), 123.0f);  // scaling still happened

  Measure empty(NoMeasureValue, "V", 0, 0, 0, 0x0200);
  EXPECT_EQ(empty.ValueText(), " 0");  // no text set yet: "%s %d" of empty and 0
}

TEST(MeasureTest, ClearValueDropsOnlyTheValue) {
  Measure m(0.0123456f, "A", 30, 4, 3, 0x0020);
  ASSERT_TRUE(m.HasValue());
  m.ClearValue();
  EXPECT_FALSE(m.HasValue());
  EXPECT_EQ(m.GetValue(), NoMeasureValue);
  EXPECT_FLOAT_EQ(m.GetScaledValue(), 12.3f);
  EXPECT_EQ(m.GetScaleFactor(), 1000.0f);
  EXPECT_EQ(m.GetPrefixLetter(), "m");
  EXPECT_EQ(m.GetStatus().GetWord(), 0x0020);
  EXPECT_EQ(m.ValueText(), wxString::FromUTF8(" 12.3 \xC3\x97" "10\xE2\x81\xBB\xC2\xB3" "A"));
}

TEST(MeasureTest, ConstructorsKeepTheirFields) {
  const Measure d;
  EXPECT_FALSE(d.HasValue());
  EXPECT_EQ(d.GetScaledValue(), NoMeasureValue);
  EXPECT_EQ(d.GetScaleFactor(), 1.0f);
  EXPECT_EQ(d.GetTime(), 0u);
  EXPECT_EQ(d.GetUncertainty(), 0);
  EXPECT_TRUE(d.GetUnit().empty());
  EXPECT_TRUE(d.GetPrefix().empty());
  EXPECT_EQ(d.GetAlgorithmNumber(), 0);
  EXPECT_TRUE(d.GetStatus().IsClear());
  EXPECT_EQ(d.GetNotReadyNumber(), 0);

  const Measure m(42.0f, "Bq", 600, 15, 4, 0x1234);
  EXPECT_EQ(m.GetTime(), 600u);
  EXPECT_EQ(m.GetUncertainty(), 15);
  EXPECT_EQ(m.GetUnit(), "Bq");
  EXPECT_EQ(m.GetAlgorithmNumber(), 4);
  EXPECT_EQ(m.GetStatus().GetWord(), 0x1234);
  EXPECT_TRUE(m.GetNotReadyText().empty());

  const float bits = NoMeasureValue;
  std::uint32_t word;
  std::memcpy(&word, &bits, sizeof word);
  EXPECT_EQ(word, 0xC426AAA0u);
}

}  // namespace
