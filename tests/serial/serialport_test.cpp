#include "kalvo_lorim/serialport.h"
#include "platform/serial.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "pty.h"

namespace {

using kalvo_lorim::SerialPort;
using Clock = std::chrono::steady_clock;

constexpr int kNoAnswer = 0xF00;
constexpr int kPortError = 0xF03;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// A pty whose slave is reachable as COM5, with an extra slave descriptor to
// read the line settings back.
class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Link("COM5", pty_.SlavePath());
    observer_ = ::open(pty_.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(observer_, 0);
  }
  void TearDown() override {
    if (observer_ >= 0) ::close(observer_);
  }
  termios LineNow() const {
    termios t{};
    EXPECT_EQ(tcgetattr(observer_, &t), 0);
    return t;
  }

  testsupport::PtyPair pty_;
  testsupport::PortFolder folder_;
  int observer_ = -1;
};

TEST(PortNames, ResolveThroughFolderComNumberOrPath) {
  testsupport::PortFolder folder;
  const std::string linked = folder.Link("COM3", "/dev/null");
  struct Case {
    const char* name;
    std::string expected;
  } cases[] = {
      {"COM3", linked},
      {"COM4", "/dev/ttyS3"},
      {"com12", "/dev/ttyS11"},
      {"COM1", "/dev/ttyS0"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"COM0", ""},
      {"COM", ""},
      {"COMX", ""},
      {"LPT1", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::ResolvePortName(c.name), c.expected) << c.name;
  }
}

TEST(PortNames, DefaultFolderIsPortsUnderWorkingDirectory) {
  testsupport::PortFolder folder;  // restores KALVO_PORTS afterwards
  unsetenv("KALVO_PORTS");
  EXPECT_EQ(platform::ResolvePortName("COM2"), "/dev/ttyS1");
  char tmpl[] = "/tmp/kalvo-cwd-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(tmpl), 0);
  ASSERT_EQ(mkdir("ports", 0700), 0);
  ASSERT_EQ(symlink("/dev/null", "ports/COM2"), 0);
  EXPECT_EQ(platform::ResolvePortName("COM2"), "ports/COM2");
  unlink("ports/COM2");
  rmdir("ports");
  ASSERT_EQ(chdir(old), 0);
  rmdir(tmpl);
}

TEST(SerialPortOpen, MissingOrUnusablePortStaysClosed) {
  testsupport::PortFolder folder;
  folder.Link("COM7", "/nonexistent/tty");
  const std::string plainFile = folder.Path() + "/plain";
  std::ofstream(plainFile) << "not a line";
  const char* names[] = {"COM7", "/nonexistent/tty", "LPT1", "", plainFile.c_str()};
  for (const char* name : names) {
    SerialPort port;
    EXPECT_FALSE(port.Open(name, 9600, 'N', 8, 0)) << name;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetLastError(), kPortError);
    EXPECT_EQ(port.GetPortName(), name);
    const std::uint8_t byte = 0x55;
    EXPECT_FALSE(port.Write(&byte, 1));
    EXPECT_EQ(port.GetLastError(), kPortError);
  }
  std::ifstream in(plainFile);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "not a line");
  unlink(plainFile.c_str());
}

TEST_F(LineTest, SecondOpenOfAnOpenDeviceFails) {
  SerialPort first;
  ASSERT_TRUE(first.Open("COM5", 9600, 'N', 8, 0));
  SerialPort second;
  EXPECT_FALSE(second.Open("COM5", 9600, 'N', 8, 0));
  EXPECT_EQ(second.GetLastError(), kPortError);
  EXPECT_FALSE(second.Open(pty_.SlavePath().c_str(), 9600, 'N', 8, 0));

  // Also from another process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::SerialLine line;
    _exit(line.Open(pty_.SlavePath()) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process could open the device";

  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.Open("COM5", 9600, 'N', 8, 0));
}

TEST_F(LineTest, OpeningAnOpenPortReopensIt) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  ASSERT_TRUE(port.Open("COM5", 19200, 'N', 8, 0));
  EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(LineNow())), B19200);
}

