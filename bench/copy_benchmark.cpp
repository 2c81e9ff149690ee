// The yardstick: memcpy of one host buffer, timed the same way as the filter's calls.
#include <cstring>

#include "bench_support.h"

namespace bench {
namespace {

void Memcpy(benchmark::State& state) {
  std::vector<std::uint8_t> source = Packed24Noise(kHostBufferBytes / 3 + 1);
  std::vector<std::uint8_t> target(kHostBufferBytes);
  for (auto _ : state) {
    TimeIteration(state, [&] { std::memcpy(target.data(), source.data(), kHostBufferBytes); });
    benchmark::DoNotOptimize(target.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kHostBufferBytes));
}
BENCHMARK(Memcpy)->UseManualTime();

}  // namespace
}  // namespace bench
