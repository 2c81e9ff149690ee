// FilterGetFirstSpecialData and FilterGetNextSpecialData: the file's mapped header attributes
// handed to the host one at a time as RIFF chunks. The enumeration's only state is the cursor
// in the host's record, so two records enumerate one file independently.
#include <algorithm>
#include <cstring>
#include <limits>

#include "common/com_ptr.h"
#include "decode/reader_session.h"
#include "filter/filter_api.h"
#include "media/heap_memory.h"
#include "media/text_conversion.h"
#include "tags/info_attribute_map.h"

namespace {

constexpr DWORD kLastAttributeIndex = 0xFFFF;  // attribute indices are 16 bits wide
constexpr BYTE kDisplayTextFormat = 1;
constexpr DWORD kValuePadding = 2 * sizeof(WCHAR);

// One header attribute of the file (stream 0), its name and value fetched by the two-call
// protocol. Each buffer has zeroes of its own beyond the length the runtime reports, so a name
// or value that the runtime did not terminate, or a value of an odd length, still ends there.
// Name and value end at the lengths the second call reports, which may be shorter than the
// first's.
struct HeaderAttribute {
  HeapBuffer<WCHAR> name;
  HeapBuffer<BYTE> value;
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
};

enum class Fetch { kFetched, kSkipped, kNoSuchAttribute };

Fetch FetchAttribute(IWMHeaderInfo3* header, WORD index, HeaderAttribute& attribute) {
  WORD nameUnits = 0;
  WORD language = 0;
  DWORD valueBytes = 0;
  if (FAILED(header->GetAttributeByIndexEx(0, index, nullptr, &nameUnits, &attribute.type,
                                           &language, nullptr, &valueBytes))) {
    return Fetch::kNoSuchAttribute;
  }
  // The padded size must fit in 32 bits: on the 32-bit build the sum would wrap and put the
  // padding just before a tiny block.
  if (valueBytes > std::numeric_limits<DWORD>::max() - kValuePadding) return Fetch::kSkipped;
  const DWORD valueCapacity = valueBytes;
  const WORD nameCapacity = nameUnits;
  attribute.name = AllocateWideText(nameCapacity);
  attribute.value = HeapBuffer<BYTE>(valueCapacity + kValuePadding);
  if (!attribute.name || !attribute.value) return Fetch::kSkipped;
  if (FAILED(header->GetAttributeByIndexEx(0, index, attribute.name.get(), &nameUnits,
                                           &attribute.type, &language, attribute.value.get(),
                                           &valueBytes))) {
    return Fetch::kSkipped;
  }
  // Bytes past the second length were never written, so the value ends there; a runtime that
  // claims more than the buffer holds is believed only as far as the buffer goes.
  EndWideText(attribute.name, nameCapacity, nameUnits);
  std::memset(attribute.value.get() + std::min(valueBytes, valueCapacity), 0, kValuePadding);
  return Fetch::kFetched;
}

// Hands one tag to the host: a movable, zero-initialised global block that the host owns from
// then on. "INFO" rows hold the text, its NUL and one more zero byte; the display chunk has the
// 32-bit format code 1 ahead of its text and goes under "WAVE".
bool HandOver(const InfoAttribute& row, const char* text, SpecialDataItem& item) {
  const bool display = std::strcmp(row.chunkId, kDisplayChunkId) == 0;
  const std::size_t textBytes = std::strlen(text) + 1;
  const std::size_t prefix = display ? 4 : 0;
  const std::size_t blockSize = prefix + textBytes + 1;

  item.hData = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockSize);
  if (item.hData == nullptr) return false;
  auto* block = static_cast<BYTE*>(GlobalLock(item.hData));
  if (block == nullptr) {
    // A block that cannot be locked cannot be filled; it is not handed over half made.
    GlobalFree(item.hData);
    item.hData = nullptr;
    return false;
  }
  item.dwDataSize = static_cast<DWORD>(blockSize - 1);
  item.dwFlag = 1;
  if (display) block[0] = kDisplayTextFormat;
  std::memcpy(block + prefix, text, textBytes);
  std::memcpy(item.szListType, display ? "WAVE" : "INFO", 5);
  std::memcpy(item.szChunkId, row.chunkId, 5);
  GlobalUnlock(item.hData);
  return true;
}

// Examines attributes from the record's cursor on until one becomes an item or none is left.
LONG FindNextTag(InputContext& context, SpecialDataItem& item) {
  ComPtr<IWMHeaderInfo3> header;
  if (FAILED(context.reader->QueryInterface(IID_IWMHeaderInfo3, header.put_void()))) return 0;

  for (DWORD index = item.dwCursor; index <= kLastAttributeIndex; item.dwCursor = ++index) {
    HeaderAttribute attribute;
    const Fetch fetched = FetchAttribute(header.get(), static_cast<WORD>(index), attribute);
    if (fetched == Fetch::kNoSuchAttribute) return 0;
    if (fetched == Fetch::kSkipped) continue;

    const InfoAttribute* row = FindInfoAttributeByName(attribute.name.get());
    // Only text is carried: a mapped attribute of another type would reach the host as noise.
    if (row == nullptr || attribute.type != WMT_TYPE_STRING) continue;
    HeapBuffer<char> text;
    if (!WideToAnsiText(reinterpret_cast<const WCHAR*>(attribute.value.get()), text)) continue;
    if (HandOver(*row, text.get(), item)) {
      item.dwCursor = index + 1;
      return 1;
    }
  }
  return 0;
}

}  // namespace

LONG WINAPI FilterGetFirstSpecialData(FilterHandle handle, SpecialDataItem* item) {
  InputContext* context = AsInputContext(handle);
  if (context == nullptr) return 0;
  item->dwCursor = 0;
  return FindNextTag(*context, *item);
}

LONG WINAPI FilterGetNextSpecialData(FilterHandle handle, SpecialDataItem* item) {
  InputContext* context = AsInputContext(handle);
  if (context == nullptr) return 0;
  return FindNextTag(*context, *item);
}
