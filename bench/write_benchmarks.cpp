// WriteFilterOutput taking host buffers: 64 KiB of floats converted in place to packed 24-bit
// samples and copied into the writer's sample, and the same call on 16-bit samples.
#include <cstring>
#include <optional>

#include "bench_support.h"
#include "double/runtime_double.h"
#include "filter/filter_api.h"

namespace bench {
namespace {

using runtime_double::RuntimeDouble;
using runtime_double::WmaFormat;

// The double logs every call and keeps what is left of each released sample until it goes, so
// a run opens a fresh output after this many buffers.
constexpr std::size_t kBuffersPerOutput = 64;
// Codec 0, format 1 of the catalogue below.
constexpr DWORD kOptions = 0x00000001;

// An output file on the runtime double, stereo at 44.1 kHz, taking host samples of `bits`. Its
// writer logs the samples without copies of their bytes, so that the figures are the filter's
// work.
class ScriptedOutput {
 public:
  explicit ScriptedOutput(WORD bits) {
    runtime_.writer.keepsSampleBytes = false;
    runtime_.codecs = {{u"Windows Media Audio",
                        {WmaFormat(u"64 kbps, 44 kHz, stereo CBR", 44100, 2, 16),
                         WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}}};
    LONG chunk = 0;
    handle_ = OpenFilterOutput("bench.wma", 44100, bits, 2, 0, &chunk, kOptions);
  }
  ~ScriptedOutput() {
    if (handle_ != nullptr) CloseFilterOutput(handle_);
  }
  ScriptedOutput(const ScriptedOutput&) = delete;
  ScriptedOutput& operator=(const ScriptedOutput&) = delete;

  FilterHandle handle() const { return handle_; }

 private:
  RuntimeDouble runtime_;
  FilterHandle handle_ = nullptr;
};

// Writes `signal` as one host buffer per call, refilled before each call outside the timing;
// bytes counted are those that reach the writer's samples.
void WriteHostBuffers(benchmark::State& state, WORD bits, const std::vector<BYTE>& signal,
                      std::size_t bytesOut) {
  std::vector<BYTE> host(signal.size());
  const auto bytes = static_cast<LONG>(signal.size());
  std::optional<ScriptedOutput> output;
  std::size_t buffersLeft = 0;
  for (auto _ : state) {
    if (buffersLeft == 0) {
      output.reset();
      output.emplace(bits);
      if (output->handle() == nullptr) {
        state.SkipWithError("the filter did not open the double's writer");
        break;
      }
      buffersLeft = kBuffersPerOutput;
    }
    --buffersLeft;
    // The float conversion works in the host's buffer, so each call gets the signal afresh.
    std::memcpy(host.data(), signal.data(), signal.size());
    LONG taken = 0;
    TimeIteration(state, [&] { taken = WriteFilterOutput(output->handle(), host.data(), bytes); });
    if (taken != bytes) {
      state.SkipWithError("the filter refused a buffer");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesOut));
}

// 64 KiB of floats packed in place to 48 KiB of 24-bit samples and copied into the sample.
void WriteFilterOutputFloats(benchmark::State& state) {
  const std::vector<float> floats = HostFloatNoise(kHostBufferBytes / 4);
  std::vector<BYTE> signal(kHostBufferBytes);
  std::memcpy(signal.data(), floats.data(), signal.size());
  WriteHostBuffers(state, 32, signal, kHostBufferBytes / 4 * 3);
}
BENCHMARK(WriteFilterOutputFloats)->UseManualTime();

// 48 KiB of 16-bit samples, the size the float buffers become: the same call without the
// conversion, so the difference from the float figure is the conversion's own cost.
void WriteFilterOutputBytes(benchmark::State& state) {
  std::vector<BYTE> signal = Packed24Noise(kHostBufferBytes / 4);
  WriteHostBuffers(state, 16, signal, signal.size());
}
BENCHMARK(WriteFilterOutputBytes)->UseManualTime();

}  // namespace
}  // namespace bench
