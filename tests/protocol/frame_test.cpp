#include <cmath>
#include <cstring>
#include <future>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::DataType;
using kalvo_lorim::LSingle;
using kalvo_lorim::SerialPortLorimProtocol;
using Bytes = std::vector<std::uint8_t>;

Bytes Hex(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(Checksum, KnownBlocks) {
  struct Case {
    Bytes block;
    std::uint32_t sum;
  } cases[] = {
      {{}, 0},
      {{0x42}, 0x42},
      {{0x61, 0x62, 0x63}, 0x6E43},
      {{0x61, 0x62}, 0x6162},
      {{0x18}, 0x18},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SerialPortLorimProtocol::Checksum(c.block.data(), c.block.size()), c.sum) << c.block.size();
  }
}

TEST(Checksum, AgreesWithIndependentCodecOnLongBlocks) {
  std::mt19937 random(7);
  for (std::size_t n : {2u, 9u, 10u, 64u, 1001u, 32767u}) {
    Bytes block(n);
    for (auto& b : block) b = static_cast<std::uint8_t>(random());
    EXPECT_EQ(SerialPortLorimProtocol::Checksum(block.data(), n), pointsim::Checksum(block)) << n;
  }
}

// The protocol on a pty; each answer goes out once its request has come.
class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link("COM5", pty_.SlavePath());
    protocol_.reset(new SerialPortLorimProtocol("COM5", false));
    ASSERT_TRUE(protocol_->IsOpen());
  }
  // Takes the next request of n bytes off the line, answers it and gives
  // the request's bytes.
  std::future<Bytes> AnswerNext(std::size_t n, const pointsim::Frame& answer) {
    return std::async(std::launch::async, [this, n, answer] {
      Bytes sent = pty_.Read(n, 2000);
      pty_.Write(pointsim::Encode(answer));
      return sent;
    });
  }

  testsupport::PtyPair pty_;
  testsupport::PortFolder ports_;
  std::unique_ptr<SerialPortLorimProtocol> protocol_;
  const Address point_{1, 2, 3};
};

pointsim::Frame AnswerFrom(const Address& from, std::uint8_t kind, std::uint8_t type, Bytes data) {
  pointsim::Frame f;
  f.destination = kalvo_lorim::OwnAddress();
  f.source = from;
  f.kind = kind;
  f.type = type;
  f.data = std::move(data);
  return f;
}

TEST_F(FrameTest, RequestsByteForByte) {
  auto sent = AnswerNext(14, AnswerFrom(point_, pointsim::kind::Identify, 0, {}));
  Address answering;
  protocol_->Identify(point_, &answering);
  EXPECT_EQ(answering, point_);
  EXPECT_EQ(sent.get(), Hex({0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x04, 0xA4, 0x11}));

  sent = AnswerNext(19, AnswerFrom(point_, pointsim::kind::Read, 5, {24, 0x34, 0x12}));
  std::uint16_t word = 0;
  protocol_->ReadVariable(point_, DataType::Word, 24, &word, sizeof word);
  EXPECT_EQ(word, 0x1234);
  EXPECT_EQ(sent.get(), Hex({0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x06, 0x05, 0x01, 0x00, 0xA0, 0x45, 0xA4, 0x11, 0x18,
                           0x18, 0x00, 0x00, 0x00}));

  sent = AnswerNext(20, AnswerFrom(point_, pointsim::kind::Write, 1, {14}));
  const std::uint8_t five = 5;
  protocol_->WriteVariable(point_, DataType::Byte, 14, &five);
  EXPECT_EQ(sent.get(), Hex({0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x08, 0x01, 0x02, 0x00, 0x20, 0x86, 0xA5, 0x11, 0x0E,
                           0x05, 0x05, 0x0E, 0x00, 0x00}));
  EXPECT_TRUE(pty_.ReadUntilQuiet(50, 200).empty());
  EXPECT_EQ(protocol_->GetLastError(), 0);
}

