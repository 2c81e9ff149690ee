#include "hardening/wave_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hardening {
namespace {

void Put16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<unsigned char>(value));
  bytes.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(Bytes& bytes, std::uint32_t value) {
  Put16(bytes, static_cast<std::uint16_t>(value));
  Put16(bytes, static_cast<std::uint16_t>(value >> 16));
}

void PutId(Bytes& bytes, const std::string& id) { bytes.insert(bytes.end(), id.begin(), id.end()); }

std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t Get16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

}  // namespace

Bytes RiffWave(const std::vector<Chunk>& chunks, std::optional<std::uint32_t> declaredRiffSize) {
  Bytes body;
  PutId(body, "WAVE");
  for (const Chunk& chunk : chunks) {
    PutId(body, chunk.id);
    Put32(body, chunk.declaredSize.value_or(static_cast<std::uint32_t>(chunk.data.size())));
    body.insert(body.end(), chunk.data.begin(), chunk.data.end());
    if (chunk.data.size() % 2 != 0) body.push_back(0);
  }
  Bytes file;
  PutId(file, "RIFF");
  Put32(file, declaredRiffSize.value_or(static_cast<std::uint32_t>(body.size())));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes FormatBody(std::uint16_t formatTag, std::uint16_t channels, std::uint32_t rate,
                 std::uint16_t bitsPerSample) {
  const auto blockAlign = static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8));
  Bytes body;
  Put16(body, formatTag);
  Put16(body, channels);
  Put32(body, rate);
  Put32(body, rate * blockAlign);
  Put16(body, blockAlign);
  Put16(body, bitsPerSample);
  return body;
}

Bytes ExtensibleFormatBody(std::uint16_t channels, std::uint32_t rate, std::uint16_t bitsPerSample,
                           std::uint32_t channelMask) {
  Bytes body = FormatBody(0xFFFE, channels, rate, bitsPerSample);
  Put16(body, 22);
  Put16(body, bitsPerSample);
  Put32(body, channelMask);
  Put32(body, kPcm);  // the PCM sub-format: {00000001-0000-0010-8000-00AA00389B71}
  for (const unsigned char byte :
       {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
    body.push_back(byte);
  return body;
}

Bytes ToneSamples(double seconds, std::uint16_t channels, std::uint16_t toneChannel) {
  const auto frames = static_cast<std::uint32_t>(seconds * 44100);
  Bytes samples;
  for (std::uint32_t frame = 0; frame < frames; ++frame) {
    const double tone = 8192 * std::sin(2 * M_PI * 440 * frame / 44100.0);
    for (std::uint16_t channel = 0; channel < channels; ++channel)
      Put16(samples, static_cast<std::uint16_t>(channel == toneChannel ? std::lround(tone) : 0));
  }
  return samples;
}

Bytes Rf64Wave(const std::string& riffId, const Bytes& format, const Bytes& samples,
               std::uint64_t declaredDataSize, const std::vector<Chunk>& after) {
  Bytes sizes;
  Put32(sizes, 0xFFFFFFFF);  // the RIFF size, which no reader needs
  Put32(sizes, 0xFFFFFFFF);
  Put32(sizes, static_cast<std::uint32_t>(declaredDataSize));
  Put32(sizes, static_cast<std::uint32_t>(declaredDataSize >> 32));
  sizes.insert(sizes.end(), 12, 0);  // the sample count and an empty table
  std::vector<Chunk> chunks = {{"ds64", sizes}, {"fmt ", format}, {"data", samples, 0xFFFFFFFF}};
  chunks.insert(chunks.end(), after.begin(), after.end());
  Bytes file = RiffWave(chunks, 0xFFFFFFFF);
  std::memcpy(file.data(), riffId.data(), 4);
  return file;
}

Bytes InfoList(const std::string& id, const std::string& text) {
  Bytes body;
  PutId(body, "INFO");
  PutId(body, id);
  Put32(body, static_cast<std::uint32_t>(text.size() + 1));
  body.insert(body.end(), text.begin(), text.end());
  body.push_back(0);
  if (body.size() % 2 != 0) body.push_back(0);
  return body;
}

Bytes PcmWave(double seconds, const std::vector<Chunk>& extra) {
  const auto frames = static_cast<std::uint32_t>(seconds * 44100);
  Bytes samples;
  for (std::uint32_t frame = 0; frame < frames; ++frame) {
    const auto value = static_cast<std::uint16_t>((frame % 200) * 20);
    Put16(samples, value);
    Put16(samples, value);
  }
  std::vector<Chunk> chunks = {{"fmt ", FormatBody(kPcm, 2, 44100, 16)}};
  chunks.insert(chunks.end(), extra.begin(), extra.end());
  chunks.push_back({"data", samples});
  return RiffWave(chunks);
}

WaveSummary SummarizeWave(const Bytes& file) {
  WaveSummary summary;
  if (file.size() < 12 || Bytes(file.begin(), file.begin() + 4) != Bytes{'R', 'I', 'F', 'F'})
    return summary;
  bool format = false;
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::string id(file.begin() + static_cast<std::ptrdiff_t>(at),
                         file.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const std::uint32_t size = Get32(file, at + 4);
    if (id == "fmt " && at + 24 <= file.size()) {
      summary.channels = Get16(file, at + 10);
      summary.rate = Get32(file, at + 12);
      summary.bitsPerSample = Get16(file, at + 22);
      format = true;
    } else if (id == "data") {
      summary.dataBytes = size;
      summary.valid = format && at + 8 + size <= file.size();
      return summary;
    }
    at += 8 + size + size % 2;
  }
  return summary;
}

double LoudestSample(const Bytes& file) {
  const WaveSummary wave = SummarizeWave(file);
  const std::size_t width = wave.bitsPerSample / 8u;
  if (!wave.valid || (width != 2 && width != 4)) return 0;
  double loudest = 0;
  for (std::size_t at = file.size() - wave.dataBytes; at + width <= file.size(); at += width) {
    float sample = static_cast<std::int16_t>(Get16(file, at)) / 32768.0f;
    if (width == 4) {
      const std::uint32_t bits = Get32(file, at);
      std::memcpy(&sample, &bits, sizeof(sample));
    }
    loudest = std::max(loudest, std::fabs(static_cast<double>(sample)));
  }
  return loudest;
}

}  // namespace hardening
