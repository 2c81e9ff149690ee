// ReadFilterInput filling 64 KiB host buffers: 16-bit audio copied byte for byte, and 24-bit
// audio widened to floats.
#include <optional>

#include "bench_support.h"
#include "double/runtime_double.h"
#include "filter/filter_api.h"

namespace bench {
namespace {

using runtime_double::MediaFormat;
using runtime_double::PcmFormat;
using runtime_double::RuntimeDouble;
using runtime_double::Sample;

// The double keeps every sample it hands out until it goes, so a run opens a fresh input after
// this many samples.
constexpr std::size_t kSamplesPerInput = 64;

// An input file on the runtime double whose reader hands out `count` copies of one sample.
class ScriptedInput {
 public:
  ScriptedInput(const MediaFormat& format, const std::vector<BYTE>& sample, std::size_t count) {
    runtime_.reader.outputFormats = {format};
    runtime_.reader.samples.assign(count, Sample{sample});
    LONG rate = 0;
    LONG chunk = 0;
    WORD bits = 0;
    WORD channels = 0;
    handle_ = OpenFilterInput("bench.wma", &rate, &bits, &channels, 0, &chunk);
  }
  ~ScriptedInput() {
    if (handle_ != nullptr) CloseFilterInput(handle_);
  }
  ScriptedInput(const ScriptedInput&) = delete;
  ScriptedInput& operator=(const ScriptedInput&) = delete;

  FilterHandle handle() const { return handle_; }

 private:
  RuntimeDouble runtime_;
  FilterHandle handle_ = nullptr;
};

// Each sample is a short lead-in followed by exactly one host buffer's worth. An untimed read
// takes the lead-in, and with it the refill, which is the double's bookkeeping rather than the
// filter's work; the timed read then fills the whole host buffer from the held sample.
constexpr LONG kLeadInBytes = 4;

void ReadHostBuffers(benchmark::State& state, const MediaFormat& format,
                     const std::vector<BYTE>& sample) {
  std::vector<BYTE> host(kHostBufferBytes);
  const auto wanted = static_cast<LONG>(kHostBufferBytes);
  std::optional<ScriptedInput> input;
  std::size_t samplesLeft = 0;
  for (auto _ : state) {
    if (samplesLeft == 0) {
      input.reset();
      input.emplace(format, sample, kSamplesPerInput);
      if (input->handle() == nullptr) {
        state.SkipWithError("the filter did not open the double's file");
        break;
      }
      samplesLeft = kSamplesPerInput;
    }
    --samplesLeft;
    if (ReadFilterInput(input->handle(), host.data(), kLeadInBytes) != kLeadInBytes) {
      state.SkipWithError("the lead-in was not delivered");
      break;
    }
    LONG delivered = 0;
    TimeIteration(state,
                  [&] { delivered = ReadFilterInput(input->handle(), host.data(), wanted); });
    if (delivered != wanted) {
      state.SkipWithError("a short read");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kHostBufferBytes));
}

// 16-bit stereo: the host's buffer is filled with a copy of the reader's bytes.
void ReadFilterInputBytes(benchmark::State& state) {
  std::vector<BYTE> sample = Packed24Noise((kLeadInBytes + kHostBufferBytes) / 3 + 1);
  sample.resize(kLeadInBytes + kHostBufferBytes);
  ReadHostBuffers(state, PcmFormat(44100, 2, 16), sample);
}
BENCHMARK(ReadFilterInputBytes)->UseManualTime();

// 24-bit stereo: each packed sample of the reader becomes a float; bytes counted are the
// floats delivered.
void ReadFilterInputFloats(benchmark::State& state) {
  constexpr std::size_t kLeadInSamples = kLeadInBytes / 4;
  ReadHostBuffers(state, PcmFormat(48000, 2, 24),
                  Packed24Noise(kLeadInSamples + kHostBufferBytes / 4));
}
BENCHMARK(ReadFilterInputFloats)->UseManualTime();

}  // namespace
}  // namespace bench