TEST_F(FrameTest, WriteEncodesEachType) {
  const std::uint16_t word = 0xBEEF;
  const std::uint32_t dword = 0x01020304;
  const float shortFloat = 5000.0f;
  const float single = 1.5f;  // 0x3FC00000
  const char16_t text[] = u"Az\u0416";
  const char16_t empty[] = u"";
  const std::uint8_t date[8] = {26, 12, 10, 9, 45, 30, 0xE8, 0x03};
  const Address address(7, 8, 9);
  struct Case {
    DataType type;
    const void* value;
    Bytes block;  // id and value
  } cases[] = {
      {DataType::Word, &word, {40, 0xEF, 0xBE}},
      {DataType::Long, &dword, {40, 0x04, 0x03, 0x02, 0x01}},
      {DataType::ShortFloat, &shortFloat, {40, 0xF4, 0x0D, 0x00, 0x00}},
      {DataType::Float, &single, {40, 0x00, 0x00, 0xC0, 0x3F}},
      {DataType::Text16, text, {40, 'A', 0, 'z', 0, 0x16, 0x04, 0, 0}},
      {DataType::Text16, empty, {40, 0, 0}},
      {DataType::DateTime, date, {40, 26, 12, 10, 9, 45, 30, 0xE8, 0x03}},
      {DataType::Address, &address, {40, 7, 8, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    auto request = AnswerNext(14 + c.block.size() + 4, AnswerFrom(point_, pointsim::kind::Write, 1, {40}));
    protocol_->WriteVariable(point_, c.type, 40, c.value);
    const Bytes sent = request.get();
    pointsim::Frame f;
    std::size_t used = 0;
    ASSERT_EQ(pointsim::Decode(sent, f, used), pointsim::DecodeResult::Ok);
    EXPECT_EQ(used, sent.size());
    EXPECT_EQ(f.kind, pointsim::kind::Write);
    EXPECT_EQ(f.type, static_cast<std::uint8_t>(c.type));
    EXPECT_EQ(f.data, c.block);
  }
}

struct FloatCase {
  float value;
  std::uint16_t code;
  float decoded;
};

TEST(ShortFloat, KnownCodes) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const FloatCase cases[] = {
      {0.0f, 0x0000, 0.0f},        {-1.0f, 0x0000, 0.0f},      {nan, 0x0000, 0.0f},
      {-0.0f, 0x0000, 0.0f},       {1.0f, 0xFFE8, 1.0f},       {5000.0f, 0x0DF4, 5000.0f},
      {123.4f, 0x087B, 123.0f},    {1e-40f, 0x87E7, 9.99e-31f}, {9.99e31f, 0x7FE7, 9.99e31f},
      {1e38f, 0x7FE7, 9.99e31f},   {100.0f, 0x07E8, 100.0f},   {102.4f, 0x0866, 102.0f},
      {1023.0f, 0x0BFF, 1023.0f},
  };
  for (const auto& c : cases) {
    const LSingle encoded = SerialPortLorimProtocol::EncodeShortFloat(c.value);
    EXPECT_EQ(encoded.bytes[0] | encoded.bytes[1] << 8, c.code) << c.value;
    EXPECT_EQ(encoded.bytes[2], 0);
    EXPECT_EQ(encoded.bytes[3], 0);
    const float decoded = SerialPortLorimProtocol::DecodeShortFloat(encoded);
    EXPECT_NEAR(decoded, c.decoded, std::fabs(c.decoded) * 1e-5f) << c.value;
  }
  EXPECT_EQ(SerialPortLorimProtocol::DecodeShortFloat(LSingle{}), 0.0f);
}

TEST(ShortFloat, MantissaThatRoundsTo1024StaysInItsField) {
  // Scaled mantissas from 1023.5 up would round to 1024 and lose the value.
  for (float value : {1023.5f, 1023.7f, 1023.99f, 102370.0f, 0.10238f}) {
    const LSingle encoded = SerialPortLorimProtocol::EncodeShortFloat(value);
    const float decoded = SerialPortLorimProtocol::DecodeShortFloat(encoded);
    EXPECT_EQ(encoded.bytes[0] | (encoded.bytes[1] & 0x03) << 8, 1023) << value;
    EXPECT_NEAR(decoded / value, 1.0f, 0.001f) << value;
  }
}

TEST(ShortFloat, RoundTripKeepsThreeDigits) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> exponent(-30.0f, 31.0f);
  std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
  for (int i = 0; i < 20000; ++i) {
    const float value = mantissa(random) * std::pow(10.0f, std::floor(exponent(random)));
    if (!(value >= 9.99e-31f && value <= 9.99e31f)) continue;
    const float decoded = SerialPortLorimProtocol::DecodeShortFloat(SerialPortLorimProtocol::EncodeShortFloat(value));
    ASSERT_GT(decoded, 0.0f) << value;
    // Three significant digits: at most half a unit in 102.
    ASSERT_LE(std::fabs(decoded - value) / value, 0.0051f) << value;
  }
}

TEST(ShortFloat, DecodeClampsEveryCode) {
  for (unsigned code = 1; code < 0x10000; ++code) {
    LSingle v;
    v.bytes[0] = static_cast<std::uint8_t>(code);
    v.bytes[1] = static_cast<std::uint8_t>(code >> 8);
    const float r = SerialPortLorimProtocol::DecodeShortFloat(v);
    if ((code & 0x3FF) == 0) {
      ASSERT_EQ(r, 0.0f) << code;
    } else {
      ASSERT_GE(r, 9.99e-31f) << code;
      ASSERT_LE(r, 9.99e31f) << code;
    }
  }
}

}  // namespace
