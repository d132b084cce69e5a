#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "pointsim.h"

namespace {

using pointsim::Address;
using pointsim::Bytes;
using pointsim::Fault;
using pointsim::FaultKind;
using pointsim::Frame;
namespace type = pointsim::type;
namespace kind = pointsim::kind;
using Clock = std::chrono::steady_clock;

const Address P(1, 2, 3);

// The tool's end of the line: the slave side of the bus's pty.
class Line {
 public:
  explicit Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~Line() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  void Send(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), ssize_t(b.size())); }
  void Send(const Frame& f) { Send(pointsim::Encode(f)); }

  // Bytes until the line is quiet for quietMs (or timeoutMs passed).
  Bytes Quiet(int quietMs = 150, int timeoutMs = 3000) {
    Bytes out;
    out.swap(in_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      pollfd pfd{fd_, POLLIN, 0};
      if (poll(&pfd, 1, quietMs) <= 0) break;
      std::uint8_t buf[512];
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n > 0) out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  // One whole frame, or a failed assertion; bytes after it wait for the next call.
  Frame Answer(int timeoutMs = 3000) {
    Bytes& in = in_;
    Frame f;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      std::size_t used = 0;
      if (pointsim::Decode(in, f, used) == pointsim::DecodeResult::Ok) {
        in.erase(in.begin(), in.begin() + std::ptrdiff_t(used));
        return f;
      }
      pollfd pfd{fd_, POLLIN, 0};
      poll(&pfd, 1, 50);
      std::uint8_t buf[512];
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n > 0) in.insert(in.end(), buf, buf + n);
    }
    ADD_FAILURE() << "no whole answer; got " << in.size() << " bytes";
    return Frame();
  }

  // One request, exactly one whole answer.
  Frame Ask(const Frame& request) {
    Send(request);
    const Frame f = Answer();
    EXPECT_TRUE(in_.empty()) << "bytes after the answer";
    return f;
  }

 private:
  int fd_;
  Bytes in_;
};

class BusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    point_ = &bus_.AddPoint(P);
    bus_.Start();
    ASSERT_TRUE(line_.Ok());
  }
  // Sends a request and gives every byte answered to it. The bus records a
  // request only after its answers went out, so they are all in the line then.
  Bytes Raw(const Frame& request) {
    const std::size_t before = bus_.RequestCount();
    line_.Send(request);
    EXPECT_TRUE(bus_.WaitForRequests(before + 1, 5000));
    return line_.Quiet(50);
  }

  pointsim::Bus bus_;
  pointsim::Point* point_ = nullptr;
  Line line_{bus_.SlavePath()};
};

Bytes Data(std::uint8_t id, const Bytes& value) {
  Bytes d{id};
  d.insert(d.end(), value.begin(), value.end());
  return d;
}

TEST_F(BusTest, ReadsAnswerWithTheVariablesOwnType) {
  struct Case {
    std::uint8_t id;
    std::uint8_t asked;
    std::uint8_t answered;
    Bytes value;
  };
  const Case cases[] = {
      {24, type::Word, type::Word, {0, 0}},
      {24, type::Text, type::Word, {0, 0}},  // the point does not follow the asked type
      {27, type::Text, type::Text, pointsim::Utf16("KALVO-SIM")},
      {7, type::Byte, type::Byte, {9, 0, 25, 0, 34, 0}},
      {250, type::Byte, type::Byte, {12}},
      {22, type::Byte, type::Byte, {2}},
      {17, type::Text, type::Text, pointsim::Utf16("\xC2\xB0" "C")},
      {113 + 2 * 5, type::Byte, type::Addr, {10, 20, 30}},
      {113 + 2 * 2, type::Byte, type::ShortFloat, {0xF4, 0x0D, 0, 0}},
  };
  for (const auto& c : cases) {
    const Frame a = line_.Ask(pointsim::ReadRequest(P, c.id, c.asked));
    EXPECT_EQ(a.destination, kalvo_lorim::OwnAddress());
    EXPECT_EQ(a.source, P);
    EXPECT_EQ(a.kind, kind::Read);
    EXPECT_EQ(a.type, c.answered) << int(c.id);
    EXPECT_EQ(a.data, Data(c.id, c.value)) << int(c.id);
  }

  // Layouts the tool relies on: 7-byte current measure, 12-byte instant value, 72-byte record.
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 15, type::Byte)).data.size(), 8u);
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 9, type::Byte)).data.size(), 13u);
  const Frame record = line_.Ask(pointsim::ReadRequest(P, 3, type::Text));
  ASSERT_EQ(record.data.size(), 73u);
  EXPECT_EQ(pointsim::ReadU32(record.data, 1 + 68), 60u);

  const Frame unknown = line_.Ask(pointsim::ReadRequest(P, 200, type::Byte));
  EXPECT_EQ(unknown.kind, kind::ErrorAnswer);
  EXPECT_EQ(unknown.data, (Bytes{200, 4}));
  EXPECT_EQ(line_.Ask(pointsim::IdentifyRequest(P)).kind, kind::Identify);
}

