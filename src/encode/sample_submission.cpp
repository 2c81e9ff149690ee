// WriteFilterOutput: one host buffer becomes one writer sample, stamped with the running time.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/com_ptr.h"
#include "common/media_time.h"
#include "encode/writer_session.h"

namespace {

// The 24-bit range. The lowest, -8388608, is -32768.0 on the host's scale, a valid sample that a
// lossless save must give back, so the lower limit is the range's own and not -8388607.
constexpr float kPackedHighest = 8388607.0f;  // 0x7FFFFF
constexpr float kPackedLowest = -8388608.0f;  // 0x800000
// Samples converted together: their scaling and limits run as one vector loop.
constexpr std::size_t kBlockSamples = 16;

// The host's float on the 16-bit scale as a 24-bit integer: times 256, truncated toward zero,
// limited to -8388608 and +8388607 at any magnitude (infinities included); NaN becomes 0. Written
// without branches so that the compiler can convert a block of samples at once: a NaN fails both
// comparisons, takes the limit and is then replaced by 0.
std::int32_t ToPacked24(float sample) {
  const float scaled = sample * 256.0f;
  const float upper = scaled < kPackedHighest ? scaled : kPackedHighest;
  const float bounded = upper > kPackedLowest ? upper : kPackedLowest;
  const auto value = static_cast<std::int32_t>(bounded);
  return scaled == scaled ? value : 0;
}

void StoreWord(BYTE* target, std::uint32_t word) { std::memcpy(target, &word, sizeof(word)); }

// Packs four 24-bit values into the three little-endian words that hold them.
void PackFour(const std::int32_t* values, BYTE* target) {
  const auto v0 = static_cast<std::uint32_t>(values[0]);
  const auto v1 = static_cast<std::uint32_t>(values[1]);
  const auto v2 = static_cast<std::uint32_t>(values[2]);
  const auto v3 = static_cast<std::uint32_t>(values[3]);
  StoreWord(target, (v0 & 0xFFFFFFu) | v1 << 24);
  StoreWord(target + 4, (v1 >> 8 & 0xFFFFu) | v2 << 16);
  StoreWord(target + 8, (v2 >> 16 & 0xFFu) | v3 << 8);
}

// Converts the buffer's floats to packed 24-bit samples in place and returns their byte count.
// Sample i is written to bytes 3i..3i+2, below the float of sample i + 1, and each block of
// floats is read whole before its packed bytes are written, so every float is read before
// anything overwrites it. Trailing bytes short of a whole float are ignored.
DWORD PackFloatsInPlace(BYTE* buffer, DWORD bytes) {
  const std::size_t count = bytes / 4;
  const std::size_t blocks = count / kBlockSamples;
  for (std::size_t b = 0; b < blocks; ++b) {
    float samples[kBlockSamples];
    std::memcpy(samples, buffer + 4 * kBlockSamples * b, sizeof(samples));
    std::int32_t values[kBlockSamples];
    for (std::size_t k = 0; k < kBlockSamples; ++k) values[k] = ToPacked24(samples[k]);
    for (std::size_t k = 0; k < kBlockSamples; k += 4) {
      PackFour(values + k, buffer + 3 * (kBlockSamples * b + k));
    }
  }
  for (std::size_t i = kBlockSamples * blocks; i < count; ++i) {
    float sample;
    std::memcpy(&sample, buffer + 4 * i, sizeof(sample));
    const auto packed = static_cast<std::uint32_t>(ToPacked24(sample));
    buffer[3 * i] = static_cast<BYTE>(packed);
    buffer[3 * i + 1] = static_cast<BYTE>(packed >> 8);
    buffer[3 * i + 2] = static_cast<BYTE>(packed >> 16);
  }
  return static_cast<DWORD>(3 * count);
}

}  // namespace

LONG WINAPI WriteFilterOutput(FilterHandle handle, BYTE* buffer, LONG bytes) {
  OutputContext* context = AsOutputContext(handle);
  // A null handle, a negative count or bytes promised from a null buffer are the caller's
  // errors; they get the failure report rather than a crash.
  if (context == nullptr || context->writer == nullptr || bytes < 0) return 0;
  if (buffer == nullptr && bytes != 0) return 0;
  IWMWriter* writer = context->writer;

  if (!context->writingStarted) {
    if (FAILED(writer->BeginWriting())) return 0;
    context->writingStarted = 1;
  }

  DWORD length = static_cast<DWORD>(bytes);
  if (context->bitsPerSample == 24) length = PackFloatsInPlace(buffer, length);

  ComPtr<INSSBuffer> sample;
  if (FAILED(writer->AllocateSample(length, sample.put()))) return 0;
  BYTE* data = nullptr;
  DWORD reportedLength = 0;
  // A buffer smaller than asked is refused, never overrun.
  if (FAILED(sample->GetBufferAndLength(&data, &reportedLength)) || reportedLength < length ||
      (data == nullptr && length != 0)) {
    return 0;
  }
  if (length != 0) std::memcpy(data, buffer, length);
  if (FAILED(sample->SetLength(length)) ||
      FAILED(writer->WriteSample(0, context->sampleTime, 0, sample.get()))) {
    return 0;
  }

  // Each sample's duration is truncated on its own; the stamps may fall behind the exact time
  // by less than one unit per sample. The duration is that of the bytes submitted: a writer may
  // hand out a larger buffer than asked, and its spare room is no audio.
  const DWORD bytesPerSecond = static_cast<DWORD>(context->channels) *
                               static_cast<DWORD>(context->sampleRate) *
                               (context->bitsPerSample / 8u);
  context->sampleTime += static_cast<QWORD>(length) * kUnitsPerSecond / bytesPerSecond;
  return bytes;
}
