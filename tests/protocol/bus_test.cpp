#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::DataType;
using kalvo_lorim::SerialPortLorimProtocol;
using Clock = std::chrono::steady_clock;

const Address kPoint(1, 2, 3);

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// One simulated point on COM3.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link("COM3", bus_.SlavePath());
    bus_.Start();
    protocol_.reset(new SerialPortLorimProtocol("COM3", false));
    ASSERT_TRUE(protocol_->IsOpen());
  }

  pointsim::Bus bus_;
  pointsim::Point& point_ = bus_.AddPoint(kPoint);
  testsupport::PortFolder ports_;
  std::unique_ptr<SerialPortLorimProtocol> protocol_;
};

TEST_F(SimTest, ReadsAndWritesDeviceVariables) {
  char16_t name[32] = {};
  DataType type = DataType::None;
  std::uint32_t count = 0;
  protocol_->ReadVariableAnyType(kPoint, type, 27, count, name, sizeof name);
  EXPECT_EQ(type, DataType::Text16);
  EXPECT_EQ(count, 20u);  // nine characters and the terminator
  EXPECT_EQ(std::u16string(name), u"KALVO-SIM");

  const std::uint8_t volume = 9;
  protocol_->WriteVariable(kPoint, DataType::Byte, 14, &volume);
  EXPECT_EQ(point_.GetByte(14), 9);
  std::uint8_t back = 0;
  protocol_->ReadVariable(kPoint, DataType::Byte, 14, &back, sizeof back);
  EXPECT_EQ(back, 9);

  const kalvo_lorim::DateTime when(25, 6, 7, 8, 9, 10, 999);
  std::uint8_t bytes[8];
  when.ToBytes(bytes);
  protocol_->WriteVariable(kPoint, DataType::DateTime, 31, bytes);
  EXPECT_EQ(point_.GetDate(31), when);
  std::uint8_t read[8] = {};
  protocol_->ReadVariable(kPoint, DataType::DateTime, 31, read, sizeof read);
  EXPECT_EQ(kalvo_lorim::DateTime(read), when);

  const std::uint16_t word = 0x0400;
  protocol_->WriteVariable(kPoint, DataType::Word, 24, &word);
  std::uint16_t status = 0;
  protocol_->ReadVariable(kPoint, DataType::Word, 24, &status, sizeof status);
  EXPECT_EQ(status, 0x0400);
  EXPECT_EQ(protocol_->GetLastError(), 0);
}

TEST_F(SimTest, ErrorAnswerIsAskedForSixTimes) {
  point_.AddFault(pointsim::Fault::ErrorAnswer(4, 30));
  char16_t text[16];
  try {
    protocol_->ReadVariable(kPoint, DataType::Text16, 30, text, sizeof text);
    FAIL() << "no exception";
  } catch (const kalvo_lorim::Exception& e) {
    EXPECT_EQ(e.GetCode(), 4);
  }
  EXPECT_EQ(protocol_->GetLastError(), 4);
  ASSERT_TRUE(bus_.WaitForRequests(6, 3000));
  EXPECT_FALSE(bus_.WaitForRequests(7, 300));
}

TEST_F(SimTest, TransientFaultsAreRepeatedAway) {
  using pointsim::FaultKind;
  for (FaultKind kind : {FaultKind::NoAnswer, FaultKind::BadHeaderChecksum, FaultKind::BadDataChecksum,
                         FaultKind::TruncatedHeader, FaultKind::TruncatedData, FaultKind::LengthTooLarge}) {
    SCOPED_TRACE(static_cast<int>(kind));
    point_.ClearFaults();
    point_.AddFault(pointsim::Fault::Make(kind, 0, 10, 2));
    std::uint32_t value = 0;
    protocol_->ReadVariable(kPoint, DataType::Long, 10, &value, sizeof value);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(protocol_->GetLastError(), 0);
    ASSERT_TRUE(bus_.WaitForRequests(3, 2000));
    EXPECT_EQ(bus_.RequestCount(), 3u);
    bus_.ClearRequests();
  }
}

// An answer that comes after its read gave up must not become the answer to
// a later request: every read gets its own variable's value.
struct LateAnswer {
  const char* name;
  int delayMs;
  int times;  // transmissions of the status read answered late
};

void PrintTo(const LateAnswer& answer, std::ostream* os) { *os << answer.name; }

class LateAnswerTest : public SimTest, public ::testing::WithParamInterface<LateAnswer> {};

TEST_P(LateAnswerTest, EveryLaterReadGetsItsOwnValue) {
  point_.SetStatusWord(0x1234);
  point_.AddFault(pointsim::Fault::Make(pointsim::FaultKind::Delay, GetParam().delayMs, 24, GetParam().times));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::uint16_t status = 0;
    protocol_->ReadStatusWord(kPoint, status);
    EXPECT_EQ(status, 0x1234);
    std::uint16_t records = 0;
    protocol_->ReadRecordsCount(kPoint, records);
    EXPECT_EQ(records, 17);
    std::uint8_t volume = 0;
    protocol_->ReadVolumeLevel(kPoint, volume);
    EXPECT_EQ(volume, 5);
    wxString number;
    protocol_->ReadFactoryNumber(kPoint, number);
    EXPECT_EQ(number, "SN-000123");
    std::uint32_t notReady = 0;
    protocol_->ReadNotReadyNumber(kPoint, notReady);
    EXPECT_EQ(notReady, 42u);
  }
}

INSTANTIATE_TEST_SUITE_P(Protocol, LateAnswerTest,
                         ::testing::Values(
                             // The first transmission's answer comes during the repetition, whose
                             // own answer follows right behind.
                             LateAnswer{"AnsweredDuringTheRepetition", 700, 1},
                             // The repetition is answered late too: its answer comes while the
                             // next read is under way.
                             LateAnswer{"RepetitionAnsweredDuringTheNextRead", 600, 2}),
                         [](const ::testing::TestParamInfo<LateAnswer>& info) { return std::string(info.param.name); });

TEST_F(SimTest, IdentifyGivesTheAnsweringAddress) {
  Address answering;
  protocol_->Identify(kalvo_lorim::NoAddress(), &answering);
  EXPECT_EQ(answering, kPoint);
}

TEST(ProbePort, MissingPortEndsAfterAboutASecond) {
  testsupport::PortFolder ports;
  Address answering;
  const auto start = Clock::now();
  EXPECT_FALSE(kalvo_lorim::ProbePort(wxT("COM4"), answering));
  const long ms = ElapsedMs(start);
  EXPECT_GE(ms, 1000);
  // The last exchange begun inside the second runs to its end.
  EXPECT_LE(ms, 6000);
}

TEST(ProbePort, NameLongerThanTheFieldIsCut) {
  EXPECT_EQ(kalvo_lorim::PortNameBytes(wxString(wxT('c'), 2000)).size(), 1023u);
  EXPECT_EQ(kalvo_lorim::PortNameBytes(wxT("COM3")), "COM3");
}

}  // namespace
