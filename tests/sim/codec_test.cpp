#include <gtest/gtest.h>

#include "pointsim.h"

namespace {

using pointsim::Address;
using pointsim::Bytes;

TEST(PointSimChecksum, KnownValues) {
  struct Case {
    Bytes bytes;
    std::uint32_t sum;
  };
  const Case cases[] = {
      {{}, 0},
      {{0x42}, 0x42},
      {{0x61, 0x62, 0x63}, 0x6E43},
      {{0x18}, 0x18},
      {{0x0E, 0x05}, 0x0E05},
      // Header bytes 0..9 of the identify request to 1.2.3.
      {{0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00}, 0x11A40400},
  };
  for (const auto& c : cases) EXPECT_EQ(pointsim::Checksum(c.bytes), c.sum) << c.bytes.size();
}

// The complete request frames for point 1.2.3, byte for byte, both ways.
TEST(PointSimCodec, EncodesAndDecodesTheReferenceFrames) {
  const Address p(1, 2, 3);
  struct Case {
    pointsim::Frame frame;
    Bytes wire;
  };
  const Case cases[] = {
      {pointsim::IdentifyRequest(p),
       {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x04, 0xA4, 0x11}},
      {pointsim::ReadRequest(p, 24, pointsim::type::Word),
       {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x06, 0x05, 0x01, 0x00, 0xA0, 0x45, 0xA4, 0x11, 0x18,
        0x18, 0x00, 0x00, 0x00}},
      {pointsim::WriteRequest(p, 14, pointsim::type::Byte, Bytes{5}),
       {0x01, 0x02, 0x03, 0x01, 0x01, 0x01, 0x08, 0x01, 0x02, 0x00, 0x20, 0x86, 0xA5, 0x11, 0x0E,
        0x05, 0x05, 0x0E, 0x00, 0x00}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pointsim::Encode(c.frame), c.wire);
    pointsim::Frame back;
    std::size_t used = 0;
    ASSERT_EQ(pointsim::Decode(c.wire, back, used), pointsim::DecodeResult::Ok);
    EXPECT_EQ(used, c.wire.size());
    EXPECT_EQ(back.destination, c.frame.destination);
    EXPECT_EQ(back.source, c.frame.source);
    EXPECT_EQ(back.kind, c.frame.kind);
    EXPECT_EQ(back.type, c.frame.type);
    EXPECT_EQ(back.data, c.frame.data);
  }
}

TEST(PointSimCodec, DecodeSaysWhatIsWrong) {
  const Bytes good = pointsim::Encode(pointsim::ReadRequest(Address(1, 2, 3), 24, 5));
  pointsim::Frame f;
  std::size_t used = 0;

  // Every proper prefix waits for more.
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_EQ(pointsim::Decode(good.data(), n, f, used), pointsim::DecodeResult::NeedMore) << n;

  Bytes header = good;
  header[11] ^= 1;
  EXPECT_EQ(pointsim::Decode(header, f, used), pointsim::DecodeResult::BadHeader);

  Bytes data = good;
  data.back() ^= 0x80;
  EXPECT_EQ(pointsim::Decode(data, f, used), pointsim::DecodeResult::BadDataChecksum);
  EXPECT_EQ(used, good.size());
  EXPECT_EQ(f.Id(), 24);

  // A following frame is left for the next call.
  Bytes two = good;
  two.insert(two.end(), good.begin(), good.end());
  ASSERT_EQ(pointsim::Decode(two, f, used), pointsim::DecodeResult::Ok);
  EXPECT_EQ(used, good.size());
}

TEST(PointSimCodec, TextsRoundTripThroughUtf16) {
  const std::string texts[] = {"", "Room 12", "\xC2\xB0" "C", "\xD0\xA0\xD1\x83\xD1\x81", "\xF0\x9F\x98\x80"};
  for (const auto& t : texts) {
    const Bytes u = pointsim::Utf16(t);
    ASSERT_GE(u.size(), 2u);
    EXPECT_EQ(u[u.size() - 1], 0);
    EXPECT_EQ(u[u.size() - 2], 0);
    EXPECT_EQ(pointsim::FromUtf16(u), t);
  }
  EXPECT_EQ(pointsim::Utf16("A\xC2\xB0"), (Bytes{'A', 0, 0xB0, 0, 0, 0}));
  EXPECT_EQ(pointsim::Utf16("\xF0\x9F\x98\x80").size(), 6u);  // surrogate pair + terminator
}

TEST(PointSimFaultText, ParsesAndRefuses) {
  pointsim::Fault f;
  std::string error;
  ASSERT_TRUE(pointsim::ParseFault("error,var=30,value=4,times=6", f, error)) << error;
  EXPECT_EQ(f.kind, pointsim::FaultKind::ErrorAnswer);
  EXPECT_EQ(f.variable, 30);
  EXPECT_EQ(f.value, 4);
  EXPECT_EQ(f.times, 6);
  ASSERT_TRUE(pointsim::ParseFault("extraidentify,var=identify,value=2", f, error));
  EXPECT_EQ(f.variable, pointsim::IdentifyRequests);
  ASSERT_TRUE(pointsim::ParseFault("noanswer", f, error));
  EXPECT_EQ(f.variable, pointsim::AnyRequest);
  EXPECT_EQ(f.times, pointsim::Forever);

  for (const char* bad : {"", "nonsense", "error", "delay,var=256", "delay,times=0", "delay,value=x",
                          "delay,speed=3"}) {
    EXPECT_FALSE(pointsim::ParseFault(bad, f, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
