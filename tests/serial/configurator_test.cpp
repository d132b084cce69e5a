#include <string>

#include <gtest/gtest.h>

#include "kalvo_lorim/serialportlorimprotocol.h"

namespace {

using Configurator = kalvo_lorim::SerialPortLorimProtocol::Configurator;
using ConfiguratorException = kalvo_lorim::SerialPortLorimProtocol::ConfiguratorException;

struct Values {
  unsigned replyTimeout = 200;
  unsigned retries = 6;
  int baud = 9600;
  int parity = 'N';
  int dataBits = 8;
  int stopBits = 0;
};

Configurator Make(const Values& v, const char* name = "COM1") {
  return Configurator(name, v.replyTimeout, v.retries, v.baud, v.parity, v.dataBits, v.stopBits);
}

TEST(Configurator, AcceptsAndRefusesEachValue) {
  struct Case {
    const char* what;
    Values v;
    bool accepted;
  };
  auto with = [](auto change) {
    Values v;
    change(v);
    return v;
  };
  const Case cases[] = {
      {"defaults", Values{}, true},
      {"timeout 39", with([](Values& v) { v.replyTimeout = 39; }), false},
      {"timeout 40", with([](Values& v) { v.replyTimeout = 40; }), true},
      {"timeout 0", with([](Values& v) { v.replyTimeout = 0; }), false},
      {"retries 5", with([](Values& v) { v.retries = 5; }), false},
      {"retries 6", with([](Values& v) { v.retries = 6; }), true},
      {"retries 100", with([](Values& v) { v.retries = 100; }), true},
      {"baud 9601", with([](Values& v) { v.baud = 9601; }), false},
      {"baud 0", with([](Values& v) { v.baud = 0; }), false},
      {"baud 230400", with([](Values& v) { v.baud = 230400; }), false},
      {"parity O", with([](Values& v) { v.parity = 'O'; }), false},
      {"parity n", with([](Values& v) { v.parity = 'n'; }), false},
      {"parity M", with([](Values& v) { v.parity = 'M'; }), false},
      {"data 4", with([](Values& v) { v.dataBits = 4; }), false},
      {"data 9", with([](Values& v) { v.dataBits = 9; }), false},
      {"stop 3", with([](Values& v) { v.stopBits = 3; }), false},
      {"stop -1", with([](Values& v) { v.stopBits = -1; }), false},
  };
  for (const auto& c : cases) {
    if (c.accepted) {
      EXPECT_NO_THROW(Make(c.v)) << c.what;
    } else {
      EXPECT_THROW(Make(c.v), ConfiguratorException) << c.what;
    }
  }
  for (int baud : {50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600, 14400, 19200, 38400, 56000,
                   57600, 76800, 115200, 128000, 256000}) {
    EXPECT_NO_THROW(Make(with([baud](Values& v) { v.baud = baud; }))) << baud;
  }
  for (int parity : {'N', 'E', 'F', 'G', 'H'}) {
    EXPECT_NO_THROW(Make(with([parity](Values& v) { v.parity = parity; }))) << char(parity);
  }
  for (int bits : {5, 6, 7, 8}) EXPECT_NO_THROW(Make(with([bits](Values& v) { v.dataBits = bits; })));
  for (int stop : {0, 1, 2}) EXPECT_NO_THROW(Make(with([stop](Values& v) { v.stopBits = stop; })));
}

TEST(Configurator, StoresValuesAndCopiesWhole) {
  const Configurator c("COM9", 40, 7, 56000, 'G', 7, 2);
  Configurator copy = c;
  EXPECT_STREQ(copy.GetPortName(), "COM9");
  EXPECT_EQ(copy.GetReplyTimeout(), 40u);
  EXPECT_EQ(copy.GetRetries(), 7u);
  EXPECT_EQ(copy.GetBaudRate(), 56000);
  EXPECT_EQ(copy.GetParity(), 'G');
  EXPECT_EQ(copy.GetDataBits(), 7);
  EXPECT_EQ(copy.GetStopBits(), 2);
}

TEST(Configurator, RefusedSetterKeepsTheOldValue) {
  Configurator c = Make(Values{});
  EXPECT_THROW(c.SetBaudRate(12345), ConfiguratorException);
  EXPECT_EQ(c.GetBaudRate(), 9600);
  c.SetBaudRate(115200);
  EXPECT_EQ(c.GetBaudRate(), 115200);
  EXPECT_THROW(c.SetReplyTimeout(10), ConfiguratorException);
  EXPECT_EQ(c.GetReplyTimeout(), 200u);
  EXPECT_THROW(c.SetParity('O'), ConfiguratorException);
  EXPECT_EQ(c.GetParity(), 'N');
}

TEST(Configurator, PortNameMustFitItsField) {
  const std::string fits(1023, 'P');
  EXPECT_EQ(std::string(Make(Values{}, fits.c_str()).GetPortName()), fits);
  const std::string tooLong(1024, 'P');
  EXPECT_THROW(Make(Values{}, tooLong.c_str()), ConfiguratorException);
  Configurator c = Make(Values{});
  EXPECT_THROW(c.SetPortName(tooLong.c_str()), ConfiguratorException);
  EXPECT_STREQ(c.GetPortName(), "COM1");
}

TEST(Configurator, ExceptionCarriesWrongParameter) {
  try {
    Make(Values{}).SetDataBits(3);
    FAIL() << "no exception";
  } catch (const ConfiguratorException& e) {
    const ConfiguratorException copy = e;
    EXPECT_EQ(copy.GetMessage(), "Wrong parameter");
  }
}

}  // namespace
