// The library's number texts read and write the same under any numeric
// locale of the process: a decimal comma must never reach the panels, the
// parameter writes or the true value.

#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "kalvo_lorim/event.h"
#include "kalvo_lorim/measure.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/record.h"
#include "kalvo_lorim/thread.h"

namespace {

using kalvo_lorim::Measure;

class NumericLocale : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, GetParam()), nullptr) << GetParam() << " is not installed";
    // The locale really writes a decimal comma, or the test proves nothing.
    ASSERT_EQ(std::string(wxString::Format("%.1f", 1.5).ToStdString()), "1,5");
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, saved_.c_str()); }

  std::string saved_;
};

TEST_P(NumericLocale, ParameterTextsUseADecimalPoint) {
  const PointParam param(1, 25, "Threshold", 12.345f);
  EXPECT_EQ(param.ValueText(3), "12.3");
  EXPECT_EQ(param.ExactValueText().Left(8), "12.34500");

  PointParam edited(1, 25, "Threshold", 0.0f);
  const struct {
    const char* text;
    float value;
  } cases[] = {{"12.5", 12.5f}, {"-0.25e1", -2.5f}, {"7.75 V", 7.75f}, {"3,5", 3.0f}};
  for (const auto& c : cases) {
    edited.SetValueFromText(c.text);
    EXPECT_FLOAT_EQ(boost::any_cast<float>(edited.GetValue()), c.value) << c.text;
  }
}

TEST_P(NumericLocale, MeasureTextsUseADecimalPoint) {
  const Measure milli(0.0123456f, "V", 10, 5, 1, 0);
  EXPECT_EQ(milli.ValueText(), wxString::FromUTF8(" 12.3 \u00d710\u207b\u00b3V"));
  EXPECT_EQ(milli.FractionalValueText(), " 12.3 mV");
  EXPECT_EQ(Measure(5.0f, "V", 0, 0, 0, 0).ValueText(), " 5.00 V");
  EXPECT_EQ(Measure(-1.5f, "V", 0, 0, 0, 0).ValueText(), " -1.50e+00 V");

  const kalvo_lorim::Event event(EventKind::CurrentMeasure, kalvo_lorim::Address(1, 2, 3),
                                 Measure(2.5f, "V", 0, 0, 0, 0));
  EXPECT_EQ(event.ValueText(), "2.5");
}

TEST_P(NumericLocale, RecordLineAndLeadingNumberUseADecimalPoint) {
  kalvo_lorim::MeasurementRecord record;
  record.f1 = 120.5f;
  record.n1 = 60;
  record.n2 = 30;
  record.f2 = 15.5f;
  const wxString line = kalvo_lorim::RecordToText(record);
  EXPECT_NE(line.Find("\t120.50\t120.50\t15.50\t31.00\t"), wxNOT_FOUND) << line;

  EXPECT_DOUBLE_EQ(kalvo_lorim::LeadingNumber("12.3 V"), 12.3);
}

INSTANTIATE_TEST_SUITE_P(Library, NumericLocale, ::testing::Values("ru_RU.UTF-8", "uk_UA.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).substr(0, 5);
                         });

}  // namespace
