// filter_benchmarks: the kernel benchmarks with the ratio report. Takes Google Benchmark's
// options, e.g. --benchmark_repetitions=5.
#include <gtest/gtest.h>

#include <cstdio>

#include "ratio_reporter.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // The runtime double reports misuse as test failures; outside a test they gather here.
  if (testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed()) {
    std::fputs("filter_benchmarks: the runtime double saw the filter misbehave\n", stderr);
    return 1;
  }
  return 0;
}
