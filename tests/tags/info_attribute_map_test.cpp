// The eight tags the filter carries, and how each side's name finds its row.
#include "tags/info_attribute_map.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Row {
  const char* chunkId;
  std::u16string_view attributeName;
};

constexpr Row kRows[] = {
    {"IART", u"Author"},      {"ICMT", u"Description"}, {"ICOP", u"Copyright"},
    {"ICRD", u"WM/Year"},     {"IGNR", u"WM/Genre"},    {"INAM", u"WM/AlbumTitle"},
    {"ISFT", u"WM/ToolName"}, {"DISP", u"Title"},
};

TEST(InfoAttributeMap, PairsEachChunkWithItsAttributeBothWays) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.chunkId);
    const InfoAttribute* byId = FindInfoAttributeByChunkId(row.chunkId);
    ASSERT_NE(byId, nullptr);
    EXPECT_EQ(std::u16string_view(byId->attributeName), row.attributeName);
    const InfoAttribute* byName =
        FindInfoAttributeByName(std::u16string(row.attributeName).c_str());
    ASSERT_NE(byName, nullptr);
    EXPECT_STREQ(byName->chunkId, row.chunkId);
  }
}

TEST(InfoAttributeMap, ChunkIdentifiersMatchExactly) {
  for (const char* id : {"IARt", "iart", "Disp", "IART ", "IAR", "", "INFO", "TITL"}) {
    EXPECT_EQ(FindInfoAttributeByChunkId(id), nullptr) << '"' << id << '"';
  }
}

TEST(InfoAttributeMap, AttributeNamesMatchWithAsciiLettersCaseBlind) {
  EXPECT_STREQ(FindInfoAttributeByName(u"wm/year")->chunkId, "ICRD");
  EXPECT_STREQ(FindInfoAttributeByName(u"AUTHOR")->chunkId, "IART");
  EXPECT_STREQ(FindInfoAttributeByName(u"tItLe")->chunkId, "DISP");
  // Whole names only, and only A-Z fold: not a dotted capital or a dotless small i.
  for (const char16_t* name :
       {u"Author ", u"Autho", u"Authors", u"", u"T\u0130tle", u"Descr\u0131ption"}) {
    EXPECT_EQ(FindInfoAttributeByName(name), nullptr);
  }
}

}  // namespace
