// ReadFilterInput: decoded audio from the reader's sample buffers into the host's buffer.
// The context's sample fields carry the position between calls, so a request may end anywhere
// inside a buffer and the next continues from that byte. Bytes pass straight from the reader's
// buffer into the host's: 8- and 16-bit audio copied, 24-bit audio widened to floats.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/com_ptr.h"
#include "decode/reader_session.h"
#include "filter/filter_api.h"
#ifdef _WIN32
#include <nserror.h>
#endif

namespace {

constexpr DWORD kPackedSampleBytes = 3;
constexpr DWORD kFloatBytes = 4;

// Releases the used-up buffer and asks the reader for the next one. Returns false when the
// reader has none (end of file, or a failure; the count the host gets ends short either way).
// Why it ended is left as the thread's last error: ERROR_SUCCESS at the end of the stream, the
// reader's HRESULT for a failure, so that a host that looks can tell a failed read from the end.
bool FetchNextSample(InputContext& context) {
  if (context.sample != nullptr) {
    context.sample->Release();
    context.sample = nullptr;
  }
  context.sampleData = nullptr;
  context.sampleLength = 0;
  context.readPos = 0;

  for (;;) {
    // Owned from the call on: a sample handed out together with a failure is given back too.
    // A success that hands out no sample ends the reading as a failure does, never read through.
    ComPtr<INSSBuffer> sample;
    QWORD time = 0;
    QWORD duration = 0;
    DWORD flags = 0;
    DWORD output = 0;
    const HRESULT fetched =
        context.reader->GetNextSample(0, sample.put(), &time, &duration, &flags, &output, nullptr);
    if (FAILED(fetched) || !sample) {
      // A success with no sample breaks the reader's contract: a failure, not a clean end.
      const HRESULT cause = SUCCEEDED(fetched) ? E_UNEXPECTED : fetched;
      SetLastError(cause == NS_E_NO_MORE_SAMPLES ? ERROR_SUCCESS : static_cast<DWORD>(cause));
      return false;
    }
    // Only output 0 is the audio the host opened; the samples of other outputs of a file with
    // several streams are passed over rather than mixed into it.
    if (output == 0) {
      context.sample = sample.detach();
      break;
    }
  }

  // A buffer that cannot be read counts as empty, and the next pass fetches the one after it.
  BYTE* data = nullptr;
  DWORD length = 0;
  if (SUCCEEDED(context.sample->GetBufferAndLength(&data, &length)) && data != nullptr) {
    context.sampleData = data;
    context.sampleLength = length;
  }
  return true;
}

DWORD CopyBytes(InputContext& context, BYTE* target, DWORD room) {
  const DWORD count = std::min(room, context.sampleLength - context.readPos);
  std::memcpy(target, context.sampleData + context.readPos, count);
  context.readPos += count;
  return count;
}

// A packed 24-bit sample, placed in the top three bytes of a 32-bit word, on the host's 16-bit
// scale. Both steps are exact: a 24-bit integer fits a float's significand, and the division
// is by a power of two.
float HostFloat(std::uint32_t shifted) {
  return static_cast<float>(static_cast<std::int32_t>(shifted)) * (1.0f / 65536.0f);
}

std::uint32_t LoadWord(const BYTE* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof(word));
  return word;
}

void StoreFloat(BYTE* target, float value) { std::memcpy(target, &value, sizeof(value)); }

// Packed 24-bit little-endian samples to floats on the 16-bit scale (full scale -32768.0 to
// 32767.99609375). Only whole samples are read: a partial sample at the end of a buffer is
// passed over, never read beyond the buffer's length.
DWORD ConvertToFloats(InputContext& context, BYTE* target, DWORD room) {
  const BYTE* source = context.sampleData + context.readPos;
  const DWORD available = (context.sampleLength - context.readPos) / kPackedSampleBytes;
  if (available == 0) {
    context.readPos = context.sampleLength;
    return 0;
  }
  const std::size_t count = std::min(room / kFloatBytes, available);
  // Four samples at a time from the three little-endian words that hold them, so the work is
  // word shifts and one vector conversion rather than byte loads.
  const std::size_t groups = count / 4;
  for (std::size_t g = 0; g < groups; ++g) {
    const BYTE* packed = source + 12 * g;
    const std::uint32_t w0 = LoadWord(packed);
    const std::uint32_t w1 = LoadWord(packed + 4);
    const std::uint32_t w2 = LoadWord(packed + 8);
    BYTE* floats = target + 16 * g;
    StoreFloat(floats, HostFloat(w0 << 8));
    StoreFloat(floats + 4, HostFloat((w0 >> 16 & 0xFF00u) | w1 << 16));
    StoreFloat(floats + 8, HostFloat((w1 >> 8 & 0xFFFF00u) | w2 << 24));
    StoreFloat(floats + 12, HostFloat(w2 & 0xFFFFFF00u));
  }
  for (std::size_t i = 4 * groups; i < count; ++i) {
    const BYTE* packed = source + i * kPackedSampleBytes;
    StoreFloat(target + i * kFloatBytes, HostFloat(static_cast<std::uint32_t>(packed[0]) << 8 |
                                                   static_cast<std::uint32_t>(packed[1]) << 16 |
                                                   static_cast<std::uint32_t>(packed[2]) << 24));
  }
  context.readPos += static_cast<DWORD>(count) * kPackedSampleBytes;
  return static_cast<DWORD>(count) * kFloatBytes;
}

}  // namespace

LONG WINAPI ReadFilterInput(FilterHandle handle, BYTE* buffer, LONG bytesWanted) {
  InputContext* context = AsInputContext(handle);
  // A null buffer has no room, whatever the count says: nothing is delivered, as for a null
  // handle.
  if (context == nullptr || buffer == nullptr || bytesWanted <= 0) return 0;

  const bool floats = context->bitsPerSample == 32;
  // Floats are delivered whole, so a count that is not a multiple of 4 gets its whole floats
  // only and nothing is written past it.
  const DWORD wanted = floats ? static_cast<DWORD>(bytesWanted) & ~(kFloatBytes - 1)
                              : static_cast<DWORD>(bytesWanted);
  DWORD done = 0;
  while (done < wanted) {
    // A request that ends exactly at the end of a buffer keeps it; the next call fetches on.
    if (context->readPos >= context->sampleLength) {
      if (!FetchNextSample(*context)) break;
      continue;
    }
    done += floats ? ConvertToFloats(*context, buffer + done, wanted - done)
                   : CopyBytes(*context, buffer + done, wanted - done);
  }
  return static_cast<LONG>(done);
}
