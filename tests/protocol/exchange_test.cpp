#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "platform/tick.h"
#include "pointsim.h"
#include "pty.h"
#include "responder.h"

namespace {

using kalvo_lorim::Address;
using kalvo_lorim::DataType;
using kalvo_lorim::SerialPortLorimProtocol;
using protocoltest::Bytes;
using protocoltest::Responder;
using Clock = std::chrono::steady_clock;

const Address kPoint(1, 2, 3);

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Bytes Answer(std::uint8_t kind, std::uint8_t type, Bytes data, const Address& from = kPoint) {
  pointsim::Frame f;
  f.destination = kalvo_lorim::OwnAddress();
  f.source = from;
  f.kind = kind;
  f.type = type;
  f.data = std::move(data);
  return pointsim::Encode(f);
}

// A header announcing `length` bytes, with a valid header checksum.
Bytes Header(std::uint8_t kind, std::uint8_t type, std::uint16_t length) {
  Bytes h = {1, 1, 1, kPoint.a, kPoint.b, kPoint.c, kind, type, std::uint8_t(length), std::uint8_t(length >> 8)};
  const std::uint32_t sum = pointsim::Checksum(h);
  for (int i = 0; i < 4; ++i) h.push_back(std::uint8_t(sum >> (8 * i)));
  return h;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Runs `call`, expecting a device exception with `code`; returns whether it came.
template <typename Call>
void ExpectCode(Call call, int code, SerialPortLorimProtocol& protocol) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected code " << code;
  } catch (const kalvo_lorim::Exception& e) {
    EXPECT_EQ(e.GetCode(), code);
  }
  EXPECT_EQ(protocol.GetLastError(), code);
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link("COM5", pty_.SlavePath());
    protocol_.reset(new SerialPortLorimProtocol("COM5", false));
    ASSERT_TRUE(protocol_->IsOpen());
  }
  void Answering(Responder::Script script) {
    responder_.reset();  // one reader on the line at a time
    responder_.reset(new Responder(pty_, std::move(script)));
  }
  void AnsweringAlways(const Bytes& answer) {
    Answering([answer](std::size_t, const Bytes&) { return answer; });
  }
  // The number of requests once the line has been quiet a while.
  std::size_t SettledRequests() {
    responder_->WaitForRequests(1000, 300);
    return responder_->Requests().size();
  }

  testsupport::PtyPair pty_;
  testsupport::PortFolder ports_;
  std::unique_ptr<SerialPortLorimProtocol> protocol_;
  std::unique_ptr<Responder> responder_;
};

TEST_F(ExchangeTest, PointThatNeverAnswersGetsSixTransmissions) {
  Answering([](std::size_t, const Bytes&) { return Bytes(); });
  ExpectCode([&] { protocol_->Identify(kPoint); }, 0xF00, *protocol_);
  ASSERT_TRUE(responder_->WaitForRequests(6, 2000));
  const auto requests = responder_->Requests();
  EXPECT_EQ(SettledRequests(), 6u);
  for (const auto& r : requests) EXPECT_EQ(r, requests[0]);
}

// A thread given up on must end its exchange at once, not spin through the
// remaining budget and repetitions.
TEST_F(ExchangeTest, InterruptedLineEndsTheExchangeAtOnce) {
  Answering([](std::size_t, const Bytes&) { return Bytes(); });
  protocol_->InterruptReads();
  ExpectCode([&] { protocol_->Identify(kPoint); }, 0xF00, *protocol_);
  EXPECT_EQ(SettledRequests(), 1u);

  protocol_->ResumeReads();
  AnsweringAlways(Answer(4, 0, {}));
  EXPECT_NO_THROW(protocol_->Identify(kPoint));
}

