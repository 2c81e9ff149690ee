#include <gtest/gtest.h>

#include <cstring>

#include "decode/input_context.h"
#include "encode/output_context.h"
#include "filter/filter_api.h"

namespace {

struct Field16 {
  std::size_t offset;
  WORD value;
};

// Every 16-bit field from offset 104 to 130 and the value the record must carry there.
constexpr Field16 kFormatFields[] = {
    {104, 0},      {106, 0},      {108, 0}, {110, 0x00FF}, {112, 0}, {114, 0x00FF}, {116, 0},
    {118, 0x00FF}, {120, 0x00FF}, {122, 0}, {124, 0x00FF}, {126, 0}, {128, 0x00FF}, {130, 0},
};

WORD Read16(const BYTE* bytes, std::size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8;
}
DWORD Read32(const BYTE* bytes, std::size_t offset) {
  return Read16(bytes, offset) | static_cast<DWORD>(Read16(bytes, offset + 2)) << 16;
}

TEST(QueryVivaFilter, FillsTheRecordAndZeroesEverythingElse) {
  BYTE bytes[sizeof(FilterQueryRecord)];
  std::memset(bytes, 0xAA, sizeof(bytes));
  EXPECT_EQ(QueryVivaFilter(reinterpret_cast<FilterQueryRecord*>(bytes)), 1154);

  BYTE expected[sizeof(FilterQueryRecord)] = {};
  std::memcpy(expected, "Windows Media Audio", 20);
  constexpr char kNotice[] =
      "Windows Media Audio - Windows Media is a trademark of Microsoft Corp.";
  static_assert(sizeof(kNotice) <= 80);
  std::memcpy(expected + 24, kNotice, sizeof(kNotice));
  for (const auto& [offset, value] : kFormatFields) {
    expected[offset] = value & 0xFF;
    expected[offset + 1] = value >> 8;
  }
  std::memcpy(expected + 132, "\x57\x09\x00\x00", 4);
  std::memcpy(expected + 136, "wma", 4);
  std::memcpy(expected + 140, "\x00\x00\x01\x00", 4);

  for (std::size_t i = 0; i < sizeof(bytes); ++i)
    EXPECT_EQ(bytes[i], expected[i]) << "offset " << i;
  EXPECT_EQ(Read32(bytes, 132), 0x957u);
  EXPECT_EQ(Read32(bytes, 140), 65536u);
}

TEST(GetSuggestedSampleType, WritesZeroesToItsTargetsOnly) {
  struct {
    BYTE before[4];
    LONG rate;
    WORD bits;
    WORD channels;
    BYTE after[4];
  } targets;
  std::memset(&targets, 0xAA, sizeof(targets));
  GetSuggestedSampleType(&targets.rate, &targets.bits, &targets.channels);
  EXPECT_EQ(targets.rate, 0);
  EXPECT_EQ(targets.bits, 0);
  EXPECT_EQ(targets.channels, 0);
  for (BYTE byte : targets.before) EXPECT_EQ(byte, 0xAA);
  for (BYTE byte : targets.after) EXPECT_EQ(byte, 0xAA);
}

TEST(FilterOptions, ReadsTheWordOfEitherKindOfHandle) {
  EXPECT_EQ(FilterOptions(nullptr), 0u);

  InputContext input = {};
  EXPECT_EQ(FilterOptions(reinterpret_cast<FilterHandle>(&input)), 0u);

  OutputContext output = {};
  output.options = 0x80010003;
  EXPECT_EQ(FilterOptions(reinterpret_cast<FilterHandle>(&output)), 0x80010003u);
}

}  // namespace
