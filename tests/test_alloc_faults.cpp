// Album operations with every allocation in turn failing: each run succeeds
// or fails cleanly, without leaks, and a failed operation leaves the album
// file as it was.
#include <gtest/gtest.h>

#include "bench/AllocFaultRuns.h"

namespace {

TEST(AllocationFaults, ArmedFaultFailsExactlyTheKthAllocation) {
  QilArmAllocFault(2);
  HTOVIMEM first = ToviMemAlloc(TOVI_FIXED_ZERO, 16);
  HTOVIMEM second = ToviMemAlloc(TOVI_FIXED_ZERO, 16);
  HTOVIMEM third = ToviMemAlloc(TOVI_FIXED_ZERO, 16);
  EXPECT_TRUE(QilAllocFaultFired());
  EXPECT_EQ(3, QilDisarmAllocFault());
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, second);
  EXPECT_NE(nullptr, third);
  ToviMemFree(first);
  ToviMemFree(third);

  // Unarmed, nothing is counted and nothing fails.
  HTOVIMEM later = ToviMemAlloc(TOVI_FIXED_ZERO, 16);
  EXPECT_NE(nullptr, later);
  ToviMemFree(later);
  QilArmAllocFault(0);
  EXPECT_EQ(0, QilDisarmAllocFault());
}

TEST(AllocationFaults, TheAlbumComponentsOwnAllocationsCountToo) {
  // A document's constructor makes its table's end mark with operator new.
  LONG blocks = AlbumLiveAllocationCount();
  QilArmAllocFault(0);
  { CAlbumDoc2 doc; }
  EXPECT_GE(QilDisarmAllocFault(), 1);
  EXPECT_EQ(blocks, AlbumLiveAllocationCount());

  int count = 0;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  QilArmAllocFault(1);
  int result = LoadAlbum("C:\\albumkit-alloc-faults-absent\\none.abm", &count, &pictures, &infos);
  EXPECT_TRUE(QilAllocFaultFired());
  QilDisarmAllocFault();
  EXPECT_EQ(-1, result) << "the document cannot be made";
  EXPECT_EQ(blocks, AlbumLiveAllocationCount());
}

TEST(AllocationFaults, EveryOperationSucceedsOrFailsCleanlyAtEveryAllocation) {
  allocfaults::Fixture fixture;
  ASSERT_TRUE(allocfaults::BuildFixture(&fixture, 4, 1, 4));
  allocfaults::Tally tally;
  allocfaults::RunAllOperations(&fixture, &tally);
  for (const std::string& fault : tally.faults) ADD_FAILURE() << fault;
  EXPECT_EQ(6, tally.operations);
  EXPECT_EQ(0, tally.leaks);
  EXPECT_EQ(0, tally.changed);
  EXPECT_EQ(0, tally.wrong);
  EXPECT_EQ(tally.runs, tally.successes + tally.cleanFailures);
  // Each operation ends with one run that reached no failing allocation;
  // every earlier run had one to fail.
  EXPECT_GE(tally.successes, 6);
  EXPECT_GT(tally.cleanFailures, 6 * 4) << "each operation allocates at least once per item";
}

}  // namespace
