#include "kalvo_lorim/pointscollection.h"

#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <wx/debug.h>

using kalvo_lorim::Address;
using kalvo_lorim::Event;
using kalvo_lorim::Point;
using kalvo_lorim::PointsCollection;

namespace {

// Counts deletions, so that a test sees exactly when a point goes.
class CountedPoint : public Point {
 public:
  CountedPoint(const Address& address, int& deleted) : Point(address), deleted_(deleted) {}
  ~CountedPoint() override { ++deleted_; }
  bool IsSuspended() const override { return true; }

 private:
  int& deleted_;
};

std::vector<Address> Order(const PointsCollection& c) {
  std::vector<Address> order;
  for (unsigned i = 0; i < c.Size(); ++i) order.push_back(c.At(i)->GetAddress());
  return order;
}

TEST(PointsCollectionTest, AddFindAndAt) {
  PointsCollection c;
  Point* a = new Point(Address(1, 1, 2));
  Point* b = new Point(Address(1, 1, 3));
  c.Add(a);
  c.Add(b);
  c.Add(a);  // already held
  c.Add(nullptr);
  EXPECT_EQ(c.Size(), 2u);
  EXPECT_EQ(c.At(0), a);
  EXPECT_EQ(c.At(1), b);
  EXPECT_EQ(c.At(2), nullptr);
  EXPECT_EQ(c.FindByAddress(Address(1, 1, 3)), b);
  EXPECT_EQ(c.FindByAddress(Address(1, 1, 4)), nullptr);
}

TEST(PointsCollectionTest, MarkedPointIsDeletedAtItsReleaseAndNotBefore) {
  int deleted = 0;
  PointsCollection c;
  Point* keep = new Point(Address(1, 1, 2));
  Point* gone = new CountedPoint(Address(1, 1, 3), deleted);
  c.Add(keep);
  c.Add(gone);

  EXPECT_FALSE(c.MarkForRemoval(gone));  // free: nothing marked
  EXPECT_FALSE(gone->IsMarkedForRemoval());

  ASSERT_TRUE(c.TryLock(gone));
  EXPECT_FALSE(c.TryLock(gone));
  EXPECT_TRUE(c.MarkForRemoval(gone));
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(c.Size(), 2u);

  c.Release(gone);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(c.Size(), 1u);
  EXPECT_EQ(c.FindByAddress(Address(1, 1, 3)), nullptr);

  ASSERT_TRUE(c.TryLock(keep));
  c.Release(keep);
  EXPECT_FALSE(keep->IsBusy());
  EXPECT_EQ(c.Size(), 1u);
}

TEST(PointsCollectionTest, PointsOutsideTheCollection) {
  PointsCollection c;
  c.Add(new Point(Address(1, 1, 2)));
  Point stranger(Address(9, 9, 9));
  EXPECT_TRUE(c.TryLock(&stranger));
  EXPECT_FALSE(stranger.IsBusy());

  // A released point whose address nobody in the collection has stays busy.
  ASSERT_TRUE(stranger.TryLock());
  c.Release(&stranger);
  EXPECT_TRUE(stranger.IsBusy());

  // One that shares an address is unlocked, but never deleted by the collection.
  Point twin(Address(1, 1, 2));
  ASSERT_TRUE(twin.TryLock());
  ASSERT_TRUE(twin.MarkForRemoval());
  c.Release(&twin);
  EXPECT_FALSE(twin.IsBusy());
  EXPECT_EQ(c.Size(), 1u);
}

TEST(PointsCollectionTest, ReleaseBusyAfterAKilledHolder) {
  int deleted = 0;
  PointsCollection c;
  c.Add(new Point(Address(1, 1, 1)));
  Point* marked = new CountedPoint(Address(1, 1, 2), deleted);
  c.Add(marked);
  Point* held = new Point(Address(1, 1, 3));
  c.Add(held);
  c.Add(new Point(Address(1, 1, 4)));

  // A device thread held two points when it was killed, one of them marked.
  ASSERT_TRUE(c.TryLock(marked));
  ASSERT_TRUE(c.MarkForRemoval(marked));
  ASSERT_TRUE(c.TryLock(held));

  c.ReleaseBusy();
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(c.Size(), 3u);
  for (unsigned i = 0; i < c.Size(); ++i) EXPECT_FALSE(c.At(i)->IsBusy()) << i;
  EXPECT_EQ(c.FindByAddress(Address(1, 1, 3)), held);
}

TEST(PointsCollectionTest, MoveUpAndDown) {
  PointsCollection c;
  const Address a(1, 1, 1), b(1, 1, 2), d(1, 1, 3);
  c.Add(new Point(a));
  c.Add(new Point(b));
  c.Add(new Point(d));
  c.MoveUp(0);
  c.MoveDown(2);
  c.MoveUp(3);
  c.MoveDown(7);
  EXPECT_EQ(Order(c), (std::vector<Address>{a, b, d}));
  c.MoveUp(2);
  EXPECT_EQ(Order(c), (std::vector<Address>{a, d, b}));
  c.MoveDown(0);
  EXPECT_EQ(Order(c), (std::vector<Address>{d, a, b}));
}

TEST(PointsCollectionTest, RemoveAllDeletesEveryPoint) {
  int deleted = 0;
  PointsCollection c;
  EXPECT_TRUE(c.RemoveAll());  // empty: at once
  for (std::uint8_t i = 1; i <= 4; ++i) c.Add(new CountedPoint(Address(1, 1, i), deleted));
  EXPECT_TRUE(c.RemoveAll());
  EXPECT_EQ(deleted, 4);
  EXPECT_EQ(c.Size(), 0u);
}

int assertions = 0;
void CountAssertion(const wxString&, int, const wxString&, const wxString&, const wxString&) {
  ++assertions;
}

TEST(PointsCollectionTest, RemoveAllWithAPointHeldBusyAssertsInsteadOfHanging) {
  int deleted = 0;
  const wxAssertHandler_t previous = wxSetAssertHandler(CountAssertion);
  assertions = 0;
  {
    PointsCollection c;
    c.Add(new CountedPoint(Address(1, 1, 1), deleted));
    Point* held = new CountedPoint(Address(1, 1, 2), deleted);
    c.Add(held);
    ASSERT_TRUE(held->TryLock());

    EXPECT_FALSE(c.RemoveAll());
    EXPECT_EQ(assertions, 1);
    EXPECT_EQ(deleted, 1);  // the free one went, the held one stayed
    ASSERT_EQ(c.Size(), 1u);
    EXPECT_EQ(c.At(0), held);

    // A holder that lets go in time: RemoveAll waits for it.
    std::thread holder([held] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      held->Unlock();
    });
    EXPECT_TRUE(c.RemoveAll());
    holder.join();
    EXPECT_EQ(deleted, 2);
  }
  wxSetAssertHandler(previous);
}

