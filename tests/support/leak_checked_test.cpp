#include "support/leak_checked_test.h"

void LeakCheckedTest::SetUp() {
  heapBlocks_ = platform_testing::LiveHeapBlocks();
  globalBlocks_ = platform_testing::LiveGlobalBlocks();
  comObjects_ = platform_testing::LiveComObjects();
  apartment_ = platform_testing::CurrentApartment();
  platform_testing::FailHeapAllocation(0);
  platform_testing::FailGlobalAllocation(0);
}

void LeakCheckedTest::TearDown() {
  platform_testing::FailHeapAllocation(0);
  platform_testing::FailGlobalAllocation(0);
  EXPECT_EQ(platform_testing::LiveHeapBlocks(), heapBlocks_) << "heap blocks leaked";
  EXPECT_EQ(platform_testing::LiveGlobalBlocks(), globalBlocks_) << "global blocks leaked";
  EXPECT_EQ(platform_testing::LiveComObjects(), comObjects_) << "COM objects left alive";
  const auto apartment = platform_testing::CurrentApartment();
  EXPECT_EQ(apartment.initializations, apartment_.initializations) << "COM left initialised";
  EXPECT_EQ(apartment.model, apartment_.model);
}
