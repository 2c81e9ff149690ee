// What the kernel benchmarks share: the host's buffer size, test signals, and a clock that times
// one call, so that the work between calls (refilling the host's buffer, the runtime double
// handing out a sample) stays out of the figures.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// The chunk size the filter announces, and so the size of every host buffer.
inline constexpr std::size_t kHostBufferBytes = 65536;

// Times `call` once and reports the time as the iteration's.
template <class Call>
void TimeIteration(benchmark::State& state, Call&& call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  benchmark::ClobberMemory();
  const auto stop = std::chrono::steady_clock::now();
  state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
}

// Reproducible noise: `count` packed 24-bit samples over the whole range.
std::vector<std::uint8_t> Packed24Noise(std::size_t count);
// Reproducible noise: `count` floats on the host's 16-bit scale, within full scale.
std::vector<float> HostFloatNoise(std::size_t count);

}  // namespace bench
