// FilterWriteSpecialData: the host's RIFF tag chunks set as string attributes of the file being
// written. Chunks outside the map are ignored without complaint; the export answers 1 always.
#include "tags/tag_writing.h"

#include <cstring>

#include "common/com_ptr.h"
#include "common/wide_text.h"
#include "encode/writer_session.h"
#include "filter/filter_api.h"
#include "media/text_conversion.h"
#include "tags/info_attribute_map.h"

namespace {

constexpr DWORD kDisplayPrefixBytes = 4;  // the display chunk's 32-bit format code
// SetAttribute's length is 16 bits wide: at most 32766 units and the terminator.
constexpr std::size_t kLongestAttributeText = 32766;

}  // namespace

// Text too long for the length field is cut to what fits, at a character boundary, rather than
// passed with a length that wrapped around.
BOOL SetTagAttribute(OutputContext& context, const WCHAR* name, WCHAR* value) {
  ComPtr<IWMHeaderInfo> header;
  if (FAILED(context.writer->QueryInterface(IID_IWMHeaderInfo, header.put_void()))) return FALSE;
  std::size_t units = WideLength(value);
  if (units > kLongestAttributeText) {
    units = kLongestAttributeText;
    if (IsHighSurrogate(value[units - 1])) --units;
    value[units] = 0;
  }
  const WORD length = static_cast<WORD>(2 * (units + 1));
  return SUCCEEDED(
      header->SetAttribute(0, name, WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(value), length));
}

namespace {

// The chunk's text and where it starts, or null for a chunk that is not carried.
const char* FindChunkText(LPCSTR listType, LPCSTR chunkId, const BYTE* data, DWORD dataSize) {
  if (std::strcmp(listType, "INFO") == 0) return reinterpret_cast<const char*>(data);
  if (std::strcmp(listType, "WAVE") == 0 && std::strcmp(chunkId, kDisplayChunkId) == 0 &&
      dataSize > kDisplayPrefixBytes) {
    return reinterpret_cast<const char*>(data + kDisplayPrefixBytes);
  }
  return nullptr;
}

}  // namespace

LONG WINAPI FilterWriteSpecialData(FilterHandle handle, LPCSTR listType, LPCSTR chunkId,
                                   const BYTE* data, DWORD dataSize) {
  OutputContext* context = AsOutputContext(handle);
  // A null list type, identifier or data names no chunk: ignored as unmapped, never read through.
  if (context == nullptr || listType == nullptr || chunkId == nullptr || data == nullptr) {
    return 1;
  }
  const char* text = FindChunkText(listType, chunkId, data, dataSize);
  if (text == nullptr) return 1;

  // The text ends at its NUL or at the end of the data, whichever comes first: nothing past
  // the chunk's size is read.
  const std::size_t room =
      dataSize - static_cast<std::size_t>(text - reinterpret_cast<const char*>(data));
  const std::size_t length = strnlen(text, room);
  HeapBuffer<char> bounded;
  if (length == room) {
    bounded = HeapBuffer<char>(length + 1);
    if (!bounded) return 1;
    std::memcpy(bounded.get(), text, length);
    bounded[length] = 0;
    text = bounded.get();
  }

  HeapBuffer<WCHAR> wide;
  if (!AnsiToWideText(text, wide)) return 1;
  if (const InfoAttribute* row = FindInfoAttributeByChunkId(chunkId)) {
    SetTagAttribute(*context, row->attributeName, wide.get());
  }
  return 1;
}
