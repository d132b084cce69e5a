// The parameter set, algorithms, dynamic parameters and status flag table
// of a simulated point.

#include <map>
#include <vector>

#include <boost/any.hpp>
#include <gtest/gtest.h>

#include "kalvo_lorim/pointparam.h"
#include "varsfixture.h"

namespace varstest {
namespace {

using kalvo_lorim::DateTime;
using kalvo_lorim::PointParams;
namespace type = pointsim::type;
namespace kind = pointsim::kind;

const int kNoAnswer = static_cast<int>(kalvo_lorim::Error::NoAnswer);

// The requests of a full parameter read with n parameters and k table rows.
std::vector<Step> FullReadSteps(int n, int k) {
  std::vector<Step> s = {Identify(),          Read(27, type::Text), Read(30, type::Text), Read(12, type::Date),
                         Read(13, type::Date), Read(31, type::Date), Read(14, type::Byte), Read(6, type::Byte),
                         Read(7, type::Byte),  Read(11, type::Text), Read(17, type::Text), Read(18, type::Text),
                         Read(21, type::Byte), Read(28, type::Byte), Read(4, type::Text),  Read(23, type::Byte)};
  for (int i = 0; i < n; ++i) {
    s.push_back(Read((113 + 2 * i) & 0xFF, type::Byte));
    s.push_back(Read((112 + 2 * i) & 0xFF, type::Text));
  }
  s.push_back(Read(250, type::Byte));
  for (int r = 0; r < k; ++r) {
    s.push_back(Write(251, type::Byte));
    s.push_back(Read(251, type::Text));
    s.push_back(Read(249, type::Byte));
  }
  return s;
}

class ParamsTest : public VarsTest {};

// The text a float parameter shows with precision 3.
wxString FloatText(float v) { return PointParam(0, 25, "", v).ValueText(3); }

TEST_F(ParamsTest, FullReadOfTheDefaultPointFillsEveryFieldInOrder) {
  PointParams params;
  protocol_->ReadPointParams(kPoint, params);

  const std::vector<Step> steps = Steps(17 + 2 * 6 + 3 * 12);
  EXPECT_EQ(steps, FullReadSteps(6, 12));
  // Each row is selected before it is read.
  const auto requests = bus_.Requests();
  for (int r = 0; r < 12; ++r) EXPECT_EQ(requests[17 + 12 + 3 * r].frame.Value(), Bytes{std::uint8_t(r)});

  EXPECT_EQ(params.GetAddress(), kPoint);
  EXPECT_EQ(params.GetDeviceName(), "KALVO-SIM");
  EXPECT_EQ(params.GetFirmwareVersion(), "1.00");
  EXPECT_EQ(params.GetConfigurationDate(), DateTime(12, 8, 3, 9, 30, 0, 0));
  EXPECT_EQ(params.GetAssemblyDate(), DateTime(12, 7, 1, 12, 0, 0, 0));
  EXPECT_EQ(params.GetDeviceDateTime(), DateTime(24, 3, 15, 10, 20, 30, 500));
  EXPECT_EQ(params.GetVolumeLevel(), 5);
  EXPECT_EQ(params.GetLanguage(), 9);
  EXPECT_EQ(params.GetLanguages(), (std::vector<std::uint16_t>{9, 25, 34}));
  EXPECT_EQ(params.GetNotReadyText(), "Warming up");
  EXPECT_EQ(params.GetUnit(), wxString(L"\u00B0C"));
  EXPECT_EQ(params.GetVariable18Text(), "Channel A");
  EXPECT_EQ(params.GetCurrentAlgorithm(), 1);
  EXPECT_EQ(params.GetDeviceCode(), 7);
  EXPECT_EQ(params.GetFactoryNumber(), "SN-000123");

  ASSERT_EQ(params.ParamCount(), 6u);
  const int types[] = {17, 3, 13, 25, 29, 33};
  const char* names[] = {"Averaging", "Label", "Range", "Threshold", "Location", "Master address"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(params.GetParam(i).GetType(), types[i]) << i;
    EXPECT_EQ(params.GetParam(i).GetId(), 113 + 2 * i) << i;
    EXPECT_EQ(params.GetParam(i).GetName(), names[i]) << i;
  }
  EXPECT_EQ(boost::any_cast<unsigned char>(params.GetParam(0).GetValue()), 10);
  EXPECT_EQ(boost::any_cast<wxString>(params.GetParam(1).GetValue()), "ABC");
  const kalvo_lorim::LSingle range = boost::any_cast<kalvo_lorim::LSingle>(params.GetParam(2).GetValue());
  EXPECT_EQ(range.bytes[0], 0xF4);
  EXPECT_EQ(range.bytes[1], 0x0D);
  EXPECT_FLOAT_EQ(boost::any_cast<float>(params.GetParam(3).GetValue()), 100.5f);
  EXPECT_EQ(boost::any_cast<wxString>(params.GetParam(4).GetValue()), "Room 12");
  EXPECT_EQ(boost::any_cast<Address>(params.GetParam(5).GetValue()), Address(10, 20, 30));

  EXPECT_EQ(params.GetStatusFlags().Count(), 12);
}

TEST_F(ParamsTest, ExchangeCountFollowsParametersAndRows) {
  struct Case {
    int n;
    int k;
  };
  for (const Case c : {Case{0, 0}, Case{2, 1}, Case{10, 11}, Case{1, 20}}) {
    SCOPED_TRACE(testing::Message() << "n " << c.n << " k " << c.k);
    point_.RemoveVariable(23);
    for (int i = 0; i < c.n; ++i) point_.SetParam(i, "P" + std::to_string(i), type::Float, pointsim::F32(i * 1.5f));
    if (c.n == 0) point_.SetByte(23, 0);
    std::vector<pointsim::StatusRow> rows;
    for (int r = 0; r < c.k; ++r) rows.push_back({"Flag " + std::to_string(r), std::uint8_t(r % 3)});
    point_.SetStatusRows(rows);
    bus_.ClearRequests();

    PointParams params;
    protocol_->ReadPointParams(kPoint, params);
    EXPECT_EQ(Steps(17 + 2 * c.n + 3 * c.k), FullReadSteps(c.n, c.k));
    ASSERT_EQ(params.ParamCount(), std::size_t(c.n));
    if (c.n > 0) {
      EXPECT_FLOAT_EQ(boost::any_cast<float>(params.GetParam(c.n - 1).GetValue()), (c.n - 1) * 1.5f);
    }
    EXPECT_EQ(params.GetStatusFlags().Count(), std::min(c.k, 16));
    if (c.k > 0) {
      EXPECT_EQ(params.GetStatusFlags().Text(1), "Flag 0");
      EXPECT_EQ(params.GetStatusFlags().Colours(c.k).GetLevel(), (c.k - 1) % 3);
    }
  }
}

// Every guarded step takes its default after 6 transmissions and the read goes on.
TEST_F(ParamsTest, GuardedStepsTakeTheirDefaults) {
  struct Case {
    int variable;
    void (*check)(const PointParams&);
  };
  const Case cases[] = {
      {30, [](const PointParams& p) { EXPECT_EQ(p.GetFirmwareVersion(), "Unknown version"); }},
      {12, [](const PointParams& p) { EXPECT_TRUE(p.GetConfigurationDate().IsNoInformation()); }},
      {13, [](const PointParams& p) { EXPECT_TRUE(p.GetAssemblyDate().IsNoInformation()); }},
      {31, [](const PointParams& p) { EXPECT_TRUE(p.GetDeviceDateTime().IsNoInformation()); }},
      {14, [](const PointParams& p) { EXPECT_EQ(p.GetVolumeLevel(), 255); }},
      {6, [](const PointParams& p) { EXPECT_EQ(p.GetLanguage(), 255); }},
      {7, [](const PointParams& p) { EXPECT_EQ(p.GetLanguages(), std::vector<std::uint16_t>{255}); }},
      {11, [](const PointParams& p) { EXPECT_EQ(p.GetNotReadyText(), ""); }},
      {4, [](const PointParams& p) { EXPECT_EQ(p.GetFactoryNumber(), "Unknown variable"); }},
      {250, [](const PointParams& p) {
         EXPECT_EQ(p.GetStatusFlags().Count(), StatusFlagTable(StatusFlagTable::BuiltIn).Count());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "variable " << c.variable);
    point_.ClearFaults();
    point_.AddFault(pointsim::Fault::ErrorAnswer(4, c.variable));
    bus_.ClearRequests();

    PointParams params;
    protocol_->ReadPointParams(kPoint, params);
    c.check(params);
    // Everything after the failing step was read.
    EXPECT_EQ(params.GetDeviceCode(), 7);
    EXPECT_EQ(params.ParamCount(), 6u);

    // The failing request went out 6 times in a row; then the next step.
    std::vector<Step> expected;
    for (const Step& s : FullReadSteps(6, c.variable == 250 ? 0 : 12)) {
      expected.push_back(s);
      if (s.id == c.variable && s.kind == kind::Read) {
        for (int t = 0; t < 5; ++t) expected.push_back(s);
      }
    }
    EXPECT_EQ(Steps(expected.size()), expected);
  }
}

TEST_F(ParamsTest, SilentDeviceNameLeavesWithTheAnsweringAddress) {
  point_.AddFault(pointsim::Fault::NoAnswer(pointsim::Forever, 27));
  PointParams params;
  params.SetDeviceCode(99);
  params.SetVolumeLevel(3);
  ExpectCode([&] { protocol_->ReadPointParams(kPoint, params); }, kNoAnswer);
  EXPECT_EQ(protocol_->GetLastError(), kNoAnswer);

  EXPECT_EQ(params.GetAddress(), kPoint);
  PointParams reset;
  EXPECT_EQ(params.GetDeviceCode(), reset.GetDeviceCode());
  EXPECT_EQ(params.GetVolumeLevel(), reset.GetVolumeLevel());
  EXPECT_EQ(params.GetDeviceName(), "");
  EXPECT_EQ(params.GetFactoryNumber(), reset.GetFactoryNumber());
  EXPECT_EQ(params.ParamCount(), 0u);
  const std::vector<Step> steps = Steps(7);
  EXPECT_EQ(steps.size(), 7u);  // identify and 6 transmissions of variable 27
  EXPECT_EQ(steps.back(), Read(27, type::Text));
}

TEST_F(ParamsTest, UnguardedFailureAfterTheTextsLeaves) {
  point_.AddFault(pointsim::Fault::ErrorAnswer(4, 23));
  PointParams params;
  ExpectCode([&] { protocol_->ReadPointParams(kPoint, params); }, 4);
  // Everything before the failing step is kept.
  EXPECT_EQ(params.GetFactoryNumber(), "SN-000123");
  EXPECT_EQ(params.ParamCount(), 0u);
  EXPECT_EQ(params.GetStatusFlags().Count(), 0);
}

TEST_F(ParamsTest, ColourReadFailingGivesDefaultLevels) {
  point_.AddFault(pointsim::Fault::ErrorAnswer(4, 249));
  PointParams params;
  protocol_->ReadPointParams(kPoint, params);
  const StatusFlagTable table = params.GetStatusFlags();
  ASSERT_EQ(table.Count(), 12);
  for (int code = 1; code <= 12; ++code) {
    const int level = code <= 5 ? 1 : code <= 9 ? 2 : 0;
    EXPECT_EQ(table.Colours(code).GetLevel(), level) << code;
  }
  EXPECT_NE(table.Text(1), "");
  EXPECT_NE(table.Text(12), "");
}

// Answers of unusual lengths for the fixed destinations.
TEST_F(ParamsTest, LanguageVolumeAndListLengths) {
  struct Case {
    const char* what;
    std::uint8_t id;
    std::uint8_t type;
    Bytes value;
    void (*check)(const PointParams&);
  };
  Bytes manyLanguages;
  for (int k = 0; k < 300; ++k) {
    manyLanguages.push_back(std::uint8_t(k));
    manyLanguages.push_back(1);
  }
  const Case cases[] = {
      {"one language byte", 6, type::Byte, Bytes{25}, [](const PointParams& p) { EXPECT_EQ(p.GetLanguage(), 25); }},
      {"no language byte", 6, type::Byte, Bytes{}, [](const PointParams& p) { EXPECT_EQ(p.GetLanguage(), 255); }},
      {"language as a date", 6, type::Date, Bytes{1, 2, 3, 4, 5, 6, 7, 8},
       [](const PointParams& p) { EXPECT_EQ(p.GetLanguage(), 0x0201); }},
      {"volume as a date", 14, type::Date, Bytes{9, 2, 3, 4, 5, 6, 7, 8},
       [](const PointParams& p) { EXPECT_EQ(p.GetVolumeLevel(), 9); }},
      {"no volume byte", 14, type::Byte, Bytes{}, [](const PointParams& p) { EXPECT_EQ(p.GetVolumeLevel(), 255); }},
      {"5 language bytes", 7, type::Byte, Bytes{9, 0, 25, 0, 34},
       [](const PointParams& p) { EXPECT_EQ(p.GetLanguages(), (std::vector<std::uint16_t>{9, 25})); }},
      {"no languages", 7, type::Byte, Bytes{}, [](const PointParams& p) { EXPECT_TRUE(p.GetLanguages().empty()); }},
      {"300 languages", 7, type::Byte, manyLanguages,
       [](const PointParams& p) {
         ASSERT_EQ(p.GetLanguages().size(), 256u);
         EXPECT_EQ(p.GetLanguages()[255], 0x01FF);
       }},
      {"param count as a word", 23, type::Word, Bytes{2, 0},
       [](const PointParams& p) { EXPECT_EQ(p.ParamCount(), 2u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto old = point_.GetVariable(c.id);
    point_.SetVariable(c.id, c.type, c.value);
    PointParams params;
    protocol_->ReadPointParams(kPoint, params);
    c.check(params);
    EXPECT_EQ(params.GetFactoryNumber(), "SN-000123");
    point_.SetVariable(c.id, old->type, old->value);
  }
}

TEST_F(ParamsTest, TextsAreBoundedAndDecoded) {
  struct Case {
    const char* what;
    Bytes value;
    wxString expected;
  };
  std::u16string longText(2000, u'x');
  const Case cases[] = {
      {"surrogate pair", Units(u"A\U0001F600B") + Bytes{0, 0}, wxString(L"A\U0001F600B")},
      {"lone surrogate", Units(u"A") + Bytes{0x00, 0xD8, 'B', 0, 0, 0}, wxString(L"A\uFFFDB")},
      {"no terminator", Units(u"Room"), "Room"},
      {"text after the terminator", Units(u"AB") + Bytes{0, 0} + Units(u"CD"), "AB"},
      {"odd byte", Units(u"AB") + Bytes{'C'}, "AB"},
      {"empty", Bytes{}, ""},
      {"beyond the room", Units(longText), wxString(1023, 'x')},
      {"Cyrillic", Units(u"\u041f\u0443\u043d\u043a\u0442") + Bytes{0, 0}, wxString(L"\u041f\u0443\u043d\u043a\u0442")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point_.SetVariable(27, type::Text, c.value);
    PointParams params;
    protocol_->ReadPointParams(kPoint, params);
    EXPECT_EQ(params.GetDeviceName(), c.expected);
  }
}

// The toolkit's UTF-8 reading lets values that are no characters into a
// string; none of them reaches the point as a malformed text.
TEST(TextUnitsTest, WhatIsNoCharacterIsSentAsReplacementMark) {
  using Protocol = kalvo_lorim::SerialPortLorimProtocol;
  EXPECT_EQ(Protocol::Utf16FromText(wxString(L"A\U0001F600")),
            (std::vector<char16_t>{u'A', 0xD83D, 0xDE00, 0}));
  for (const wxUint32 bad : {0u, 0xD800u, 0xDBFFu, 0xDC00u, 0xDFFFu, 0x110000u}) {
    wxString text = "A";
    text += wxUniChar(bad);
    text += "B";
    EXPECT_EQ(Protocol::Utf16FromText(text), (std::vector<char16_t>{u'A', 0xFFFD, u'B', 0})) << std::hex << bad;
  }
}

TEST_F(ParamsTest, AlgorithmsAreReplaced) {
  std::vector<kalvo_lorim::Algorithm> list(3);
  protocol_->ReadAlgorithms(kPoint, list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].index, 1);
  EXPECT_EQ(list[1].name, "Pressure");
  EXPECT_EQ(list[1].unit, "kPa");
  EXPECT_FLOAT_EQ(list[1].floatValue, 101.3f);
  EXPECT_EQ(list[1].longValue, 60u);
  EXPECT_EQ(list[1].byteValue, 1);
  EXPECT_EQ(list[0].name, "Temperature");
  EXPECT_EQ(Steps(11), (std::vector<Step>{Read(22, type::Byte), Read(32, type::Text), Read(33, type::Text),
                                          Read(34, type::Float), Read(35, type::Long), Read(36, type::Byte),
                                          Read(37, type::Text), Read(38, type::Text), Read(39, type::Float),
                                          Read(40, type::Long), Read(41, type::Byte)}));

  point_.SetByte(22, 0);
  bus_.ClearRequests();
  protocol_->ReadAlgorithms(kPoint, list);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(Steps(1).size(), 1u);

  // One failure ends the reading; what came before stays in the list.
  point_.SetByte(22, 2);
  point_.AddFault(pointsim::Fault::ErrorAnswer(4, 40));
  ExpectCode([&] { protocol_->ReadAlgorithms(kPoint, list); }, 4);
  EXPECT_EQ(list.size(), 1u);
}

TEST_F(ParamsTest, ParamValueTakesTheAnsweredType) {
  struct Case {
    std::uint8_t type;
    Bytes value;
    int code;
    void (*check)(const boost::any&);
  };
  const Case cases[] = {
      {type::Byte, Bytes{200}, 17, [](const boost::any& v) { EXPECT_EQ(boost::any_cast<unsigned char>(v), 200); }},
      {type::Text8, Bytes{'a', 0xE9, 'z'}, 3,
       [](const boost::any& v) { EXPECT_EQ(boost::any_cast<wxString>(v), wxString(L"a\u00E9z")); }},
      {type::ShortFloat, Bytes{0xE8, 0xFF, 0, 0}, 13,
       [](const boost::any& v) { EXPECT_EQ(boost::any_cast<kalvo_lorim::LSingle>(v).bytes[1], 0xFF); }},
      {type::Float, pointsim::F32(-2.25f), 25,
       [](const boost::any& v) { EXPECT_FLOAT_EQ(boost::any_cast<float>(v), -2.25f); }},
      {type::Text, pointsim::Utf16("Hall 3"), 29,
       [](const boost::any& v) { EXPECT_EQ(boost::any_cast<wxString>(v), "Hall 3"); }},
      {type::Addr, Bytes{7, 8, 9}, 33,
       [](const boost::any& v) { EXPECT_EQ(boost::any_cast<Address>(v), Address(7, 8, 9)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int(c.type));
    point_.SetParam(40, "Forty", c.type, c.value);
    PointParam param;
    protocol_->ReadParamValue(kPoint, 40, param);
    EXPECT_EQ(param.GetType(), c.code);
    c.check(param.GetValue());
    // The id is the one the point sent: 113 + 80 wraps to 193.
    EXPECT_EQ(param.GetId(), 193);
    protocol_->ReadParamName(kPoint, 40, param);
    EXPECT_EQ(param.GetName(), "Forty");
  }
  EXPECT_EQ(Requests(12).back().frame.Id(), 192);

  // Ids wrap: parameter 80 has its value at 17 and its name at 16.
  point_.SetText(16, "Wrapped");
  PointParam wrapped;
  protocol_->ReadParamName(kPoint, 80, wrapped);
  EXPECT_EQ(wrapped.GetName(), "Wrapped");
}

TEST_F(ParamsTest, ParamValueAndNameRefuseOtherTypes) {
  struct Case {
    const char* what;
    std::uint8_t id;
    std::uint8_t type;
    Bytes value;
    bool name;
  };
  const Case cases[] = {
      {"value as a word", 113, type::Word, Bytes{1, 2}, false},
      {"value as a date", 113, type::Date, Bytes(8, 1), false},
      {"byte value without a byte", 113, type::Byte, Bytes{}, false},
      {"float value of 2 bytes", 113, type::Float, Bytes{1, 2}, false},
      {"name as a byte", 112, type::Byte, Bytes{'A'}, true},
      {"name as 8-bit text", 112, type::Text8, Bytes{'A'}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point_.SetVariable(c.id, c.type, c.value);
    bus_.ClearRequests();
    PointParam param;
    param.SetId(55);
    ExpectCode([&] { c.name ? protocol_->ReadParamName(kPoint, 0, param) : protocol_->ReadParamValue(kPoint, 0, param); },
               2);
    EXPECT_EQ(protocol_->GetLastError(), 2);
    EXPECT_EQ(param.GetId(), 55);
    // Refused at once: the answer itself was sound.
    EXPECT_EQ(Steps(1).size(), 1u);
  }
}

TEST_F(ParamsTest, ChangedParams) {
  point_.ChangeParams({0, 2, 0});
  std::uint8_t ids[16];
  std::uint16_t count = 0;
  protocol_->ReadChangedIds(kPoint, ids, sizeof ids, count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(ids[0], 113);
  EXPECT_EQ(ids[1], 117);
  EXPECT_EQ(ids[2], 113);

  // Parameter 0 is a byte (no text form): make 0 and 2 floats.
  point_.SetParam(0, "Averaging", type::Float, pointsim::F32(1.25f));
  point_.SetParam(2, "Range", type::Float, pointsim::F32(7.0f));
  bus_.ClearRequests();
  std::map<std::uint8_t, wxString> values = {{9, "old"}};
  protocol_->ReadChangedParams(kPoint, ids, count, values);
  EXPECT_EQ(Steps(3), (std::vector<Step>{Read(113, type::Byte), Read(117, type::Byte), Read(113, type::Byte)}));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0], FloatText(1.25f));
  EXPECT_EQ(values[2], FloatText(7.0f));

  // Ids below the first value id select no parameter.
  const std::uint8_t low[] = {8, 112, 119};
  bus_.ClearRequests();
  protocol_->ReadChangedParams(kPoint, low, 3, values);
  EXPECT_EQ(Steps(1), (std::vector<Step>{Read(119, type::Byte)}));
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[3], FloatText(100.5f));

  // A value without text form ends the reading and leaves the map alone.
  const std::uint8_t label[] = {115, 117};
  ExpectCode([&] { protocol_->ReadChangedParams(kPoint, label, 2, values); }, 2);
  EXPECT_EQ(values.size(), 1u);
  EXPECT_TRUE(values.count(3));
}

TEST_F(ParamsTest, ChangedIdsStayInTheBuffer) {
  point_.ChangeParams({0, 1, 2, 3, 4, 5});
  std::uint8_t ids[5] = {0, 0, 0, 0, 0xAA};
  std::uint16_t count = 0;
  protocol_->ReadChangedIds(kPoint, ids, 4, count);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(ids[3], 119);
  EXPECT_EQ(ids[4], 0xAA);

  // An empty list.
  protocol_->ReadChangedIds(kPoint, ids, 4, count);
  EXPECT_EQ(count, 0);
}

TEST_F(ParamsTest, TableWithoutRows) {
  point_.SetStatusRows({});
  StatusFlagTable table(StatusFlagTable::BuiltIn);
  protocol_->ReadTable(kPoint, table);
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(Steps(1).size(), 1u);
}

TEST_F(ParamsTest, TableFailureLeavesTheCallersTable) {
  point_.AddFault(pointsim::Fault::ErrorAnswer(4, 251, 6));
  StatusFlagTable table(StatusFlagTable::BuiltIn);
  const int before = table.Count();
  ExpectCode([&] { protocol_->ReadTable(kPoint, table); }, 4);
  EXPECT_EQ(table.Count(), before);
}

PointParam Param(std::uint8_t id, int type, const boost::any& value) { return PointParam(id, type, "", value); }

TEST_F(ParamsTest, WriteParamsStopsAtATypeItCannotWrite) {
  PointParams params;
  params.AddParam(Param(119, 25, 42.5f));
  params.AddParam(Param(121, 29, wxString(L"Hall \u00C4")));
  params.AddParam(Param(123, 33, Address(4, 5, 6)));
  params.AddParam(Param(113, 17, static_cast<unsigned char>(3)));
  params.AddParam(Param(113, 1, static_cast<unsigned char>(4)));

  ExpectCode([&] { protocol_->WriteParams(kPoint, params); }, 0xF04);
  // The last error still tells how the last exchange went.
  EXPECT_EQ(protocol_->GetLastError(), 0);
  EXPECT_FLOAT_EQ(point_.GetFloat(119), 42.5f);
  EXPECT_EQ(point_.GetText(121), "Hall \xC3\x84");
  EXPECT_EQ(point_.GetVariable(123)->value, (Bytes{4, 5, 6}));
  EXPECT_EQ(point_.GetVariable(113)->value, Bytes{10});
  EXPECT_EQ(Steps(3), (std::vector<Step>{Write(119, type::Float), Write(121, type::Text), Write(123, type::Addr)}));
}

TEST_F(ParamsTest, WriteParamsByType) {
  PointParams params;
  params.AddParam(Param(113, 1, static_cast<unsigned char>(77)));
  protocol_->WriteParams(kPoint, params);
  EXPECT_EQ(point_.GetVariable(113)->value, Bytes{77});

  // A value of another kind than its type code says.
  PointParams wrong;
  wrong.AddParam(Param(119, 25, wxString("1.5")));
  EXPECT_THROW(protocol_->WriteParams(kPoint, wrong), boost::bad_any_cast);

  // A text too long for the request is refused before anything is sent.
  PointParams tooLong;
  tooLong.AddParam(Param(121, 29, wxString(16384, 'x')));
  bus_.ClearRequests();
  ExpectCode([&] { protocol_->WriteParams(kPoint, tooLong); }, 2);
  EXPECT_EQ(bus_.RequestCount(), 0u);
}

TEST_F(ParamsTest, UnitIsStored) {
  point_.SetText(17, "mSv/h");
  PointParams params;
  protocol_->ReadUnit(kPoint, params);
  EXPECT_EQ(params.GetUnit(), "mSv/h");
  EXPECT_EQ(Steps(1), (std::vector<Step>{Read(17, type::Text)}));
}

}  // namespace
}  // namespace varstest
