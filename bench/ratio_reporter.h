// The console report, followed by each benchmark's bytes per second as a multiple of memcpy's
// in the same run: the figure the goals are set in.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Rate {
    std::string benchmark;
    double bytesPerSecond = 0;
    bool median = false;  // from the median of repetitions rather than from one run
  };
  Rate& RateOf(const std::string& benchmark);

  std::vector<Rate> rates_;  // in the order the benchmarks ran
};

}  // namespace bench