// A full parameter read must succeed on the default point: every variable the
// tool reads is there, with the type the tool expects of it.
TEST_F(BusTest, DefaultPointAnswersEveryVariableWithItsType) {
  const std::pair<std::uint8_t, std::uint8_t> vars[] = {
      {3, type::Text},   {4, type::Text},   {6, type::Byte},   {7, type::Byte},    {8, type::Byte},
      {9, type::Byte},   {10, type::Long},  {11, type::Text},  {12, type::Date},   {13, type::Date},
      {14, type::Byte},  {15, type::Byte},  {16, type::Float}, {17, type::Text},   {18, type::Text},
      {19, type::Long},  {20, type::Byte},  {21, type::Byte},  {22, type::Byte},   {23, type::Byte},
      {24, type::Word},  {27, type::Text},  {28, type::Byte},  {30, type::Text},   {31, type::Date},
      {32, type::Text},  {33, type::Text},  {34, type::Float}, {35, type::Long},   {36, type::Byte},
      {37, type::Text},  {38, type::Text},  {39, type::Float}, {40, type::Long},   {41, type::Byte},
      {112, type::Text}, {113, type::Byte}, {114, type::Text}, {115, type::Text8}, {116, type::Text},
      {117, type::ShortFloat}, {118, type::Text}, {119, type::Float}, {120, type::Text},
      {121, type::Text}, {122, type::Text}, {123, type::Addr}, {248, type::Byte}, {249, type::Byte},
      {250, type::Byte}, {251, type::Text}, {252, type::Text}, {253, type::Word}, {254, type::Text},
  };
  for (const auto& v : vars) {
    const Frame a = line_.Ask(pointsim::ReadRequest(P, v.first, type::Byte));
    EXPECT_EQ(a.kind, kind::Read) << int(v.first);
    EXPECT_EQ(a.type, v.second) << int(v.first);
    ASSERT_FALSE(a.data.empty());
    EXPECT_EQ(a.data[0], v.first);
  }
  EXPECT_EQ(point_->GetByte(22), 2);
  EXPECT_EQ(point_->GetByte(23), 6);
}

TEST_F(BusTest, WritesChangeThePointAsADeviceWould) {
  auto write = [&](std::uint8_t id, std::uint8_t t, const Bytes& v) {
    return line_.Ask(pointsim::WriteRequest(P, id, t, v));
  };
  const Frame ack = write(14, type::Byte, {7});
  EXPECT_EQ(ack.kind, kind::Write);
  EXPECT_EQ(ack.data, (Bytes{14}));
  EXPECT_EQ(point_->GetByte(14), 7);

  // Measure control: the tool's read-modify-write of bits 11 and 12.
  write(24, type::Word, pointsim::U16(0x1801));
  EXPECT_EQ(point_->StatusWord(), 0x1801);
  const Frame measure = line_.Ask(pointsim::ReadRequest(P, 15, type::Byte));
  EXPECT_EQ(pointsim::ReadU16(measure.data, 5), 0x1801) << "current measure carries the status";

  write(253, type::Word, pointsim::U16(0));
  EXPECT_EQ(point_->RecordsCount(), 0);

  // Status flag table: select a row, then read its text and level.
  write(251, type::Byte, {5});
  EXPECT_EQ(pointsim::FromUtf16(line_.Ask(pointsim::ReadRequest(P, 251, type::Text)).Value()),
            "Threshold exceeded");
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 249, type::Byte)).Value(), (Bytes{2}));
  write(251, type::Byte, {12});
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 251, type::Text)).data, (Bytes{251, 4}));

  // Current algorithm 2 brings its unit into variable 17.
  write(21, type::Byte, {2});
  EXPECT_EQ(point_->GetText(17), "kPa");

  write(4, type::Text, pointsim::Utf16("SN-9"));
  EXPECT_EQ(point_->GetText(4), "SN-9");
  write(113 + 2 * 3, type::Float, pointsim::F32(7.25f));
  EXPECT_EQ(point_->GetFloat(113 + 2 * 3), 7.25f);
  write(25, type::Byte, {255});
  EXPECT_EQ(point_->Restarts(), (std::vector<std::uint8_t>{255}));
  EXPECT_EQ(point_->GetLong(35), 0u);

  // Refusals leave the variable as it was.
  EXPECT_EQ(write(27, type::Text, pointsim::Utf16("X")).data, (Bytes{27, 1}));
  EXPECT_EQ(write(14, type::Word, pointsim::U16(1)).data, (Bytes{14, 2}));
  EXPECT_EQ(write(113 + 2 * 3, type::Byte, {1}).data, (Bytes{113 + 2 * 3, 2}));
  EXPECT_EQ(write(90 + 100, type::Byte, {1}).data, (Bytes{190, 4}));
  EXPECT_EQ(point_->GetText(27), "KALVO-SIM");
  EXPECT_EQ(point_->GetByte(14), 7);

  // New address: answered there, no longer at the old one.
  write(29, type::Addr, {4, 5, 6});
  EXPECT_EQ(point_->GetAddress(), Address(4, 5, 6));
  EXPECT_EQ(line_.Ask(pointsim::IdentifyRequest(Address(4, 5, 6))).source, Address(4, 5, 6));
  EXPECT_TRUE(Raw(pointsim::IdentifyRequest(P)).empty());
}

