// A fixture that fails a test which leaves heap blocks, global memory blocks, COM objects or
// a COM initialisation behind on its thread.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include <platform_testing.h>

class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::size_t heapBlocks_ = 0;
  std::size_t globalBlocks_ = 0;
  std::size_t comObjects_ = 0;
  platform_testing::ApartmentState apartment_{};
};