TEST_F(LineTest, ReadWithNothingComingEndsAfterTotalTimeout) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  std::uint8_t buffer[14];
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
  const long ms = ElapsedMs(start);
  EXPECT_EQ(port.GetLastError(), kNoAnswer);
  EXPECT_GE(ms, 450);
  EXPECT_LE(ms, 1500);
}

TEST_F(LineTest, PartialReadLeavesLastErrorFullReadClearsIt) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  std::uint8_t buffer[14] = {};
  const std::vector<std::uint8_t> five = {1, 2, 3, 4, 5};

  // From 0xF00 and from 0 alike, a partial read changes nothing.
  for (int before : {kNoAnswer, 0}) {
    if (before == kNoAnswer) {
      EXPECT_EQ(port.Read(buffer, 1), 0);
    } else {
      pty_.Write(five.data(), 1);
      EXPECT_EQ(port.Read(buffer, 1), 1);
    }
    ASSERT_EQ(port.GetLastError(), before);
    pty_.Write(five);
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer, 14), 5);
    // The gap after the last byte ends the read, not the total time-out.
    EXPECT_LT(ElapsedMs(start), 400);
    EXPECT_EQ(port.GetLastError(), before);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 5), five);
  }

  EXPECT_EQ(port.Read(buffer, 1), 0);
  ASSERT_EQ(port.GetLastError(), kNoAnswer);
  std::vector<std::uint8_t> fourteen(14);
  for (int i = 0; i < 14; ++i) fourteen[i] = static_cast<std::uint8_t>(0xA0 + i);
  pty_.Write(fourteen);
  EXPECT_EQ(port.Read(buffer, 14), 14);
  EXPECT_EQ(port.GetLastError(), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 14), fourteen);
}

TEST_F(LineTest, ControlBytesPassUnchangedBothWays) {
  const std::vector<std::uint8_t> bytes = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x7F, 0x03, 0x04, 0x1A};
  // XON/XOFF would eat 0x11 and 0x13; every other flow setting passes them.
  for (int flow : {SerialPort::FlowNone, SerialPort::FlowCtsDtr}) {
    SerialPort port;
    port.SetFlowControl(flow);
    ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
    ASSERT_TRUE(port.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(port.GetLastError(), 0);
    EXPECT_EQ(pty_.Read(bytes.size(), 2000), bytes) << "flow " << flow;
    EXPECT_TRUE(pty_.ReadUntilQuiet(50, 200).empty());

    pty_.Write(bytes);
    std::vector<std::uint8_t> got(bytes.size());
    EXPECT_EQ(port.Read(got.data(), static_cast<std::uint32_t>(got.size())), static_cast<int>(bytes.size()));
    EXPECT_EQ(got, bytes) << "flow " << flow;
  }
}

TEST_F(LineTest, LongWriteGoesOutWhole) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 115200, 'N', 8, 0));
  // More than a pty buffers at once, so the write has to carry on.
  std::vector<std::uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  std::vector<std::uint8_t> received;
  std::thread reader([&] { received = pty_.Read(big.size(), 20000); });
  EXPECT_TRUE(port.Write(big.data(), static_cast<std::uint32_t>(big.size())));
  reader.join();
  EXPECT_EQ(port.GetLastError(), 0);
  EXPECT_EQ(received, big);
}

TEST_F(LineTest, WriteThatCannotFinishInTimeFails) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  // Nobody drains the master: once the pty is full the write time-out runs out.
  std::vector<std::uint8_t> chunk(40, 0x5A);
  bool failed = false;
  const auto start = Clock::now();
  for (int i = 0; i < 100000 && !failed; ++i) {
    failed = !port.Write(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
  }
  ASSERT_TRUE(failed);
  EXPECT_EQ(port.GetLastError(), 0xF02);
  EXPECT_LT(ElapsedMs(start), 60000);
}

// How one set of open arguments must reach the line.
struct LineCase {
  int baud;
  int parity;
  int dataBits;
  int stopBits;
  int flow;
  speed_t speed;
  tcflag_t size;
  bool cstopb;
  tcflag_t parityBits;  // of PARENB | PARODD | CMSPAR
  bool xon;
  bool crtscts;
};

