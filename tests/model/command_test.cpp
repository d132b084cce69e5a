#include "kalvo_lorim/command.h"

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using kalvo_lorim::Address;
using kalvo_lorim::Event;

namespace {

TEST(CommandQueueTest, KeysAreRightAlignedAddressTexts) {
  EXPECT_EQ(CommandQueue::AddressKey(Address(1, 1, 1)), "  1.  1.  1");
  EXPECT_EQ(CommandQueue::AddressKey(Address(10, 1, 1)), " 10.  1.  1");
  EXPECT_EQ(CommandQueue::AddressKey(Address(255, 0, 99)), "255.  0. 99");
}

TEST(CommandQueueTest, CommandsOfOneAddressComeOutOldestFirst) {
  CommandQueue queue;
  const Address point(1, 1, 1);
  queue.Post(36, point, wxString("first"));
  queue.Post(36, point, wxString("second"));
  queue.Post(1, point, 0L);

  Command c;
  ASSERT_TRUE(queue.Take(point, c));
  EXPECT_EQ(c.kind, 36);
  EXPECT_EQ(c.address, point);
  EXPECT_EQ(boost::any_cast<wxString>(c.argument), "first");
  ASSERT_TRUE(queue.Take(point, c));
  EXPECT_EQ(boost::any_cast<wxString>(c.argument), "second");
  ASSERT_TRUE(queue.Take(point, c));
  EXPECT_EQ(c.kind, 1);
  EXPECT_FALSE(queue.Take(point, c));
}

TEST(CommandQueueTest, AddressesAreIndependent) {
  CommandQueue queue;
  const Address one(1, 1, 1), ten(10, 1, 1), unpolled(7, 7, 7);
  queue.Post(3, ten, 0L);
  queue.Post(4, one, 0L);
  queue.Post(5, ten, 0L);
  queue.Post(6, unpolled, 0L);

  Command c;
  ASSERT_TRUE(queue.Take(one, c));
  EXPECT_EQ(c.kind, 4);
  EXPECT_FALSE(queue.Take(one, c));
  ASSERT_TRUE(queue.Take(ten, c));
  EXPECT_EQ(c.kind, 3);
  ASSERT_TRUE(queue.Take(ten, c));
  EXPECT_EQ(c.kind, 5);
  EXPECT_FALSE(queue.Take(ten, c));
  ASSERT_TRUE(queue.Take(unpolled, c));  // waited untouched
  EXPECT_EQ(c.kind, 6);
}

TEST(CommandQueueTest, TakeWithNothingWaitingLeavesTheCommandUntouched) {
  CommandQueue queue;
  Command c(9, Address(2, 2, 2), 5L);
  EXPECT_FALSE(queue.Take(Address(2, 2, 2), c));
  queue.Post(1, Address(3, 3, 3), 0L);
  EXPECT_FALSE(queue.Take(Address(2, 2, 2), c));
  EXPECT_EQ(c.kind, 9);
  EXPECT_EQ(c.address, Address(2, 2, 2));
  EXPECT_EQ(boost::any_cast<long>(c.argument), 5L);
  EXPECT_TRUE(Command().argument.empty());
}

TEST(CommandQueueTest, ConcurrentPostAndTakeLoseAndDuplicateNothing) {
  CommandQueue queue;
  const Address addresses[] = {Address(1, 1, 1), Address(10, 1, 1), Address(1, 1, 10)};
  constexpr int kPerAddress = 5000;

  std::thread poster([&] {
    for (int i = 0; i < kPerAddress; ++i) {
      for (const Address& a : addresses) queue.Post(8, a, i);
    }
  });

  std::vector<int> next(3, 0);
  bool inOrder = true;
  int taken = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (taken < 3 * kPerAddress && std::chrono::steady_clock::now() < deadline) {
    for (int k = 0; k < 3; ++k) {
      Command c;
      if (!queue.Take(addresses[k], c)) continue;
      inOrder = inOrder && c.address == addresses[k] && boost::any_cast<int>(c.argument) == next[k];
      ++next[k];
      ++taken;
    }
  }
  poster.join();
  EXPECT_EQ(taken, 3 * kPerAddress);
  EXPECT_TRUE(inOrder);
  Command c;
  for (const Address& a : addresses) EXPECT_FALSE(queue.Take(a, c));
}

TEST(EventQueueTest, FirstInFirstOutAndOwnsItsEvents) {
  EventQueue queue;
  EXPECT_TRUE(queue.IsEmpty());
  Event out(55, Address(1, 1, 1), 0L);
  queue.Pop(&out);  // empty: nothing
  queue.Front(&out);
  EXPECT_EQ(out.GetKind(), 55);

  queue.Push(new Event(0, Address(1, 1, 2), 0L));
  queue.Push(new Event(1, Address(1, 1, 2), 0L));
  queue.Push(new Event(3, Address(1, 1, 2), 0L));
  EXPECT_EQ(queue.Size(), 3u);
  EXPECT_EQ(queue.At(2)->GetKind(), 3);

  queue.Front(&out);
  EXPECT_EQ(out.GetKind(), 0);
  EXPECT_EQ(queue.Size(), 3u);
  queue.Pop(&out);
  EXPECT_EQ(out.GetKind(), 0);
  queue.Pop();
  EXPECT_EQ(queue.Size(), 1u);
  EXPECT_EQ(queue.At(0)->GetKind(), 3);
  queue.Push(new Event(4, Address(1, 1, 2), 0L));
  EXPECT_TRUE(queue.Clear());
  EXPECT_TRUE(queue.IsEmpty());
  queue.Push(new Event(23, Address(1, 1, 2), 0L));  // the destructor deletes it
}

}  // namespace
