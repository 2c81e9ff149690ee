#include "balance_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <platform_testing.h>

namespace {

void Count(std::string& left, std::size_t count, const char* what) {
  if (count == 0) return;
  left += (left.empty() ? "" : ", ") + std::to_string(count) + " " + what;
}

}  // namespace

int CheckBalanceAtExit(int exitCode) {
  const char* asked = std::getenv("WMAFILTER_CHECK_BALANCE");
  if (asked == nullptr || std::strcmp(asked, "1") != 0) return exitCode;
  std::string left;
  Count(left, platform_testing::CurrentApartment().initializations, "COM initialisation(s)");
  Count(left, platform_testing::LiveComObjects(), "live COM object(s)");
  Count(left, platform_testing::LiveHeapBlocks(), "heap block(s)");
  Count(left, platform_testing::LiveGlobalBlocks(), "global memory block(s)");
  if (left.empty()) return exitCode;
  std::fprintf(stderr, "filterhost: left behind at exit: %s\n", left.c_str());
  return kUnbalancedExit;
}
