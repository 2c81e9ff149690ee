// A list type, a chunk identifier, data and its size through FilterWriteSpecialData, on an
// output opened over the runtime double, which records every attribute set. The input is laid
// out as: list type up to its NUL (at most 8 bytes), chunk identifier likewise, a 32-bit
// little-endian size, then the data; the size is taken modulo the data's length plus one, and
// the data is copied into a block of exactly that size, so that the sanitizer sees any read
// past it. Besides not crashing, the export keeps its promises: it answers 1, sets an attribute
// exactly for the chunks the map carries, as the whole text up to its NUL or the size, cut only
// where the attribute's 16-bit length requires, and leaves nothing behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "double/runtime_double.h"
#include "filter/filter_api.h"
#include "fuzz_support.h"
#include "tags/info_attribute_map.h"

namespace {

using fuzz::Require;
using runtime_double::RuntimeDouble;

constexpr std::size_t kLongestText = 32766;  // units that fit SetAttribute's 16-bit length

// The double reports misuse as test failures; here they stop the run like a broken promise.
class StopOnFailure : public testing::EmptyTestEventListener {
  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (!result.failed()) return;
    std::fprintf(stderr, "%s:%d: %s\n", result.file_name() ? result.file_name() : "?",
                 result.line_number(), result.message());
    Require(false, "the runtime double sees no misuse");
  }
};

class InputFields {
 public:
  InputFields(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // Bytes up to a NUL, the end of the input or `longest` bytes; the NUL is consumed.
  std::string Text(std::size_t longest) {
    std::string text;
    while (position_ < size_ && text.size() < longest) {
      const char byte = static_cast<char>(data_[position_++]);
      if (byte == 0) break;
      text.push_back(byte);
    }
    return text;
  }
  DWORD Dword() {
    DWORD value = 0;
    for (unsigned i = 0; i < 4 && position_ < size_; ++i)
      value |= static_cast<DWORD>(data_[position_++]) << (8 * i);
    return value;
  }
  const std::uint8_t* rest() const { return data_ + position_; }
  std::size_t restSize() const { return size_ - position_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Whether the map carries this chunk, and where its text starts.
bool IsCarried(const std::string& listType, const std::string& chunkId, DWORD dataSize,
               std::size_t& textStart) {
  textStart = 0;
  if (FindInfoAttributeByChunkId(chunkId.c_str()) == nullptr) return false;
  if (listType == "INFO") return true;
  textStart = 4;
  return listType == "WAVE" && chunkId == kDisplayChunkId && dataSize > 4;
}

void WriteOneChunk(const std::uint8_t* input, std::size_t size) {
  InputFields fields(input, size);
  const std::string listType = fields.Text(8);
  const std::string chunkId = fields.Text(8);
  const DWORD declared = fields.Dword();
  const auto dataSize = static_cast<DWORD>(declared % (fields.restSize() + 1));
  auto data = std::make_unique<BYTE[]>(dataSize);
  std::memcpy(data.get(), fields.rest(), dataSize);

  RuntimeDouble runtime;
  runtime.codecs = {
      {u"Alpha", {runtime_double::WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16)}, {}}};
  LONG chunkSize = 0;
  const FilterHandle output = OpenFilterOutput("tags.wma", 44100, 16, 2, 0, &chunkSize, 0);
  Require(output != nullptr, "the output opens over the double");
  const LONG result =
      FilterWriteSpecialData(output, listType.c_str(), chunkId.c_str(), data.get(), dataSize);
  Require(result == 1, "FilterWriteSpecialData answers 1");

  std::size_t textStart = 0;
  const bool carried = IsCarried(listType, chunkId, dataSize, textStart);
  const auto& set = runtime.log().attributesSet;
  Require(set.size() == (carried ? 1u : 0u), "exactly the carried chunks set an attribute");
  if (carried) {
    const auto& attribute = set[0];
    const InfoAttribute* row = FindInfoAttributeByChunkId(chunkId.c_str());
    Require(attribute.stream == 0 && attribute.name == row->attributeName,
            "the attribute is the map's, for the whole file");
    Require(
        attribute.value.type == WMT_TYPE_STRING && attribute.value.bytes.size() == attribute.length,
        "the value is text of the length given");
    const std::u16string text = attribute.value.AsText();
    Require(attribute.length == 2 * (text.size() + 1), "the length counts the text and its NUL");
    const std::size_t room = dataSize - textStart;
    const std::size_t stored = strnlen(reinterpret_cast<const char*>(data.get() + textStart), room);
    const bool cut = stored > kLongestText;
    Require(cut ? text.size() == kLongestText : text.size() == stored,
            "the whole text is set, cut only to fit the length field");
  }
  CloseFilterOutput(output);
  Require(runtime.liveObjects() == 0, "every runtime object is released");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool listening = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new StopOnFailure);
    return true;
  }();
  (void)listening;
  const fuzz::PlatformBalance before;
  WriteOneChunk(data, size);
  before.RequireUnchanged();
  return 0;
}
