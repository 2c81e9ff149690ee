#include "ratio_reporter.h"

#include <algorithm>
#include <cstdio>

namespace bench {
namespace {

constexpr char kYardstick[] = "Memcpy";

}  // namespace

RatioReporter::Rate& RatioReporter::RateOf(const std::string& benchmark) {
  const auto found = std::find_if(rates_.begin(), rates_.end(),
                                  [&](const Rate& rate) { return rate.benchmark == benchmark; });
  if (found != rates_.end()) return *found;
  return rates_.emplace_back(Rate{benchmark});
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    const auto counter = run.counters.find("bytes_per_second");
    if (run.error_occurred || counter == run.counters.end()) continue;
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (run.run_type == Run::RT_Aggregate && !median) continue;
    // With repetitions the median stands for the benchmark; otherwise its one run does.
    Rate& rate = RateOf(run.run_name.function_name);
    if (median || !rate.median) {
      rate.bytesPerSecond = counter->second.value;
      rate.median = median;
    }
  }
}

void RatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  const auto yardstick = std::find_if(
      rates_.begin(), rates_.end(), [](const Rate& rate) { return rate.benchmark == kYardstick; });
  if (yardstick == rates_.end() || yardstick->bytesPerSecond <= 0) return;
  std::FILE* out = stdout;
  std::fprintf(out, "\n%-28s %12s %10s\n", "bytes out per second", "GiB/s", "x memcpy");
  for (const Rate& rate : rates_) {
    std::fprintf(out, "%-28s %12.2f %10.2f\n", rate.benchmark.c_str(),
                 rate.bytesPerSecond / (1024.0 * 1024.0 * 1024.0),
                 rate.bytesPerSecond / yardstick->bytesPerSecond);
  }
}

}  // namespace bench
