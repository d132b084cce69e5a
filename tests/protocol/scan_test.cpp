#include <gtest/gtest.h>

#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "pointsim.h"
#include "pty.h"

namespace {

using kalvo_lorim::Address;

TEST(ScanPort, EveryAnswerToTheBroadcastAddsAPoint) {
  pointsim::Bus bus;
  bus.AddPoint(Address(1, 2, 3));
  bus.AddPoint(Address(4, 5, 6));
  testsupport::PortFolder ports;
  ports.Link("COM3", bus.SlavePath());
  bus.Start();

  kalvo_lorim::PointsCollection collection;
  collection.Add(new kalvo_lorim::Point(Address(9, 9, 9)));
  EXPECT_TRUE(kalvo_lorim::ScanPort(wxT("COM3"), collection));
  bus.Stop();

  EXPECT_EQ(collection.FindByAddress(Address(9, 9, 9)), nullptr);
  EXPECT_NE(collection.FindByAddress(Address(1, 2, 3)), nullptr);
  EXPECT_NE(collection.FindByAddress(Address(4, 5, 6)), nullptr);
  const auto requests = bus.Requests();
  ASSERT_FALSE(requests.empty());
  for (const auto& r : requests) {
    EXPECT_EQ(r.frame.kind, pointsim::kind::Identify);
    EXPECT_EQ(r.frame.destination, kalvo_lorim::BroadcastAddress());
  }
  // The broadcast is repeated while the scan runs; both points answer each
  // one, and only the last may end the scan with an answer unread.
  EXPECT_GE(collection.Size(), 2u * (requests.size() - 1));
  EXPECT_GE(collection.Size(), 2u);
}

TEST(ScanPort, MissingPortFindsNothing) {
  testsupport::PortFolder ports;
  kalvo_lorim::PointsCollection collection;
  collection.Add(new kalvo_lorim::Point(Address(9, 9, 9)));
  EXPECT_FALSE(kalvo_lorim::ScanPort(wxT("COM4"), collection));
  EXPECT_EQ(collection.Size(), 0u);
}

}  // namespace
