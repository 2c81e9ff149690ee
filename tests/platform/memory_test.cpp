#include <gtest/gtest.h>

#include <cstring>

#include <platform_testing.h>
#include <windows.h>

#include "support/leak_checked_test.h"

namespace {

using MemoryTest = LeakCheckedTest;

TEST_F(MemoryTest, HeapFailsTheRequestedAllocationOnly) {
  platform_testing::FailHeapAllocation(2);
  void* first = HeapAlloc(GetProcessHeap(), 0, 16);
  void* second = HeapAlloc(GetProcessHeap(), 0, 16);
  void* third = HeapAlloc(GetProcessHeap(), 0, 16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, first));
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, third));
}

TEST_F(MemoryTest, HeapZeroesOnRequestAndKnowsSizes) {
  auto* block = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  EXPECT_EQ(HeapSize(GetProcessHeap(), 0, block), 64u);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, nullptr));
}

TEST_F(MemoryTest, MovableGlobalBlockIsZeroedAndCountsLocks) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GlobalSize(handle), 10u);

  auto* data = static_cast<BYTE*>(GlobalLock(handle));
  ASSERT_NE(data, nullptr);
  EXPECT_NE(static_cast<void*>(data), handle);  // a movable block's handle is not its address
  for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], 0);
  EXPECT_EQ(GlobalLock(handle), data);

  EXPECT_TRUE(GlobalUnlock(handle));   // still locked once
  EXPECT_FALSE(GlobalUnlock(handle));  // now unlocked
  EXPECT_EQ(GetLastError(), NO_ERROR);
  EXPECT_FALSE(GlobalUnlock(handle));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

  EXPECT_EQ(GlobalFree(handle), nullptr);
  EXPECT_EQ(GlobalFree(handle), handle);  // a freed handle is refused
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(MemoryTest, FixedGlobalBlockIsItsOwnAddress) {
  HGLOBAL handle = GlobalAlloc(GMEM_FIXED, 4);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GlobalLock(handle), handle);
  EXPECT_EQ(GlobalFree(handle), nullptr);
}

TEST_F(MemoryTest, GlobalAllocationFailsOnRequest) {
  platform_testing::FailGlobalAllocation(1);
  EXPECT_EQ(GlobalAlloc(GHND, 4), nullptr);
  HGLOBAL handle = GlobalAlloc(GHND, 4);
  EXPECT_NE(handle, nullptr);
  GlobalFree(handle);
}

}  // namespace