TEST(PointsCollectionTest, CopiesArePlainPointsStartingAfresh) {
  int deleted = 0;
  PointsCollection source;
  Point* p = new CountedPoint(Address(5, 6, 7), deleted);
  source.Add(p);
  ASSERT_TRUE(p->HandleEvent(Event(35, Address(5, 6, 7), kalvo_lorim::Error::NoAnswer)));
  p->SetName("kept");
  ASSERT_TRUE(source.TryLock(p));
  ASSERT_TRUE(source.MarkForRemoval(p));

  PointsCollection copy(source);
  ASSERT_EQ(copy.Size(), 1u);
  Point* q = copy.At(0);
  EXPECT_NE(q, p);
  EXPECT_EQ(dynamic_cast<CountedPoint*>(q), nullptr);
  EXPECT_FALSE(q->IsSuspended());
  EXPECT_EQ(q->GetState(), 1);
  EXPECT_FALSE(q->IsBusy());
  EXPECT_FALSE(q->IsMarkedForRemoval());
  EXPECT_EQ(q->GetLastError(), 0);
  EXPECT_EQ(q->GetName(), "kept");
  EXPECT_EQ(q->GetAddress(), Address(5, 6, 7));

  PointsCollection assigned;
  assigned.Add(new Point(Address(1, 1, 1)));
  assigned = copy;
  EXPECT_EQ(Order(assigned), std::vector<Address>{Address(5, 6, 7)});
  Point* before = assigned.At(0);
  assigned = assigned;  // to itself: nothing changes
  EXPECT_EQ(assigned.At(0), before);

  source.Release(p);
  EXPECT_EQ(deleted, 1);
}

}  // namespace
