// Tags as the host receives them from the special-data calls: the record's texts and sizes and
// the bytes of the global block, which the host owns and frees.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "filter/filter_api.h"

struct Tag {
  std::string listType;
  std::string chunkId;
  DWORD dataSize = 0;
  DWORD flag = 0;
  std::vector<BYTE> block;

  bool operator==(const Tag&) const = default;
};

inline void PrintTo(const Tag& tag, std::ostream* out) {
  *out << tag.listType << '/' << tag.chunkId << " size " << tag.dataSize << " flag " << tag.flag
       << " block " << testing::PrintToString(tag.block);
}

// A record whose every byte is 0xAA, so that a field the filter leaves alone shows.
inline SpecialDataItem SentinelItem() {
  SpecialDataItem item;
  std::memset(&item, 0xAA, sizeof(item));
  return item;
}

// Field by field, so that padding between the fields on 64-bit builds does not count.
inline void ExpectSameRecord(const SpecialDataItem& actual, const SpecialDataItem& expected) {
  EXPECT_EQ(actual.dwCursor, expected.dwCursor);
  EXPECT_EQ(actual.hData, expected.hData);
  EXPECT_EQ(actual.dwDataSize, expected.dwDataSize);
  EXPECT_EQ(actual.dwFlag, expected.dwFlag);
  EXPECT_EQ(std::memcmp(actual.szListType, expected.szListType, sizeof(actual.szListType)), 0);
  EXPECT_EQ(std::memcmp(actual.szChunkId, expected.szChunkId, sizeof(actual.szChunkId)), 0);
}

// "INFO" rows: the text, its NUL and one more zero byte.
inline Tag InfoTag(const char* chunkId, std::string_view text) {
  std::vector<BYTE> block(text.begin(), text.end());
  block.insert(block.end(), {0, 0});
  return {"INFO", chunkId, static_cast<DWORD>(text.size() + 1), 1, block};
}

// The display chunk: the 32-bit format code 1 ahead of the text.
inline Tag DisplayTag(std::string_view text) {
  std::vector<BYTE> block = {1, 0, 0, 0};
  block.insert(block.end(), text.begin(), text.end());
  block.insert(block.end(), {0, 0});
  return {"WAVE", "DISP", static_cast<DWORD>(text.size() + 5), 1, block};
}

// Takes the item's block as the host does: it must be movable and no longer locked. Its bytes
// are kept and the block is freed.
inline Tag TakeTag(SpecialDataItem& item) {
  Tag tag{std::string(item.szListType, strnlen(item.szListType, sizeof(item.szListType))),
          std::string(item.szChunkId, strnlen(item.szChunkId, sizeof(item.szChunkId))),
          item.dwDataSize,
          item.dwFlag,
          {}};
  auto* bytes = static_cast<BYTE*>(GlobalLock(item.hData));
  if (bytes == nullptr) {
    ADD_FAILURE() << "no block to take";
    return tag;
  }
  EXPECT_NE(static_cast<void*>(bytes), static_cast<void*>(item.hData)) << "a fixed block";
  tag.block.assign(bytes, bytes + GlobalSize(item.hData));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GlobalUnlock(item.hData));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR)) << "the block was left locked";
  GlobalFree(item.hData);
  item.hData = nullptr;
  return tag;
}
