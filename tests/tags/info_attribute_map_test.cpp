// How each side's name finds its row of the tag map. Every row is carried both ways by the
// special-data tests; these are the near misses.
#include "tags/info_attribute_map.h"

#include <gtest/gtest.h>

namespace {

TEST(InfoAttributeMap, ChunkIdentifiersMatchExactly) {
  EXPECT_STREQ(FindInfoAttributeByChunkId("ICRD")->chunkId, "ICRD");
  for (const char* id : {"IcRD", "icrd", "Disp", "ICRD ", "ICR", "", "INFO"}) {
    EXPECT_EQ(FindInfoAttributeByChunkId(id), nullptr) << '"' << id << '"';
  }
}

TEST(InfoAttributeMap, AttributeNamesMatchWithOnlyAsciiLettersCaseBlind) {
  EXPECT_STREQ(FindInfoAttributeByName(u"wm/year")->chunkId, "ICRD");
  EXPECT_STREQ(FindInfoAttributeByName(u"tItLe")->chunkId, "DISP");
  // Not a dotted capital I, not a dotless small i, not a part or more of a name.
  for (const char16_t* name :
       {u"T\u0130tle", u"Descr\u0131ption", u"Author ", u"Autho", u"Authors", u""}) {
    EXPECT_EQ(FindInfoAttributeByName(name), nullptr);
  }
}

}  // namespace
