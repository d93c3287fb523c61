// Memory handles of the image services: flags, sizes and the live count.
#include <gtest/gtest.h>

#include "../platform/qil.h"

TEST(ToviMem, FixedZeroHandleIsItsOwnAddress) {
  LONG before = ToviMemLiveCount();
  HTOVIMEM mem = ToviMemAlloc(TOVI_FIXED_ZERO, 64);
  ASSERT_NE(mem, nullptr);
  EXPECT_EQ(ToviMemLock(mem), mem) << "fixed blocks are addressed by the handle itself";
  auto* bytes = static_cast<unsigned char*>(mem);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i << " not zero-filled";
  EXPECT_GE(ToviMemSize(mem), 64u);
  EXPECT_EQ(ToviMemLiveCount(), before + 1);
  ToviMemFree(mem);
  EXPECT_EQ(ToviMemLiveCount(), before);
}

TEST(ToviMem, MovableZeroHandleLocksToZeroedBytes) {
  HTOVIMEM mem = ToviMemAlloc(TOVI_MOVABLE_ZERO, 4096);
  ASSERT_NE(mem, nullptr);
  auto* bytes = static_cast<unsigned char*>(ToviMemLock(mem));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[4095], 0);
  bytes[100] = 7;
  ToviMemUnlock(mem);
  bytes = static_cast<unsigned char*>(ToviMemLock(mem));
  EXPECT_EQ(bytes[100], 7) << "contents survive an unlock";
  ToviMemUnlock(mem);
  EXPECT_EQ(ToviMemSize(mem), 4096u);
  ToviMemFree(mem);
}

TEST(ToviMem, NullHandlesAreHarmless) {
  LONG before = ToviMemLiveCount();
  EXPECT_EQ(ToviMemLock(nullptr), nullptr);
  EXPECT_EQ(ToviMemSize(nullptr), 0u);
  ToviMemUnlock(nullptr);
  ToviMemFree(nullptr);
  EXPECT_EQ(ToviMemLiveCount(), before);
}
