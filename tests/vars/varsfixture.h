#pragma once
// One simulated point on a pseudo-terminal and a protocol object on it.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kalvo_lorim/error.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

namespace varstest {

using kalvo_lorim::Address;
using kalvo_lorim::DataType;
using kalvo_lorim::SerialPortLorimProtocol;
using pointsim::Bytes;

const Address kPoint(1, 2, 3);

// What identifies a request in the order checks.
struct Step {
  std::uint8_t kind;
  int id;  // -1 for identify
  std::uint8_t type;
};

inline bool operator==(const Step& x, const Step& y) {
  return x.kind == y.kind && x.id == y.id && x.type == y.type;
}

inline std::ostream& operator<<(std::ostream& out, const Step& s) {
  return out << "{kind " << int(s.kind) << ", id " << s.id << ", type " << int(s.type) << "}";
}

inline Step Read(int id, std::uint8_t type) { return Step{pointsim::kind::Read, id, type}; }
inline Step Write(int id, std::uint8_t type) { return Step{pointsim::kind::Write, id, type}; }
inline Step Identify() { return Step{pointsim::kind::Identify, -1, pointsim::type::None}; }

class VarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_.Link("COM7", bus_.SlavePath());
    bus_.Start();
    protocol_.reset(new SerialPortLorimProtocol("COM7", false));
    ASSERT_TRUE(protocol_->IsOpen());
  }

  // The requests once `expected` of them are recorded; the exchanges are
  // over by then, so no more can come.
  std::vector<pointsim::Request> Requests(std::size_t expected) {
    EXPECT_TRUE(bus_.WaitForRequests(expected, 5000)) << "only " << bus_.RequestCount() << " requests";
    return bus_.Requests();
  }

  std::vector<Step> Steps(std::size_t expected) {
    std::vector<Step> steps;
    for (const auto& r : Requests(expected)) {
      steps.push_back(Step{r.frame.kind, r.frame.Id(), r.frame.type});
    }
    return steps;
  }

  // Runs `call`, which must throw a device exception with `code`.
  template <typename Call>
  void ExpectCode(Call call, int code) {
    try {
      call();
      ADD_FAILURE() << "no exception, expected code " << code;
    } catch (const kalvo_lorim::Exception& e) {
      EXPECT_EQ(e.GetCode(), code);
    }
  }

  pointsim::Bus bus_;
  pointsim::Point& point_ = bus_.AddPoint(kPoint);
  testsupport::PortFolder ports_;
  std::unique_ptr<SerialPortLorimProtocol> protocol_;
};

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// UTF-16LE bytes of `units`, with no terminator added.
inline Bytes Units(const std::u16string& units) {
  Bytes b;
  for (char16_t u : units) {
    b.push_back(std::uint8_t(u));
    b.push_back(std::uint8_t(u >> 8));
  }
  return b;
}

}  // namespace varstest