const LineCase kLineCases[] = {
    {9600, 'N', 8, 0, 0, B9600, CS8, false, 0, false, false},
    {19200, 'E', 7, 2, 0, B19200, CS7, true, PARENB, false, false},
    {4800, 'F', 8, 0, 0, B4800, CS8, false, PARENB | PARODD, false, false},
    {1200, 'G', 8, 0, 0, B1200, CS8, false, PARENB | PARODD | CMSPAR, false, false},
    {2400, 'H', 6, 0, 0, B2400, CS6, false, PARENB | CMSPAR, false, false},
    {38400, 'N', 8, 0, 2, B38400, CS8, false, 0, true, false},
    {57600, 'N', 8, 0, 1, B57600, CS8, false, 0, false, true},
    {300, 'N', 5, 1, 0, B300, CS5, true, 0, false, false},
    {115200, 'N', 8, 2, 0, B115200, CS8, true, 0, false, false},
};

testing::Message Describe(const LineCase& c) {
  return testing::Message() << c.baud << " " << char(c.parity) << c.dataBits << " stop " << c.stopBits << " flow "
                            << c.flow;
}

void ExpectRaw(const termios& t) {
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
}

TEST_F(LineTest, LineSettingsAfterOpen) {
  for (const auto& c : kLineCases) {
    SCOPED_TRACE(Describe(c));
    SerialPort port;
    port.SetFlowControl(c.flow);
    ASSERT_TRUE(port.Open("COM5", c.baud, c.parity, c.dataBits, c.stopBits));

    // What the port wrote, turned into termios.
    termios wanted{};
    ASSERT_TRUE(platform::ApplyLineConfig(port.GetLineConfig(), wanted));
    EXPECT_EQ(cfgetospeed(&wanted), c.speed);
    EXPECT_EQ(wanted.c_cflag & CSIZE, c.size);
    EXPECT_EQ(wanted.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits);

    // What the line holds. A pseudo-terminal forces 8 data bits and drops
    // PARENB; every other field is kept as set.
    const termios t = LineNow();
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(cfgetispeed(&t), c.speed);
    const tcflag_t heldSize = t.c_cflag & CSIZE;
    EXPECT_TRUE(heldSize == c.size || heldSize == CS8) << heldSize;
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parityBits & (PARODD | CMSPAR));
    EXPECT_TRUE((t.c_cflag & PARENB) == (c.parityBits & PARENB) || (t.c_cflag & PARENB) == 0);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parityBits != 0);
    EXPECT_EQ((t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF), c.xon);
    EXPECT_EQ((t.c_iflag & (IXON | IXOFF)) == 0, !c.xon);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.crtscts);
    ExpectRaw(t);
  }
}

TEST(LineConfig, TranslatesToTermios) {
  using platform::LineParity;
  using platform::LineStopBits;
  struct Case {
    std::uint8_t size;
    LineStopBits stop;
    LineParity parity;
    bool check;
    tcflag_t cflag;  // of CSIZE | CSTOPB | PARENB | PARODD | CMSPAR
    bool inpck;
  } cases[] = {
      {8, LineStopBits::One, LineParity::None, false, CS8, false},
      {7, LineStopBits::Two, LineParity::Even, true, CS7 | CSTOPB | PARENB, true},
      {8, LineStopBits::One, LineParity::Odd, true, CS8 | PARENB | PARODD, true},
      {8, LineStopBits::One, LineParity::Mark, false, CS8 | PARENB | PARODD | CMSPAR, false},
      {6, LineStopBits::One, LineParity::Space, true, CS6 | PARENB | CMSPAR, true},
      {5, LineStopBits::OneAndHalf, LineParity::None, true, CS5 | CSTOPB, false},
  };
  for (const auto& c : cases) {
    platform::LineConfig config;
    config.byteSize = c.size;
    config.stopBits = c.stop;
    config.parity = c.parity;
    config.parityCheck = c.check;
    termios t{};
    t.c_cflag = CS8 | CSTOPB | PARENB | CRTSCTS;  // leftovers must go
    t.c_iflag = IXON | IXOFF | INPCK | ICRNL;
    t.c_lflag = ECHO | ICANON;
    ASSERT_TRUE(platform::ApplyLineConfig(config, t));
    EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB | PARENB | PARODD | CMSPAR), c.cflag) << int(c.size);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.inpck);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    ExpectRaw(t);
  }
  platform::LineConfig bad;
  bad.byteSize = 9;
  termios t{};
  EXPECT_FALSE(platform::ApplyLineConfig(bad, t));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
}

