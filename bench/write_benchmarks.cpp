// WriteFilterOutput taking 64 KiB host buffers of floats: converted in place to packed 24-bit
// samples and copied into the writer's sample.
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

// An output file on the runtime double taking 32-bit floats, stereo at 44.1 kHz. Its writer
// logs the samples without copies of their bytes, so that the figures are the filter's work.
class ScriptedOutput {
 public:
  ScriptedOutput() {
    runtime_.writer.keepsSampleBytes = false;
    runtime_.codecs = {{u"Windows Media Audio",
                        {WmaFormat(u"64 kbps, 44 kHz, stereo CBR", 44100, 2, 16),
                         WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}}};
    LONG chunk = 0;
    handle_ = OpenFilterOutput("bench.wma", 44100, 32, 2, 0, &chunk, kOptions);
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

// Bytes counted are the packed bytes that reach the writer: three for every four taken.
void WriteFilterOutputFloats(benchmark::State& state) {
  const std::vector<float> signal = HostFloatNoise(kHostBufferBytes / 4);
  std::vector<BYTE> host(kHostBufferBytes);
  const auto bytes = static_cast<LONG>(kHostBufferBytes);
  std::optional<ScriptedOutput> output;
  std::size_t buffersLeft = 0;
  for (auto _ : state) {
    if (buffersLeft == 0) {
      output.reset();
      output.emplace();
      if (output->handle() == nullptr) {
        state.SkipWithError("the filter did not open the double's writer");
        break;
      }
      buffersLeft = kBuffersPerOutput;
    }
    --buffersLeft;
    // The conversion works in the host's buffer, so each call gets the floats afresh.
    std::memcpy(host.data(), signal.data(), kHostBufferBytes);
    LONG taken = 0;
    TimeIteration(state, [&] { taken = WriteFilterOutput(output->handle(), host.data(), bytes); });
    if (taken != bytes) {
      state.SkipWithError("the filter refused a buffer");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kHostBufferBytes / 4 * 3));
}
BENCHMARK(WriteFilterOutputFloats)->UseManualTime();

}  // namespace
}  // namespace bench
