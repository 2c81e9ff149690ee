// FilterGetFileSize and FilterOptionsString: what the host learns about an open input file
// from its header, without decoding it. Both borrow the context's reader to reach the header.
#include <algorithm>
#include <cstring>
#include <limits>

#include "common/com_ptr.h"
#include "common/wide_text.h"
#include "decode/reader_session.h"
#include "filter/filter_api.h"
#include "media/heap_memory.h"

namespace {

constexpr QWORD kUnitsPerTenth = 1000000;  // 100-nanosecond units in a tenth of a second
constexpr DWORD kCodecTextBytes = 128;
constexpr DWORD kCodecNameBytes = 64;

// The file's duration in whole tenths of a second plus one, so that the estimate is never
// below the exact size; 0 when "Duration" cannot be read.
QWORD ReadDurationTenths(IWMSyncReader* reader) {
  ComPtr<IWMHeaderInfo3> header;
  if (FAILED(reader->QueryInterface(IID_IWMHeaderInfo3, header.put_void()))) return 0;

  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
  if (FAILED(header->GetAttributeByName(&stream, WSTR("Duration"), &type, nullptr, &length)) ||
      length == 0) {
    return 0;
  }
  const WORD allocated = length;
  HeapBuffer<BYTE> value(allocated);
  if (!value ||
      FAILED(header->GetAttributeByName(&stream, WSTR("Duration"), &type, value.get(), &length))) {
    return 0;
  }
  // A value shorter than a QWORD is no duration. Both the block and the length the runtime
  // reports bound the read, so a runtime that claims more than it was given is not believed.
  if (allocated < sizeof(QWORD) || length < sizeof(QWORD)) return 0;
  QWORD duration = 0;
  std::memcpy(&duration, value.get(), sizeof(duration));
  return duration / kUnitsPerTenth + 1;
}

// Converts text into target, which has room for capacity bytes with the terminator. A text
// that does not fit is shortened to the longest whole-character prefix that does.
void ConvertBounded(const WCHAR* text, char* target, DWORD capacity) {
  target[0] = 0;
  if (capacity == 0) return;
  int units = static_cast<int>(std::min<std::size_t>(WideLength(text), capacity - 1));
  while (units > 0) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes > 0 && bytes < static_cast<int>(capacity) && !IsHighSurrogate(text[units - 1])) {
      break;
    }
    --units;
  }
  const int written = units == 0
                          ? 0
                          : WideCharToMultiByte(CP_ACP, 0, text, units, target,
                                                static_cast<int>(capacity) - 1, nullptr, nullptr);
  target[written] = 0;
}

}  // namespace

ULONGLONG WINAPI FilterGetFileSize(FilterHandle handle) {
  const InputContext* context = AsInputContext(handle);
  if (context == nullptr) return 0;  // no reader to ask: 0, as for a duration that cannot be read
  const QWORD tenths = ReadDurationTenths(context->reader);
  const QWORD rate = static_cast<QWORD>(static_cast<LONGLONG>(context->sampleRate));
  const QWORD bytesPerSample = context->bitsPerSample / 8;
  // At most 2^32 Hz times 2^16 channels times 4 bytes: 50 bits, no wrap.
  const QWORD bytesPerSecond = rate * context->channels * bytesPerSample;
  // A duration whose estimate does not fit 64 bits (a hostile header) gives no estimate, as
  // one that cannot be read, rather than a wrapped product.
  if (bytesPerSecond != 0 && tenths > std::numeric_limits<QWORD>::max() / bytesPerSecond) return 0;
  return tenths * bytesPerSecond / 10;
}

LONG WINAPI FilterOptionsString(FilterHandle handle, LPSTR text) {
  const InputContext* context = AsInputContext(handle);
  // Without a buffer there is nowhere to report to, as without a handle.
  if (context == nullptr || text == nullptr) return 0;
  ComPtr<IWMHeaderInfo3> header;
  if (FAILED(context->reader->QueryInterface(IID_IWMHeaderInfo3, header.put_void()))) return 0;

  WORD nameUnits = 0;
  WORD descriptionUnits = 0;
  WORD infoBytes = 0;
  WMT_CODEC_INFO_TYPE codecType = WMT_CODECINFO_UNKNOWN;
  if (FAILED(header->GetCodecInfo(0, &nameUnits, nullptr, &descriptionUnits, nullptr, &codecType,
                                  &infoBytes, nullptr))) {
    return 0;
  }
  const WORD nameCapacity = nameUnits;
  const WORD descriptionCapacity = descriptionUnits;
  HeapBuffer<WCHAR> name = AllocateWideText(nameCapacity);
  HeapBuffer<WCHAR> description = AllocateWideText(descriptionCapacity);
  HeapBuffer<BYTE> info(infoBytes);
  if (!name || !description || !info) return 0;
  if (FAILED(header->GetCodecInfo(0, &nameUnits, name.get(), &descriptionUnits, description.get(),
                                  &codecType, &infoBytes, info.get()))) {
    return 0;
  }
  EndWideText(name, nameCapacity, nameUnits);
  EndWideText(description, descriptionCapacity, descriptionUnits);

  // "<name>\n<description up to its first comma>", within 128 bytes with the terminator.
  ConvertBounded(name.get(), text, kCodecNameBytes);
  std::size_t length = std::strlen(text);
  text[length++] = '\n';
  text[length] = 0;
  for (WCHAR* unit = description.get(); *unit != 0; ++unit) {
    if (*unit == u',') {
      *unit = 0;
      break;
    }
  }
  ConvertBounded(description.get(), text + length, kCodecTextBytes - static_cast<DWORD>(length));
  return 0;
}