TEST_F(LineTest, RatesWithoutStandardConstantGoThroughTermios2) {
  for (std::uint32_t rate : {14400u, 56000u, 76800u, 128000u, 256000u}) {
    SerialPort port;
    ASSERT_TRUE(port.Open("COM5", static_cast<int>(rate), 'N', 8, 0));
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::GetLineSpeed(observer_, got));
    EXPECT_EQ(got, rate);
  }
}

TEST_F(LineTest, RefusedRateDoesNotFailTheOpen) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  ASSERT_TRUE(port.Open("COM5", -5, 'N', 8, 0));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.GetBaudRate(), -5);
  EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(LineNow())), B9600);
}

TEST(SerialPortSetters, StopBitsAndDataBitsRefusals) {
  struct Case {
    int storedStop;
    int storedData;
    bool setData;  // else set stop bits
    int value;
    bool accepted;
  } cases[] = {
      {2, 8, true, 5, false}, {2, 8, true, 7, true},  {1, 5, true, 8, false}, {1, 5, true, 5, true},
      {0, 8, true, 5, true},  {0, 8, false, 1, false}, {0, 5, false, 1, true}, {0, 5, false, 2, false},
      {0, 6, false, 2, true}, {0, 8, false, 0, true},  {0, 8, false, 7, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "stored stop " << c.storedStop << " data " << c.storedData << " set "
                                    << (c.setData ? "data " : "stop ") << c.value);
    SerialPort port;
    ASSERT_TRUE(port.SetByteSize(c.storedData));
    ASSERT_TRUE(port.SetStopBits(c.storedStop));
    if (c.setData) {
      EXPECT_EQ(port.SetByteSize(c.value), c.accepted);
      EXPECT_EQ(port.GetByteSize(), c.accepted ? c.value : c.storedData);
      EXPECT_EQ(port.GetStopBits(), c.storedStop);
    } else {
      EXPECT_EQ(port.SetStopBits(c.value), c.accepted);
      EXPECT_EQ(port.GetStopBits(), c.accepted ? c.value : c.storedStop);
      EXPECT_EQ(port.GetByteSize(), c.storedData);
    }
  }
}

TEST_F(LineTest, RefusedSetterLeavesTheLine) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 2));
  ASSERT_NE(LineNow().c_cflag & CSTOPB, 0u);
  EXPECT_FALSE(port.SetByteSize(5));
  EXPECT_EQ(port.GetLineConfig().byteSize, 8);
  EXPECT_TRUE(port.SetByteSize(7));
  EXPECT_EQ(port.GetLineConfig().byteSize, 7);
  EXPECT_FALSE(port.SetStopBits(1));
  EXPECT_EQ(port.GetLineConfig().stopBits, platform::LineStopBits::Two);
  EXPECT_NE(LineNow().c_cflag & CSTOPB, 0u);
  EXPECT_TRUE(port.SetStopBits(0));
  EXPECT_EQ(LineNow().c_cflag & CSTOPB, 0u);
}

TEST_F(LineTest, UnknownParityIsStoredLineUnchanged) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'G', 8, 0));
  const tcflag_t before = LineNow().c_cflag & (PARODD | CMSPAR);
  ASSERT_EQ(before, static_cast<tcflag_t>(PARODD | CMSPAR));
  EXPECT_TRUE(port.SetParity('X'));
  EXPECT_EQ(port.GetParity(), 'X');
  EXPECT_EQ(port.GetLineConfig().parity, platform::LineParity::Mark);
  EXPECT_EQ(LineNow().c_cflag & (PARODD | CMSPAR), before);
  EXPECT_TRUE(port.SetParity('N'));
  EXPECT_EQ(LineNow().c_cflag & (PARENB | PARODD | CMSPAR), 0u);
}

