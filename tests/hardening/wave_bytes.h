// RIFF WAVE files byte by byte, chunk sizes included, so that a test can make them tell the
// truth or lie; and the little that a test reads back from the WAVE files filterhost writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hardening {

using Bytes = std::vector<unsigned char>;

struct Chunk {
  std::string id;  // four characters
  Bytes data;
  std::optional<std::uint32_t> declaredSize{};  // the size written in the file, if not the truth
};

// "RIFF", the size (the truth unless told), "WAVE", then the chunks, each padded to even size.
Bytes RiffWave(const std::vector<Chunk>& chunks,
               std::optional<std::uint32_t> declaredRiffSize = std::nullopt);

// The body of a "fmt " chunk; the block alignment and byte rate follow from the numbers.
Bytes FormatBody(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate,
                 std::uint16_t bitsPerSample);
inline constexpr std::uint16_t kPcm = 1;
// The body of a WAVE_FORMAT_EXTENSIBLE "fmt " chunk of integer PCM with this channel mask.
Bytes ExtensibleFormatBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bitsPerSample,
                           std::uint32_t channelMask);

// 16-bit samples at 44.1 kHz of `channels` channels, silent but for a 440 Hz tone at a quarter
// of full scale in channel `toneChannel`.
Bytes ToneSamples(double seconds, std::uint16_t channels, std::uint16_t toneChannel);

// An RF64 (or BW64: `riffId`) file: "ds64" giving the data chunk's size, the format, the data
// (its 32-bit size 0xFFFFFFFF), then `after`.
Bytes Rf64Wave(const std::string& riffId, const Bytes& format, const Bytes& samples,
               std::uint64_t declaredDataSize, const std::vector<Chunk>& after = {});

// The body of a "LIST" chunk of type "INFO" holding one item with this text and its NUL.
Bytes InfoList(const std::string& id, const std::string& text);

// A 16-bit stereo 44.1 kHz file of a quiet ramp, with `extra` chunks ahead of the data.
Bytes PcmWave(double seconds, const std::vector<Chunk>& extra = {});

struct WaveSummary {
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint32_t dataBytes = 0;
  bool valid = false;  // a RIFF WAVE file with a format and a data chunk
};
WaveSummary SummarizeWave(const Bytes& file);
// The loudest sample, full scale 1.0, of a 16-bit PCM or float WAVE file whose data chunk
// comes last, as filterhost writes them; 0 for any other file.
double LoudestSample(const Bytes& file);

}  // namespace hardening