TEST_F(BusTest, ChangedParametersAreReportedOnce) {
  point_->ChangeParams({0, 2});
  EXPECT_EQ(point_->StatusWord(), 0x0400);
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 8, type::Byte)).data, (Bytes{8, 113, 117}));
  EXPECT_EQ(point_->StatusWord(), 0);
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 8, type::Byte)).data, (Bytes{8}));
}

TEST_F(BusTest, QueryKeepsTheBusyFlagSetForTheGivenReads) {
  point_->SetQueryBusyReads(2);
  line_.Ask(pointsim::WriteRequest(P, 254, type::Word, pointsim::U16(0x1234)));
  EXPECT_EQ(point_->QueryArgument(), 0x1234);
  for (std::uint8_t expected : {1, 1, 0})
    EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 248, type::Byte)).Value(), (Bytes{expected}));
}

// Each fault against the answer it spoils; the raw answer is checked with the simulator's codec.
TEST_F(BusTest, FaultsSpoilTheAnswerAsNamed) {
  const Frame read24 = pointsim::ReadRequest(P, 24, type::Word);
  const Bytes good = pointsim::Encode([] {
    Frame f;
    f.destination = kalvo_lorim::OwnAddress();
    f.source = P;
    f.kind = kind::Read;
    f.type = type::Word;
    f.data = {24, 0, 0};
    return f;
  }());
  ASSERT_EQ(good.size(), 14u + 3 + 4);

  struct Case {
    const char* name;
    Fault fault;
    std::function<void(const Bytes&)> check;
  };
  const Case cases[] = {
      {"no answer", Fault::NoAnswer(1), [](const Bytes& b) { EXPECT_TRUE(b.empty()); }},
      {"error", Fault::ErrorAnswer(5, 24, 1),
       [](const Bytes& b) {
         Frame f;
         std::size_t used;
         ASSERT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::Ok);
         EXPECT_EQ(f.kind, kind::ErrorAnswer);
         EXPECT_EQ(f.data, (Bytes{24, 5}));
       }},
      {"header checksum", Fault::Make(FaultKind::BadHeaderChecksum, 0, 24, 1),
       [&](const Bytes& b) {
         Frame f;
         std::size_t used;
         ASSERT_EQ(b.size(), good.size());
         EXPECT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::BadHeader);
       }},
      {"data checksum", Fault::Make(FaultKind::BadDataChecksum, 0, pointsim::AnyRequest, 1),
       [&](const Bytes& b) {
         Frame f;
         std::size_t used;
         EXPECT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::BadDataChecksum);
       }},
      {"cut header", Fault::Make(FaultKind::TruncatedHeader, 9, 24, 1),
       [&](const Bytes& b) { EXPECT_EQ(b, Bytes(good.begin(), good.begin() + 9)); }},
      {"cut data", Fault::Make(FaultKind::TruncatedData, 3, 24, 1),
       [&](const Bytes& b) { EXPECT_EQ(b, Bytes(good.begin(), good.begin() + 14 + 3)); }},
      {"header alone", Fault::Make(FaultKind::TruncatedData, 0, 24, 1),
       [&](const Bytes& b) { EXPECT_EQ(b, Bytes(good.begin(), good.begin() + 14)); }},
      {"long length", Fault::Make(FaultKind::LengthTooLarge, 6, 24, 1),
       [&](const Bytes& b) {
         Frame f;
         std::size_t used;
         ASSERT_EQ(b.size(), good.size());
         EXPECT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::NeedMore);
         EXPECT_EQ(b[8], 3 + 6);
         EXPECT_EQ(Bytes(b.begin() + 14, b.end()), Bytes(good.begin() + 14, good.end()));
       }},
      {"wrong type", Fault::Make(FaultKind::WrongType, type::Addr, 24, 1),
       [&](const Bytes& b) {
         Frame f;
         std::size_t used;
         ASSERT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::Ok);
         EXPECT_EQ(f.type, type::Addr);
         EXPECT_EQ(f.data, (Bytes{24, 0, 0}));
       }},
      {"no data block", Fault::Make(FaultKind::NoDataBlock, 0, 24, 1),
       [&](const Bytes& b) {
         Frame f;
         std::size_t used;
         ASSERT_EQ(pointsim::Decode(b, f, used), pointsim::DecodeResult::Ok);
         EXPECT_EQ(b.size(), 14u);
         EXPECT_EQ(f.kind, kind::Read);
         EXPECT_TRUE(f.data.empty());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    point_->AddFault(c.fault);
    c.check(Raw(read24));
    // Used up: the next request is answered properly.
    EXPECT_EQ(Raw(read24), good);
  }
}