TEST_F(LineTest, SettingsStoredWhileClosedApplyAtOpen) {
  SerialPort port;
  port.SetTimeouts(7, 9);
  port.SetFlowControl(SerialPort::FlowXonXoff);
  SerialPort::Timeouts t;
  EXPECT_FALSE(port.GetTimeouts(t));
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  ASSERT_TRUE(port.GetTimeouts(t));
  EXPECT_EQ(t.readInterval, 6u);
  EXPECT_EQ(t.readTotalMultiplier, 1u);
  EXPECT_EQ(t.readTotalConstant, 500u);
  EXPECT_EQ(t.writeTotalMultiplier, 25u);
  EXPECT_EQ(t.writeTotalConstant, 1u);
  EXPECT_EQ(port.GetTimeoutValue1(), 7);
  EXPECT_EQ(port.GetTimeoutValue2(), 9);
  EXPECT_EQ(LineNow().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST_F(LineTest, SettingsConstructorOpensAndKeepsValues) {
  SerialPort::Settings s;
  s.flowControl = SerialPort::FlowXonXoff;
  s.parity = 'F';
  s.dataBits = 7;
  s.baudRate = 4800;
  SerialPort port("COM5", s);
  ASSERT_TRUE(port.IsOpen());
  EXPECT_EQ(port.GetPortName(), "COM5");
  const termios t = LineNow();
  EXPECT_EQ(cfgetospeed(&t), B4800);
  EXPECT_EQ(t.c_cflag & PARODD, static_cast<tcflag_t>(PARODD));
  EXPECT_EQ(port.GetLineConfig().byteSize, 7);
  EXPECT_EQ(port.GetLineConfig().parity, platform::LineParity::Odd);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST_F(LineTest, ClearErrorKeepsReceivedBytesFlushDrains) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  pty_.Write(std::vector<std::uint8_t>{9, 8, 7});
  EXPECT_TRUE(port.ClearError());
  std::uint8_t buffer[3] = {};
  EXPECT_EQ(port.Read(buffer, 3), 3);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_EQ(buffer[2], 7);

  const std::uint8_t out[4] = {1, 2, 3, 4};
  ASSERT_TRUE(port.Write(out, 4));
  EXPECT_TRUE(port.Flush());
  EXPECT_EQ(pty_.Read(4, 1000).size(), 4u);
  port.Close();
  EXPECT_FALSE(port.Flush());
}

TEST_F(LineTest, InterruptedReadReturnsAtOnceWithWhatItHas) {
  SerialPort port;
  ASSERT_TRUE(port.Open("COM5", 9600, 'N', 8, 0));
  std::uint8_t buffer[14];
  int got = -1;
  long ms = 0;
  std::atomic<bool> started{false};
  std::thread reader([&] {
    started = true;
    const auto start = Clock::now();
    got = port.Read(buffer, sizeof buffer);
    ms = ElapsedMs(start);
  });
  while (!started) std::this_thread::yield();
  port.InterruptReads();
  reader.join();
  EXPECT_EQ(got, 0);
  EXPECT_LT(ms, 450);
  EXPECT_EQ(port.GetLastError(), kNoAnswer);

  // Still interrupted: bytes already there are taken, nothing is waited for.
  pty_.Write(std::vector<std::uint8_t>{1, 2});
  const auto start = Clock::now();
  const int n = port.Read(buffer, sizeof buffer);
  EXPECT_LE(n, 2);
  EXPECT_LT(ElapsedMs(start), 450);

  port.ResumeReads();
  pty_.Write(std::vector<std::uint8_t>(14 - n, 3));
  EXPECT_EQ(port.Read(buffer + n, 14 - n), 14 - n);
  EXPECT_EQ(port.GetLastError(), 0);
}

}  // namespace