// The watchdog's way out of a read that waits inside the line for a long
// announced data block: the interrupt must end that wait at once, not after
// the half minute the block's time-out allows.
TEST_F(ExchangeTest, InterruptEndsAReadWaitingOnTheLine) {
  AnsweringAlways(Header(pointsim::kind::Read, 5, 30000));
  auto exchange = std::async(std::launch::async, [&] {
    std::uint16_t value = 0;
    try {
      protocol_->ReadVariable(kPoint, DataType::Word, 24, &value, sizeof value);
    } catch (const kalvo_lorim::Exception& e) {
      return e.GetCode();
    }
    return 0;
  });
  // Well past the pause before the port read: the read is inside the line.
  const auto start = Clock::now();
  while (!protocol_->IsReading() || platform::GetTickCount() - protocol_->GetReadStartTick() < 200) {
    ASSERT_LT(ElapsedMs(start), 5000) << "never waits on the line";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Far below the half minute of the block, far above a loaded machine's delay.
  protocol_->InterruptReads();
  ASSERT_EQ(exchange.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(exchange.get(), 0xF00);  // nothing of the block came
  EXPECT_EQ(SettledRequests(), 1u);
}

struct BadAnswer {
  const char* name;
  Bytes bytes;
  int code;
};

void PrintTo(const BadAnswer& answer, std::ostream* os) { *os << answer.name; }

Bytes SpoilByte(Bytes b, std::size_t at) {
  b[at] ^= 0x5A;
  return b;
}

std::vector<BadAnswer> BadAnswers() {
  const Bytes readAnswer = Answer(pointsim::kind::Read, 5, {24, 1, 2});
  std::vector<BadAnswer> v = {
      {"HeaderWithoutItsDataBlock", Header(6, 5, 10), 0xF00},
      {"HalfADataBlock", Join(Header(6, 5, 10), Bytes(7, 0x33)), 0xF01},
      {"ErrorAnswerCode4", Answer(pointsim::kind::ErrorAnswer, 1, {24, 4}), 4},
      {"ErrorAnswerCode10", Answer(pointsim::kind::ErrorAnswer, 1, {24, 10}), 10},
      // A point need not echo the id asked for in its error answer.
      {"ErrorAnswerCode4WithoutTheId", Answer(pointsim::kind::ErrorAnswer, 1, {0, 4}), 4},
      {"ErrorAnswerCode1WithAnotherId", Answer(pointsim::kind::ErrorAnswer, 1, {30, 1}), 1},
      {"HeaderChecksumWrong", SpoilByte(readAnswer, 11), 3},
      {"HeaderFieldSpoiled", SpoilByte(readAnswer, 7), 3},
      {"DataChecksumWrong", SpoilByte(readAnswer, readAnswer.size() - 1), 7},
      {"DataByteSpoiled", SpoilByte(readAnswer, 15), 7},
      {"ErrorAnswerWithOneByte", Answer(pointsim::kind::ErrorAnswer, 1, {24}), 255},
      {"ErrorAnswerWithoutData", Answer(pointsim::kind::ErrorAnswer, 1, {}), 255},
      // More than the receive area holds: read off the line, never stored past it.
      {"LengthOf65535", Join(Header(6, 1, 65535), Bytes(65539, 0xEE)), 7},
      {"LengthOf32768", Join(Header(6, 1, 32768), Bytes(32772, 0xEE)), 7},
      {"CorruptHeaderAnnouncingMuch", SpoilByte(Join(Header(6, 1, 40000), Bytes(40004, 0xEE)), 12), 3},
  };
  return v;
}

class BadAnswerTest : public ExchangeTest, public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(BadAnswerTest, IsAskedForSixTimesThenReported) {
  AnsweringAlways(GetParam().bytes);
  std::uint16_t value = 0xABCD;
  ExpectCode([&] { protocol_->ReadVariable(kPoint, DataType::Word, 24, &value, sizeof value); }, GetParam().code,
             *protocol_);
  EXPECT_EQ(value, 0xABCD);
  ASSERT_TRUE(responder_->WaitForRequests(6, 5000));
  EXPECT_EQ(SettledRequests(), 6u);
}

INSTANTIATE_TEST_SUITE_P(Answers, BadAnswerTest, ::testing::ValuesIn(BadAnswers()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, AnswerAtTheAreaLimitIsTaken) {
  Bytes data(32767);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  data[0] = 60;
  AnsweringAlways(Answer(pointsim::kind::Read, 1, data));
  std::vector<std::uint8_t> value(32766 + 8, 0xCC);
  DataType type = DataType::None;
  std::uint32_t count = 0;
  protocol_->ReadVariableAnyType(kPoint, type, 60, count, value.data(), 32766);
  EXPECT_EQ(type, DataType::Byte);
  EXPECT_EQ(count, 32766u);
  EXPECT_TRUE(std::equal(data.begin() + 1, data.end(), value.begin()));
  EXPECT_EQ(value[32766], 0xCC);
  EXPECT_EQ(protocol_->GetAnswerDataLength(), 32767);
}

TEST_F(ExchangeTest, FailedAnswersThenAGoodOne) {
  const Bytes good = Answer(pointsim::kind::Read, 5, {24, 0x22, 0x11});
  Answering([good](std::size_t i, const Bytes&) { return i < 2 ? SpoilByte(good, 16) : good; });
  std::uint16_t value = 0;
  protocol_->ReadVariable(kPoint, DataType::Word, 24, &value, sizeof value);
  EXPECT_EQ(value, 0x1122);
  EXPECT_EQ(protocol_->GetLastError(), 0);
  EXPECT_EQ(SettledRequests(), 3u);
}

// A point speaks only when asked: what waits on the line before a request
// is stale and must not be taken as its answer.
TEST_F(ExchangeTest, BytesWaitingBeforeARequestAreDropped) {
  const Bytes stale = Answer(pointsim::kind::Read, 5, {253, 0x34, 0x12});
  AnsweringAlways(Answer(pointsim::kind::Read, 5, {253, 17, 0}));
  pty_.Write(stale);
  pty_.Write(stale.data(), 9);  // and the start of another
  std::uint16_t count = 0;
  protocol_->ReadRecordsCount(kPoint, count);
  EXPECT_EQ(count, 17);
  EXPECT_EQ(SettledRequests(), 1u);
}

struct ForeignAnswer {
  const char* name;
  Bytes before;  // sent ahead of the right answer, in the same burst
  std::size_t requests;
};

void PrintTo(const ForeignAnswer& answer, std::ostream* os) { *os << answer.name; }

class ForeignAnswerTest : public ExchangeTest, public ::testing::WithParamInterface<ForeignAnswer> {};

// An answer of another variable or another point is skipped; the right one
// behind it is taken without sending the request again while the attempt's
// budget lasts, else the request goes out again.
TEST_P(ForeignAnswerTest, IsSkippedForTheAnswerBehindIt) {
  const Bytes right = Answer(pointsim::kind::Read, 5, {253, 17, 0});
  const Bytes before = GetParam().before;
  Answering([=](std::size_t i, const Bytes&) { return i == 0 ? Join(before, right) : right; });
  std::uint16_t count = 0;
  protocol_->ReadRecordsCount(kPoint, count);
  EXPECT_EQ(count, 17);
  EXPECT_EQ(protocol_->GetLastError(), 0);
  EXPECT_EQ(SettledRequests(), GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ForeignAnswerTest,
    ::testing::Values(ForeignAnswer{"OtherVariable", Answer(pointsim::kind::Read, 5, {24, 0x34, 0x12}), 1},
                      ForeignAnswer{"OtherPoint", Answer(pointsim::kind::Read, 5, {253, 9, 0}, Address(1, 2, 4)), 1},
                      ForeignAnswer{"ErrorAnswerOfOtherPoint",
                                    Answer(pointsim::kind::ErrorAnswer, 1, {253, 4}, Address(1, 2, 4)), 1},
                      // An error answer is taken by its source alone: a late one
                      // costs one more transmission, never a wrong value.
                      ForeignAnswer{"LateErrorAnswer", Answer(pointsim::kind::ErrorAnswer, 1, {24, 4}), 2},
                      // Four reads with their pauses: longer than the 54 ms of the attempt.
                      ForeignAnswer{"TwoOfThem", Join(Answer(pointsim::kind::Read, 5, {24, 0x34, 0x12}),
                                                      Answer(pointsim::kind::Read, 1, {14, 5})), 2}),
    [](const ::testing::TestParamInfo<ForeignAnswer>& info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, OnlyForeignAnswersEndAsNoAnswer) {
  AnsweringAlways(Answer(pointsim::kind::Read, 5, {24, 0x34, 0x12}));
  std::uint16_t count = 0;
  ExpectCode([&] { protocol_->ReadRecordsCount(kPoint, count); }, 0xF00, *protocol_);
  EXPECT_EQ(SettledRequests(), 6u);
}

// A point reached directly answers from its own address; identify answers
// and writes are not matched at all.
TEST_F(ExchangeTest, DirectReadIdentifyAndWriteTakeAnySource) {
  const Address other(7, 8, 9);
  Answering([=](std::size_t i, const Bytes&) {
    switch (i) {
      case 0: return Answer(pointsim::kind::Read, 5, {253, 17, 0}, other);
      case 1: return Answer(pointsim::kind::Identify, 0, {}, other);
      default: return Answer(pointsim::kind::Write, 0, {99}, other);
    }
  });
  std::uint16_t count = 0;
  protocol_->ReadRecordsCount(kalvo_lorim::NoAddress(), count);
  EXPECT_EQ(count, 17);
  Address answering;
  protocol_->Identify(kPoint, &answering);
  EXPECT_EQ(answering, other);
  protocol_->ClearMemory(kPoint);
  EXPECT_EQ(SettledRequests(), 3u);
}

TEST_F(ExchangeTest, ErrorAnswerWithCodeZeroIsAnOrdinaryAnswer) {
  AnsweringAlways(Answer(pointsim::kind::ErrorAnswer, 1, {24, 0}, Address(4, 5, 6)));
  Address answering;
  protocol_->Identify(kPoint, &answering);
  EXPECT_EQ(answering, Address(4, 5, 6));
  EXPECT_EQ(protocol_->GetLastError(), 0);
  EXPECT_EQ(SettledRequests(), 1u);
}

TEST_F(ExchangeTest, ReadCopiesByTheAnsweredType) {
  struct Case {
    DataType asked;
    std::uint8_t answeredType;
    Bytes value;
    std::uint32_t copied;
  } cases[] = {
      {DataType::Text16, 1, {1, 2, 3, 4, 5}, 5},
      {DataType::Byte, 3, {'a', 'b', 'c'}, 3},
      {DataType::Byte, 29, {'x', 0, 0, 0}, 4},
      {DataType::Byte, 5, {9, 8}, 2},
      {DataType::Byte, 11, {1, 2, 3, 4}, 4},
      {DataType::Byte, 13, {0xE8, 0xFF, 0, 0}, 4},
      {DataType::Byte, 25, {0, 0, 0x80, 0x3F}, 4},
      {DataType::Byte, 31, {26, 1, 2, 3, 4, 5, 6, 7}, 8},
      {DataType::Byte, 5, {9, 8, 7, 6}, 2},  // longer than the type: the type's bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.answeredType));
    Bytes data = {50};
    data.insert(data.end(), c.value.begin(), c.value.end());
    AnsweringAlways(Answer(pointsim::kind::Read, c.answeredType, data));
    std::vector<std::uint8_t> dest(16, 0xCC);
    protocol_->ReadVariable(kPoint, c.asked, 50, dest.data(), 12);
    EXPECT_TRUE(std::equal(c.value.begin(), c.value.begin() + c.copied, dest.begin()));
    EXPECT_EQ(dest[c.copied], 0xCC);
    EXPECT_EQ(protocol_->GetLastError(), 0);
    const auto requests = responder_->Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back()[7], static_cast<std::uint8_t>(c.asked));

    DataType type = DataType::None;
    std::uint32_t count = 0;
    protocol_->ReadVariableAnyType(kPoint, type, 50, count, dest.data(), 12);
    EXPECT_EQ(static_cast<int>(type), c.answeredType);
    EXPECT_EQ(count, c.copied);
    EXPECT_EQ(responder_->Requests().back()[7], 1);
    responder_.reset();
  }
}

TEST_F(ExchangeTest, UnusableAnswersAreRefusedAtOnce) {
  struct Case {
    const char* name;
    std::uint8_t type;
    Bytes data;
    std::size_t size;
    int code;
  } cases[] = {
      {"address type", 33, {50, 1, 2, 3}, 12, 2},
      {"type 0", 0, {50, 1}, 12, 2},
      {"type 2", 2, {50, 1, 2}, 12, 2},
      {"word with one byte", 5, {50, 1}, 12, 2},
      {"date with three bytes", 31, {50, 1, 2, 3}, 12, 2},
      {"long with id only", 11, {50}, 12, 2},
      {"byte answer without block", 1, {}, 12, 7},
      {"text answer without block", 29, {}, 12, 7},
      {"bytes past the destination", 1, Join({50}, Bytes(100, 0x44)), 10, 0xF05},
      {"date into four bytes", 31, {50, 1, 2, 3, 4, 5, 6, 7, 8}, 4, 0xF05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AnsweringAlways(Answer(pointsim::kind::Read, c.type, c.data));
    std::vector<std::uint8_t> dest(c.size + 8, 0xCC);
    ExpectCode([&] { protocol_->ReadVariable(kPoint, DataType::Byte, 50, dest.data(), c.size); }, c.code,
               *protocol_);
    EXPECT_EQ(dest, std::vector<std::uint8_t>(c.size + 8, 0xCC));
    EXPECT_EQ(SettledRequests(), 1u);
    responder_.reset();
  }
}

TEST_F(ExchangeTest, WriteOfTypeItCannotEncodeSendsNothing) {
  Answering([](std::size_t, const Bytes&) { return Answer(pointsim::kind::Write, 1, {14}); });
  const std::uint32_t value = 5;
  for (DataType type : {DataType::Text8, DataType::ByteParam, DataType::None, static_cast<DataType>(99)}) {
    ExpectCode([&] { protocol_->WriteVariable(kPoint, type, 14, &value); }, 2, *protocol_);
  }
  EXPECT_FALSE(responder_->WaitForRequests(1, 300));
}

TEST_F(ExchangeTest, TextLongerThanTheRequestAreaSendsNothing) {
  Answering([](std::size_t, const Bytes&) { return Answer(pointsim::kind::Write, 29, {14}); });
  std::u16string text(SerialPortLorimProtocol::MaxTextUnits + 1, u'x');
  ExpectCode([&] { protocol_->WriteVariable(kPoint, DataType::Text16, 14, text.c_str()); }, 2, *protocol_);
  EXPECT_FALSE(responder_->WaitForRequests(1, 300));

  text.pop_back();
  protocol_->WriteVariable(kPoint, DataType::Text16, 14, text.c_str());
  ASSERT_TRUE(responder_->WaitForRequests(1, 2000));
  const Bytes request = responder_->Requests()[0];
  EXPECT_EQ(request.size(), 14u + 32775u + 4u);
  EXPECT_EQ(request[8] | request[9] << 8, 32775);
  EXPECT_EQ(SerialPortLorimProtocol::MaxTextUnits, 16386u);
}

TEST_F(ExchangeTest, RepetitionSendsTheKeptCopy) {
  const Bytes answer = Answer(pointsim::kind::Identify, 0, {});
  Answering([answer](std::size_t i, const Bytes&) { return i == 0 ? answer : Bytes(); });
  {
    // The caller's storage of the request is gone once the call returns.
    protocol_->Identify(Address(9, 9, 9));
  }
  Address answering;
  EXPECT_FALSE(protocol_->WaitForAnswer(answering));
  const auto requests = responder_->Requests();
  ASSERT_GE(requests.size(), 6u);
  for (const auto& r : requests) EXPECT_EQ(r, requests[0]);
  EXPECT_EQ(requests[0][0], 9);
}

TEST_F(ExchangeTest, WaitForAnswerOnAFreshObjectSendsNothing) {
  Answering([](std::size_t, const Bytes&) { return Bytes(); });
  EXPECT_FALSE(protocol_->HasKeptRequest());
  Address answering(7, 7, 7);
  const auto start = Clock::now();
  EXPECT_FALSE(protocol_->WaitForAnswer(answering));
  const long ms = ElapsedMs(start);
  EXPECT_GE(ms, 1000);
  EXPECT_LE(ms, 9000);
  EXPECT_EQ(answering, Address(7, 7, 7));
  EXPECT_EQ(protocol_->GetLastError(), 0xF00);
  EXPECT_TRUE(responder_->Requests().empty());
}

TEST_F(ExchangeTest, WaitForAnswerTakesAnAnswerThatComes) {
  pty_.Write(Answer(pointsim::kind::Read, 1, {3, 4}, Address(4, 5, 6)));
  Address answering;
  EXPECT_TRUE(protocol_->WaitForAnswer(answering));
  EXPECT_EQ(answering, Address(4, 5, 6));
}

TEST_F(ExchangeTest, ReadFlagAndTickShowTheRunningRead) {
  Answering([](std::size_t, const Bytes&) { return Bytes(); });
  std::atomic<bool> done{false};
  std::atomic<bool> seen{false};
  std::atomic<long> age{-1};
  std::thread watcher([&] {
    while (!done.load()) {
      if (protocol_->IsReading()) {
        const std::uint32_t tick = protocol_->GetReadStartTick();
        age.store(static_cast<long>(platform::GetTickCount() - tick));
        seen.store(true);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_THROW(protocol_->Identify(kPoint), kalvo_lorim::Exception);
  done.store(true);
  watcher.join();
  EXPECT_TRUE(seen.load());
  EXPECT_GE(age.load(), 0);
  EXPECT_LT(age.load(), 2000);
  EXPECT_FALSE(protocol_->IsReading());
}

TEST(ProtocolPort, FailedOpenEndsAsNoAnswer) {
  testsupport::PortFolder ports;
  SerialPortLorimProtocol protocol("COM5", true);
  EXPECT_FALSE(protocol.IsOpen());
  EXPECT_EQ(protocol.GetLastError(), 0xF03);
  EXPECT_EQ(protocol.GetReplyTimeout(), 200u);
  ExpectCode([&] { protocol.Identify(kPoint); }, 0xF00, protocol);
}

TEST(ProtocolPort, BuiltFromAConfiguration) {
  testsupport::PtyPair pty;
  testsupport::PortFolder ports;
  ports.Link("COM8", pty.SlavePath());
  const SerialPortLorimProtocol::Configurator config("COM8", 75, 9, 19200, 'E', 7, 0);
  SerialPortLorimProtocol protocol(config);
  EXPECT_TRUE(protocol.IsOpen());
  EXPECT_EQ(protocol.GetReplyTimeout(), 75u);
  EXPECT_EQ(protocol.GetRetries(), 9u);
  EXPECT_EQ(protocol.GetBaudRate(), 19200);
  EXPECT_EQ(protocol.GetParity(), 'E');
  EXPECT_EQ(protocol.GetByteSize(), 7);
  EXPECT_EQ(protocol.GetPortName(), "COM8");
  EXPECT_EQ(protocol.GetOwnAddress(), kalvo_lorim::OwnAddress());
  EXPECT_EQ(protocol.GetLastError(), 0);
  EXPECT_FALSE(protocol.IsReading());

  SerialPortLorimProtocol fast("COM9", false);
  EXPECT_EQ(fast.GetReplyTimeout(), 40u);
  EXPECT_EQ(fast.GetRetries(), 6u);
}

}  // namespace