TEST_F(BusTest, FaultsSelectTheirVariableAndCount) {
  point_->AddFault(Fault::ErrorAnswer(4, 30));  // every read of 30
  point_->AddFault(Fault::NoAnswer(2, pointsim::IdentifyRequests));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 30, type::Text)).data, (Bytes{30, 4}));
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 27, type::Text)).kind, kind::Read);
  for (int i = 0; i < 2; ++i) EXPECT_TRUE(Raw(pointsim::IdentifyRequest(P)).empty());
  EXPECT_EQ(line_.Ask(pointsim::IdentifyRequest(P)).source, P);
  point_->ClearFaults();
  EXPECT_EQ(line_.Ask(pointsim::ReadRequest(P, 30, type::Text)).kind, kind::Read);

  // A refused write changes nothing.
  point_->AddFault(Fault::ErrorAnswer(6, 14, 1));
  line_.Ask(pointsim::WriteRequest(P, 14, type::Byte, {99}));
  EXPECT_EQ(point_->GetByte(14), 5);
}

TEST_F(BusTest, DelayAndTurnaroundHoldTheAnswerBack) {
  point_->AddFault(Fault::Make(FaultKind::Delay, 250, 24, 1));
  bus_.SetTurnaround(50);
  const auto start = Clock::now();
  line_.Ask(pointsim::ReadRequest(P, 24, type::Word));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(BusTest, PacingSendsAtTheLineRate) {
  EXPECT_EQ((pointsim::LineSettings{9600, 'N', 8, 0}.BitsPerByte()), 10.0);
  EXPECT_EQ((pointsim::LineSettings{9600, 'E', 8, 0}.BitsPerByte()), 11.0);
  EXPECT_EQ((pointsim::LineSettings{9600, 'N', 7, 2}.BitsPerByte()), 10.0);
  EXPECT_EQ((pointsim::LineSettings{9600, 'N', 5, 1}.BitsPerByte()), 7.5);

  // The record answer is 91 bytes: 91 * 11 bits at 9600 baud take about 104 ms.
  bus_.SetPacing(true, pointsim::LineSettings{9600, 'F', 8, 0});
  const auto start = Clock::now();
  const Frame a = line_.Ask(pointsim::ReadRequest(P, 3, type::Text));
  EXPECT_EQ(a.data.size(), 73u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
}

// Pacing that follows the line: what the code under test sets on its side decides.
TEST_F(BusTest, PacingFollowsTheLineSettings) {
  bus_.SetPacing(true, pointsim::LineSettings{pointsim::LineSettings::FromLine});
  termios t{};
  ASSERT_EQ(tcgetattr(line_.Fd(), &t), 0);
  cfsetspeed(&t, B4800);
  ASSERT_EQ(tcsetattr(line_.Fd(), TCSANOW, &t), 0);
  const auto start = Clock::now();
  line_.Ask(pointsim::ReadRequest(P, 3, type::Text));  // 91 bytes, 10 bits each: about 190 ms
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(185));
}

TEST(BusLines, TwoPointsShareOneLine) {
  pointsim::Bus bus;
  pointsim::Point& first = bus.AddPoint(Address(1, 2, 3));
  pointsim::Point& second = bus.AddPoint(Address(7, 8, 9));
  second.SetText(27, "SECOND");
  second.AddFault(Fault::Make(FaultKind::ExtraIdentifyAnswers, 1, pointsim::IdentifyRequests));
  bus.Start();
  Line line(bus.SlavePath());
  ASSERT_TRUE(line.Ok());

  // Broadcast identify: one answer from the first, two from the second.
  line.Send(pointsim::IdentifyRequest(kalvo_lorim::BroadcastAddress()));
  std::vector<Address> sources;
  for (int i = 0; i < 3; ++i) sources.push_back(line.Answer().source);
  EXPECT_EQ(sources, (std::vector<Address>{Address(1, 2, 3), Address(7, 8, 9), Address(7, 8, 9)}));
  EXPECT_TRUE(line.Quiet().empty());

  EXPECT_EQ(pointsim::FromUtf16(line.Ask(pointsim::ReadRequest(Address(7, 8, 9), 27, type::Text)).Value()),
            "SECOND");
  EXPECT_EQ(line.Ask(pointsim::ReadRequest(Address(1, 2, 3), 27, type::Text)).source, Address(1, 2, 3));
  EXPECT_TRUE(line.Quiet().empty());

  // Only identify reaches every point at 0.0.0; other addresses reach nobody.
  line.Send(pointsim::ReadRequest(kalvo_lorim::BroadcastAddress(), 27, type::Text));
  line.Send(pointsim::ReadRequest(Address(9, 9, 9), 27, type::Text));
  EXPECT_TRUE(line.Quiet().empty());

  // 255.255.255 reaches a point that is the only one listening there.
  first.SetAnswersUnaddressed(false);
  EXPECT_EQ(line.Ask(pointsim::ReadRequest(kalvo_lorim::NoAddress(), 28, type::Byte)).source,
            Address(7, 8, 9));
}

TEST_F(BusTest, RecordsEveryRequestWithItsBytes) {
  const Bytes read = pointsim::Encode(pointsim::ReadRequest(P, 24, type::Word));
  line_.Send(read);
  line_.Answer();
  // Noise before a frame, a frame with a spoiled data block, then half a frame.
  Bytes noisy{0xAA, 0x55, 0x01};
  noisy.insert(noisy.end(), read.begin(), read.end());
  line_.Send(noisy);
  line_.Answer();
  Bytes spoiled = read;
  spoiled.back() ^= 1;
  line_.Send(spoiled);
  EXPECT_EQ(line_.Answer().data, (Bytes{24, 7}));
  line_.Send(Bytes(read.begin(), read.begin() + 10));

  ASSERT_TRUE(bus_.WaitForRequests(5, 3000));
  const auto r = bus_.Requests();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].status, pointsim::RequestStatus::Ok);
  EXPECT_EQ(r[0].raw, read);
  EXPECT_EQ(r[0].frame.Id(), 24);
  EXPECT_EQ(r[0].answer.size(), 21u);
  EXPECT_EQ(r[1].status, pointsim::RequestStatus::Garbage);
  EXPECT_EQ(r[1].raw, (Bytes{0xAA, 0x55, 0x01}));
  EXPECT_EQ(r[2].raw, read);
  EXPECT_EQ(r[3].status, pointsim::RequestStatus::BadDataChecksum);
  EXPECT_EQ(r[4].status, pointsim::RequestStatus::Incomplete);
  EXPECT_EQ(r[4].raw.size(), 10u);
  EXPECT_TRUE(r[4].answer.empty());
  EXPECT_FALSE(bus_.WaitForRequests(6, 200));

  bus_.ClearRequests();
  EXPECT_EQ(bus_.RequestCount(), 0u);
  line_.Send(read);
  EXPECT_TRUE(bus_.WaitUntil([](const std::vector<pointsim::Request>& all) {
    return all.size() == 1 && all[0].frame.kind == kind::Read;
  }, 3000));
}

TEST_F(BusTest, StopEndsAnsweringAndStartResumes) {
  bus_.Stop();
  line_.Send(pointsim::IdentifyRequest(P));
  EXPECT_TRUE(line_.Quiet().empty());
  bus_.Start();
  // The request sent while stopped is still in the line and is answered now.
  EXPECT_EQ(line_.Answer().source, P);
}

}  // namespace
