// WriteFilterOutput: one host buffer becomes one writer sample, stamped with the running time.
#include <cstdint>
#include <cstring>

#include "encode/writer_session.h"
#include "media/com_ptr.h"

namespace {

constexpr QWORD kUnitsPerSecond = 10000000;  // 100-nanosecond units
constexpr std::int32_t kPackedLimit = 0x7FFFFF;

// The host's float on the 16-bit scale as a 24-bit integer: times 256, truncated toward zero,
// limited to +-8388607 at any magnitude (infinities included); NaN becomes 0.
std::int32_t ToPacked24(float sample) {
  const float scaled = sample * 256.0f;
  if (scaled != scaled) return 0;
  if (scaled >= 8388608.0f) return kPackedLimit;
  if (scaled <= -8388608.0f) return -kPackedLimit;
  return static_cast<std::int32_t>(scaled);
}

// Converts the buffer's floats to packed 24-bit samples in place and returns their byte count.
// Sample i is written to bytes 3i..3i+2, below the float of sample i + 1, so every float is
// read before anything overwrites it. Trailing bytes short of a whole float are ignored.
DWORD PackFloatsInPlace(BYTE* buffer, DWORD bytes) {
  const DWORD count = bytes / 4;
  for (DWORD i = 0; i < count; ++i) {
    float sample;
    std::memcpy(&sample, buffer + 4 * i, sizeof(sample));
    const auto packed = static_cast<std::uint32_t>(ToPacked24(sample));
    buffer[3 * i] = static_cast<BYTE>(packed);
    buffer[3 * i + 1] = static_cast<BYTE>(packed >> 8);
    buffer[3 * i + 2] = static_cast<BYTE>(packed >> 16);
  }
  return 3 * count;
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
  // The writer reports the size asked for; a smaller buffer is refused, never overrun.
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
  // by less than one unit per sample.
  const DWORD bytesPerSecond = static_cast<DWORD>(context->channels) *
                               static_cast<DWORD>(context->sampleRate) *
                               (context->bitsPerSample / 8u);
  context->sampleTime += static_cast<QWORD>(reportedLength) * kUnitsPerSecond / bytesPerSecond;
  return bytes;
}
