#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "runtime/runtime_test_support.h"
#include "support/made_asf_files.h"

namespace {

using namespace runtime_testing;

struct Attribute {
  std::u16string name;
  WMT_ATTR_DATATYPE type;
  WORD language;
  Bytes value;
};

// Every file-level attribute through the two-call size protocol, in the reader's order.
std::vector<Attribute> ReadAttributes(IWMHeaderInfo3* info) {
  std::vector<Attribute> attributes;
  WORD count = 0;
  EXPECT_EQ(info->GetAttributeCountEx(0, &count), S_OK);
  for (WORD i = 0;; ++i) {
    WORD nameLength = 0;
    DWORD valueLength = 0;
    WMT_ATTR_DATATYPE type{};
    WORD language = 0;
    if (FAILED(info->GetAttributeByIndexEx(0, i, nullptr, &nameLength, &type, &language, nullptr,
                                           &valueLength)))
      break;
    std::u16string name(nameLength, u'\0');
    Bytes value(valueLength);
    EXPECT_EQ(info->GetAttributeByIndexEx(0, i, name.data(), &nameLength, &type, &language,
                                          value.data(), &valueLength),
              S_OK);
    name.resize(nameLength - 1);
    attributes.push_back({name, type, language, value});
  }
  EXPECT_EQ(attributes.size(), count);
  return attributes;
}

std::u16string Text(const Bytes& value) {
  std::u16string text(value.size() / 2, u'\0');
  std::memcpy(text.data(), value.data(), text.size() * 2);
  if (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

ComPtr<IWMHeaderInfo3> HeaderOf(IWMSyncReader* reader) {
  ComPtr<IWMHeaderInfo3> info;
  EXPECT_EQ(reader->QueryInterface(IID_IWMHeaderInfo3, info.put_void()), S_OK);
  return info;
}

// The attributes of a real file, with their names, types and values as the file stores them.
TEST_F(RuntimeTest, ReaderListsTheFilesOwnAttributes) {
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(TestFile("mutagen-issue_29.wma"), reader), S_OK);
  const auto attributes = ReadAttributes(HeaderOf(reader.get()).get());
  std::map<std::u16string, const Attribute*> byName;
  for (const auto& a : attributes) byName.emplace(a.name, &a);

  ASSERT_TRUE(byName.count(u"Title"));
  EXPECT_EQ(Text(byName[u"Title"]->value), u"Se\u00f1or Flamingos Adieu");
  EXPECT_EQ(byName[u"Title"]->type, WMT_TYPE_STRING);
  EXPECT_EQ(byName[u"Title"]->value.size() % 2, 0u);
  EXPECT_EQ(byName[u"Title"]->value.back(), 0);  // strings come with their terminator
  EXPECT_EQ(Text(byName[u"Author"]->value), u"Kaizers Orchestra");
  EXPECT_EQ(Text(byName[u"WM/AlbumTitle"]->value), u"Live at Vega");
  EXPECT_EQ(Text(byName[u"WM/Year"]->value), u"2006");
  EXPECT_EQ(byName[u"IsVBR"]->type, WMT_TYPE_BOOL);
  EXPECT_EQ(byName[u"IsVBR"]->value, (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(byName[u"WM/Track"]->type, WMT_TYPE_DWORD);
  EXPECT_EQ(byName[u"WM/Track"]->value, (Bytes{5, 0, 0, 0}));
  ASSERT_TRUE(byName.count(u"Duration"));
  EXPECT_EQ(byName[u"Duration"]->type, WMT_TYPE_QWORD);
  EXPECT_EQ(byName[u"Duration"]->value.size(), 8u);

  // File order: this file stores its extended content description before its content
  // description, and the attributes follow.
  const auto position = [&](const char16_t* name) {
    return std::find_if(attributes.begin(), attributes.end(),
                        [&](const Attribute& a) { return a.name == name; }) -
           attributes.begin();
  };
  EXPECT_LT(position(u"WM/AlbumTitle"), position(u"Title"));
  EXPECT_LT(position(u"WM/PartOfSet"), position(u"WM/TrackNumber"));
}

// A cover picture is the binary attribute "WM/Picture", its bytes as the file stores them.
TEST_F(RuntimeTest, ACoverPictureIsABinaryAttribute) {
  ScratchDirectory scratch;
  WriteFile(scratch / "cover.wma",
            test_support::WithChangedHeader(ReadFile(TestFile("taglib-silence-1.wma")),
                                            test_support::AddCoverPictureFirst));
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(scratch / "cover.wma", reader), S_OK);
  const auto attributes = ReadAttributes(HeaderOf(reader.get()).get());
  const auto cover = std::find_if(attributes.begin(), attributes.end(),
                                  [](const Attribute& a) { return a.name == u"WM/Picture"; });
  ASSERT_NE(cover, attributes.end());
  EXPECT_EQ(cover->type, WMT_TYPE_BINARY);
  EXPECT_EQ(cover->value, test_support::CoverPictureValue());
}

// "Duration" is the play duration less the preroll, in 100 ns units; a preroll longer than the
// play duration, however large, leaves 0, never a wrapped product.
TEST_F(RuntimeTest, DurationComesFromTheFileProperties) {
  ScratchDirectory scratch;
  // 1844674407370956 ms times 10000 wraps around 64 bits to 8384 units.
  WriteFile(scratch / "huge-preroll.wma",
            test_support::WithChangedHeader(
                ReadFile(TestFile("taglib-silence-1.wma")), [](wmvcore::asf::Header& header) {
                  header.Find<wmvcore::asf::FileProperties>()->prerollMs = 1844674407370956;
                }));
  struct Row {
    std::filesystem::path path;
    QWORD expected;
    double tolerance;
  };
  for (const Row& row : {Row{TestFile("taglib-silence-1.wma"), 37100000, 100000.0},
                         Row{TestFile("taglib-real_example.wma"), 965020000, 100000.0},
                         Row{scratch / "huge-preroll.wma", 0, 0.0}}) {
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(row.path, reader), S_OK) << row.path;
    auto info = HeaderOf(reader.get());
    WORD stream = 0;
    WORD length = 0;
    WMT_ATTR_DATATYPE type{};
    ASSERT_EQ(info->GetAttributeByName(&stream, u"Duration", &type, nullptr, &length), S_OK);
    ASSERT_EQ(length, 8);
    QWORD duration = 0;
    ASSERT_EQ(info->GetAttributeByName(&stream, u"Duration", &type,
                                       reinterpret_cast<BYTE*>(&duration), &length),
              S_OK);
    EXPECT_EQ(type, WMT_TYPE_QWORD);
    EXPECT_NEAR(static_cast<double>(duration), static_cast<double>(row.expected), row.tolerance)
        << row.path;
  }
}

// A stream's bit rate is its format's bytes a second times 8, held at the most a DWORD holds
// when a hostile header's product would wrap.
TEST_F(RuntimeTest, AStreamsBitRateDoesNotWrap) {
  ScratchDirectory scratch;
  WriteFile(scratch / "fast.wma",
            test_support::WithChangedHeader(
                ReadFile(TestFile("taglib-silence-1.wma")), [](wmvcore::asf::Header& header) {
                  auto& format = header.Find<wmvcore::asf::StreamProperties>()->typeSpecific;
                  // nAvgBytesPerSec, whose product with 8 is 8 once wrapped to 32 bits.
                  const BYTE bytesPerSecond[4] = {0x01, 0x00, 0x00, 0x20};
                  std::memcpy(format.data() + 8, bytesPerSecond, sizeof(bytesPerSecond));
                }));
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(scratch / "fast.wma", reader), S_OK);
  ComPtr<IWMProfile> profile;
  ASSERT_EQ(reader.query_to(IID_IWMProfile, profile), S_OK);
  ComPtr<IWMStreamConfig> config;
  ASSERT_EQ(profile->GetStream(0, config.put()), S_OK);
  DWORD bitrate = 0;
  ASSERT_EQ(config->GetBitrate(&bitrate), S_OK);
  EXPECT_EQ(bitrate, 0xFFFFFFFFu);
}

// The size protocol: no buffer gives the size, one unit short gives "buffer too small" and
// the size, and a failing call leaves the other outputs alone.
TEST_F(RuntimeTest, AttributeSizeProtocol) {
  ComPtr<IWMSyncReader> reader;
  ASSERT_EQ(OpenReader(TestFile("mutagen-issue_29.wma"), reader), S_OK);
  auto info = HeaderOf(reader.get());
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_GUID;
  ASSERT_EQ(info->GetAttributeByName(&stream, u"Title", &type, nullptr, &length), S_OK);
  EXPECT_EQ(length, 2 * (21 + 1));
  Bytes value(length);
  WORD shortLength = length - 1;
  type = WMT_TYPE_GUID;
  EXPECT_EQ(info->GetAttributeByName(&stream, u"Title", &type, value.data(), &shortLength),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(shortLength, length);
  EXPECT_EQ(type, WMT_TYPE_GUID);
  EXPECT_EQ(info->GetAttributeByName(&stream, u"NoSuchName", &type, nullptr, &length),
            ASF_E_NOTFOUND);

  WORD nameLength = 0xbeef;
  DWORD valueLength = 0xdeadbeef;
  EXPECT_EQ(info->GetAttributeByIndexEx(0, 9999, nullptr, &nameLength, &type, nullptr, nullptr,
                                        &valueLength),
            E_INVALIDARG);
  EXPECT_EQ(nameLength, 0xbeef);
  EXPECT_EQ(valueLength, 0xdeadbeefu);

  // The reader's header is read-only.
  const WCHAR text[] = u"x";
  EXPECT_EQ(info->SetAttribute(0, u"Title", WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(text),
                               sizeof(text)),
            NS_E_INVALID_REQUEST);
}

// An attribute's index counts within its stream and follows every addition and deletion, also
// after the attributes were read by index (the reader keeps the positions it found).
TEST_F(RuntimeTest, AttributeIndicesFollowEveryChange) {
  ComPtr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(nullptr, writer.put()), S_OK);
  ComPtr<IWMHeaderInfo3> info;
  ASSERT_EQ(writer.query_to(IID_IWMHeaderInfo3, info), S_OK);
  auto nameAt = [&](WORD stream, WORD index) {
    WCHAR name[16] = {};
    WORD nameLength = 16;
    DWORD valueLength = 0;
    if (FAILED(info->GetAttributeByIndexEx(stream, index, name, &nameLength, nullptr, nullptr,
                                           nullptr, &valueLength)))
      return std::u16string(u"(none)");
    return std::u16string(name);
  };
  const BYTE value[4] = {1, 0, 0, 0};
  WORD index = 0;
  ASSERT_EQ(info->AddAttribute(0, u"A", &index, WMT_TYPE_DWORD, 0, value, 4), S_OK);
  ASSERT_EQ(info->AddAttribute(1, u"B", &index, WMT_TYPE_DWORD, 0, value, 4), S_OK);
  ASSERT_EQ(info->AddAttribute(0, u"C", &index, WMT_TYPE_DWORD, 0, value, 4), S_OK);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(nameAt(0, 1), u"C");
  EXPECT_EQ(nameAt(1, 0), u"B");

  ASSERT_EQ(info->SetAttribute(0, u"D", WMT_TYPE_DWORD, value, 4), S_OK);
  EXPECT_EQ(nameAt(0, 2), u"D");
  ASSERT_EQ(info->DeleteAttribute(0, 0), S_OK);
  EXPECT_EQ(nameAt(0, 0), u"C");
  EXPECT_EQ(nameAt(0, 1), u"D");
  EXPECT_EQ(nameAt(0, 2), u"(none)");
  EXPECT_EQ(nameAt(1, 0), u"B");
  ASSERT_EQ(info->DeleteAttribute(1, 0), S_OK);
  EXPECT_EQ(nameAt(1, 0), u"(none)");
  EXPECT_EQ(nameAt(0, 1), u"D");
}

// The codec list as the file stores it, through the same protocol.
TEST_F(RuntimeTest, CodecListComesFromTheFile) {
  struct Expected {
    const char* file;
    const char16_t* name;
    const char16_t* description;
  };
  for (const Expected& e :
       {Expected{"mutagen-issue_29.wma", u"Windows Media Audio 9.1",
                 u"128 kbps, 44 kHz, stereo 1-pass CBR"},
        Expected{"taglib-silence-1.wma", u"Windows Media Audio 9.1",
                 u" 64 kbps, 48 kHz, stereo 2-pass CBR"},
        Expected{"mutagen-silence-2.wma", u"Windows Media Audio 9.1 Professional",
                 u"192 kbps, 44 kHz, 2 channel 24 bit 2-pass VBR"}}) {
    ComPtr<IWMSyncReader> reader;
    ASSERT_EQ(OpenReader(TestFile(e.file), reader), S_OK);
    auto info = HeaderOf(reader.get());
    DWORD count = 0;
    ASSERT_EQ(info->GetCodecInfoCount(&count), S_OK);
    ASSERT_GE(count, 1u);
    WORD nameLength = 0, descriptionLength = 0, infoLength = 0;
    ASSERT_EQ(info->GetCodecInfo(0, &nameLength, nullptr, &descriptionLength, nullptr, nullptr,
                                 &infoLength, nullptr),
              S_OK);
    std::u16string name(nameLength, u'\0'), description(descriptionLength, u'\0');
    Bytes codecInfo(infoLength);
    WMT_CODEC_INFO_TYPE codecType{};
    ASSERT_EQ(info->GetCodecInfo(0, &nameLength, name.data(), &descriptionLength,
                                 description.data(), &codecType, &infoLength, codecInfo.data()),
              S_OK);
    EXPECT_EQ(std::u16string(name.c_str()), e.name) << e.file;
    EXPECT_EQ(std::u16string(description.c_str()), e.description) << e.file;
    EXPECT_EQ(codecType, WMT_CODECINFO_AUDIO);
    nameLength = 3;
    EXPECT_EQ(info->GetCodecInfo(0, &nameLength, name.data(), &descriptionLength,
                                 description.data(), &codecType, &infoLength, codecInfo.data()),
              ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(info->GetCodecInfo(count, &nameLength, nullptr, &descriptionLength, nullptr, nullptr,
                                 &infoLength, nullptr),
              E_INVALIDARG);
  }
}

}  // namespace
