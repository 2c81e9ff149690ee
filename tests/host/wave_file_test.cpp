// The host's WAVE reader and writer: what one writes the other reads back, and a file whose
// chunk sizes lie is read as far as it really goes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "file_io.h"
#include "support/program_run.h"
#include "wave_reader.h"
#include "wave_writer.h"

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;

WaveTag InfoTag(const char* id, const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return {"INFO", id, data};
}

WaveTag DisplayTag(const std::string& text) {
  std::vector<std::uint8_t> data = {1, 0, 0, 0};
  data.insert(data.end(), text.begin(), text.end());
  data.push_back(0);
  return {"WAVE", "DISP", data};
}

std::vector<std::uint8_t> ReadAll(WaveReader& reader) {
  std::vector<std::uint8_t> data(reader.dataBytes());
  EXPECT_EQ(reader.Read(data.data(), data.size()), data.size());
  return data;
}

class WaveFileTest : public ::testing::Test {
 protected:
  const test_support::ScratchDirectory directory_;
  const std::string path_ = directory_ / "file.wav";
  std::string error_;
};

TEST_F(WaveFileTest, WhatIsWrittenReadsBack) {
  const std::vector<WaveTag> tags = {InfoTag("IART", "Someone"), InfoTag("ICMT", "odd"),
                                     DisplayTag("A Title")};
  for (const WaveFormat format : {WaveFormat{SampleEncoding::kPcm, 2, 44100, 16},
                                  WaveFormat{SampleEncoding::kPcm, 1, 48000, 24},
                                  WaveFormat{SampleEncoding::kFloat, 2, 22050, 32}}) {
    std::vector<std::uint8_t> samples(format.frameBytes() * 5 + 1);  // odd: the data is padded
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i * 7);
    samples.pop_back();
    {
      WaveWriter writer;
      ASSERT_TRUE(writer.Create(path_, format, tags, error_)) << error_;
      ASSERT_TRUE(writer.Write(samples.data(), samples.size(), error_));
      ASSERT_TRUE(writer.Finish(error_));
    }
    WaveReader reader;
    ASSERT_TRUE(reader.Open(path_, error_)) << error_;
    EXPECT_EQ(reader.format().encoding, format.encoding);
    EXPECT_EQ(reader.format().channels, format.channels);
    EXPECT_EQ(reader.format().sampleRate, format.sampleRate);
    EXPECT_EQ(reader.format().bitsPerSample, format.bitsPerSample);
    EXPECT_EQ(ReadAll(reader), samples);
    ASSERT_EQ(reader.tags().size(), tags.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
      EXPECT_EQ(reader.tags()[i].chunkId, tags[i].chunkId);
      EXPECT_EQ(reader.tags()[i].data, tags[i].data);
    }
  }
}

TEST_F(WaveFileTest, UnfinishedFileIsRemoved) {
  {
    WaveWriter writer;
    ASSERT_TRUE(writer.Create(path_, WaveFormat{SampleEncoding::kPcm, 1, 8000, 16}, {}, error_));
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(WaveFileTest, LyingSizesAreCutAtTheEndOfTheFile) {
  {
    WaveWriter writer;
    const std::uint8_t samples[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(writer.Create(path_, WaveFormat{SampleEncoding::kPcm, 2, 8000, 16},
                              {InfoTag("IART", "x")}, error_));
    ASSERT_TRUE(writer.Write(samples, sizeof(samples), error_));
    ASSERT_TRUE(writer.Finish(error_));
  }
  std::vector<std::uint8_t> bytes = ReadBytes(path_);
  // The RIFF size and the INFO item's size claim far more than there is.
  PutLittle32(bytes.data() + 4, 0x7FFFFFF0);
  const auto item =
      std::search(bytes.begin(), bytes.end(), std::begin("IART"), std::begin("IART") + 4);
  PutLittle32(&*item + 4, 0x10000000);
  WriteBytes(path_, bytes);
  {
    WaveReader reader;
    ASSERT_TRUE(reader.Open(path_, error_)) << error_;
    EXPECT_EQ(reader.dataBytes(), 8u);
    EXPECT_EQ(ReadAll(reader), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  }

  // A data size beyond the end is audio the file lost: refused, not cut.
  const auto data =
      std::search(bytes.begin(), bytes.end(), std::begin("data"), std::begin("data") + 4);
  PutLittle32(&*data + 4, 0xFFFFFFF0);
  WriteBytes(path_, bytes);
  WaveReader reader;
  EXPECT_FALSE(reader.Open(path_, error_));
  EXPECT_NE(error_.find("cut short"), std::string::npos) << error_;
}

TEST_F(WaveFileTest, RefusesWhatIsNotUsableAudio) {
  // A RIFF WAVE file of a format chunk and four bytes of data.
  const auto formatChunk = [](std::uint16_t tag, std::uint16_t channels, std::uint16_t bits,
                              std::uint16_t blockAlign) {
    std::vector<std::uint8_t> bytes(48, 0);
    std::memcpy(bytes.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    PutLittle32(bytes.data() + 16, 16);
    PutLittle16(bytes.data() + 20, tag);
    PutLittle16(bytes.data() + 22, channels);
    PutLittle32(bytes.data() + 24, 8000);
    PutLittle16(bytes.data() + 32, blockAlign);
    PutLittle16(bytes.data() + 34, bits);
    std::memcpy(bytes.data() + 36, "data", 4);
    PutLittle32(bytes.data() + 40, 4);
    return bytes;
  };
  const std::vector<std::vector<std::uint8_t>> refused = {
      {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'},
      formatChunk(1, 1, 12, 2),     // 12-bit PCM
      formatChunk(1, 2, 16, 3),     // block alignment that does not match
      formatChunk(1, 0, 16, 0),     // no channels
      formatChunk(3, 1, 16, 2),     // 16-bit float
      formatChunk(0x55, 2, 16, 4),  // MP3 in a WAVE file
  };
  for (const auto& bytes : refused) {
    WriteBytes(path_, bytes);
    WaveReader reader;
    EXPECT_FALSE(reader.Open(path_, error_));
    EXPECT_FALSE(error_.empty());
  }
  WriteBytes(path_, formatChunk(1, 2, 16, 4));
  WaveReader reader;
  EXPECT_TRUE(reader.Open(path_, error_)) << error_;
}

}  // namespace
