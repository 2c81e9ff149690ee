#include "codecs/codec_catalogue.h"

#include <cstdio>

#include "codecs/libavcodec/libavcodec_encoder.h"
#include "codecs/lossless/lossless_encoder.h"
#include "codecs/wmapro/wmapro_encoder.h"
#include "codecs/wmav2/wmav2_encoder.h"
#include "common/wide_text.h"

namespace wmvcore {
namespace {

struct FormatEntry {
  WORD kbps;
  DWORD rate;
  WORD channels;
};

// Highest bit rate first, then the higher sample rate, stereo before mono. The 44.1 kHz
// stereo 128 kbps format is the one a caller looking for the usual default finds.
constexpr FormatEntry kFormats[] = {
    {320, 44100, 2}, {256, 44100, 2}, {192, 48000, 2}, {192, 44100, 2}, {160, 48000, 2},
    {160, 44100, 2}, {128, 48000, 2}, {128, 44100, 2}, {96, 48000, 2},  {96, 44100, 2},
    {80, 44100, 2},  {64, 48000, 2},  {64, 44100, 2},  {48, 44100, 2},  {48, 44100, 1},
    {48, 32000, 2},  {40, 32000, 2},  {32, 44100, 2},  {32, 44100, 1},  {32, 32000, 2},
    {32, 22050, 2},  {32, 22050, 1},  {24, 22050, 2},  {24, 22050, 1},  {24, 16000, 1},
    {24, 11025, 1},  {24, 8000, 1},
};

struct CodecEntry {
  const WCHAR* name;
  OpenStreamEncoder open;
  WORD tag;
  bool qualityFormats;  // the encoder codes for quality too
};

#ifdef WMAFILTER_FFMPEG_WMAV2
constexpr OpenStreamEncoder kWmaV2 = OpenLibavcodecWmaV2;
constexpr bool kWmaV2Quality = false;
#else
constexpr OpenStreamEncoder kWmaV2 = OpenWmaV2Encoder;
constexpr bool kWmaV2Quality = true;
#endif

const CodecEntry kCodecs[] = {
    {WSTR("Windows Media Audio V8"), kWmaV2, 0x0161, kWmaV2Quality},
    {WSTR("Windows Media Audio V1"), OpenLibavcodecWmaV1, 0x0160, false},
};

// A lossy codec's quality-based variable-rate formats: the highest quality first, then the
// higher sample rate, stereo before mono.
constexpr int kQualities[] = {98, 90, 75, 50, 25, 10};
constexpr DWORD kQualityRates[] = {48000, 44100};
constexpr WORD kQualityChannels[] = {2, 1};

void AddQualityFormats(const CodecEntry& codec, CatalogueCodec& entry) {
  for (int quality : kQualities)
    for (DWORD rate : kQualityRates)
      for (WORD channels : kQualityChannels) {
        WaveFormat wave;
        wave.formatTag = codec.tag;
        wave.channels = channels;
        wave.samplesPerSec = rate;
        wave.bitsPerSample = 16;
        wave.avgBytesPerSec = QualityRate(quality);
        const std::unique_ptr<StreamEncoder> encoder = codec.open(wave);
        if (!encoder) continue;
        // The encoder's format (its packets and codec data) asking for the quality; its rate,
        // which no stretch of the stream exceeds, as the nominal one.
        CatalogueFormat format{encoder->shape().format.avgBytesPerSec * 8, encoder->shape().format,
                               DescribeVariableFormat(quality, rate, channels, 16)};
        format.wave.avgBytesPerSec = wave.avgBytesPerSec;
        entry.variableRate.push_back(std::move(format));
      }
}

// The lossless codec comes after the lossy ones, so that the stored words naming those keep
// their meaning; it has only variable-rate formats, one per width, rate and channel count it
// encodes: 16-bit first, the rates upwards, stereo first, then mono and the wider layouts.
constexpr WORD kLosslessWidths[] = {16, 24};
constexpr DWORD kLosslessRates[] = {44100, 48000, 88200, 96000};
constexpr WORD kLosslessChannels[] = {2, 1, 3, 4, 5, 6};
constexpr int kLosslessQuality = 100;

CatalogueCodec LosslessCodec() {
  CatalogueCodec entry;
  entry.name = WSTR("Windows Media Audio 9.2 Lossless");
  entry.open = OpenLosslessEncoder;
  entry.subtype = SubtypeForTag(kLosslessTag);
  for (WORD bits : kLosslessWidths)
    for (DWORD rate : kLosslessRates)
      for (WORD channels : kLosslessChannels) {
        WaveFormat wave;
        wave.formatTag = kLosslessTag;
        wave.channels = channels;
        wave.samplesPerSec = rate;
        wave.bitsPerSample = bits;
        // Nominally the rate of the PCM: what a file holds is its own average.
        wave.avgBytesPerSec = rate * channels * (bits / 8u);
        const std::unique_ptr<StreamEncoder> encoder = OpenLosslessEncoder(wave);
        if (!encoder) continue;
        entry.variableRate.push_back(
            CatalogueFormat{wave.avgBytesPerSec * 8, encoder->shape().format,
                            DescribeVariableFormat(kLosslessQuality, rate, channels, bits)});
      }
  return entry;
}

// The Professional codec comes after the lossless one, so that the stored words naming those
// keep their meaning: 16-bit constant-rate formats, highest bit rate first, then the higher
// sample rate, stereo before mono.
constexpr FormatEntry kProFormats[] = {
    {384, 48000, 2}, {384, 44100, 2}, {320, 48000, 2}, {320, 44100, 2}, {256, 48000, 2},
    {256, 44100, 2}, {192, 48000, 2}, {192, 44100, 2}, {160, 48000, 2}, {160, 44100, 2},
    {128, 48000, 2}, {128, 44100, 2}, {128, 48000, 1}, {128, 44100, 1}, {96, 48000, 2},
    {96, 44100, 2},  {96, 48000, 1},  {96, 44100, 1},  {80, 48000, 2},  {80, 44100, 2},
    {64, 48000, 2},  {64, 44100, 2},  {64, 48000, 1},  {64, 44100, 1},
};
constexpr CodecEntry kPro = {WSTR("Windows Media Audio 10 Professional"), OpenWmaProEncoder,
                             kProfessionalTag, false};

// Opens the encoder for the format, as the writer will, to learn its block alignment and codec
// data; nothing when it refuses the format.
std::optional<WaveFormat> EncoderWaveFormat(OpenStreamEncoder open, WORD tag,
                                            const FormatEntry& entry) {
  WaveFormat wave;
  wave.formatTag = tag;
  wave.channels = entry.channels;
  wave.samplesPerSec = entry.rate;
  wave.avgBytesPerSec = entry.kbps * 1000 / 8;
  wave.bitsPerSample = 16;
  const std::unique_ptr<StreamEncoder> encoder = open(wave);
  if (!encoder) return std::nullopt;
  return encoder->shape().format;
}

// The codec's constant-rate formats among `formats`, those its encoder takes.
template <std::size_t kCount>
CatalogueCodec ConstantRateCodec(const CodecEntry& codec, const FormatEntry (&formats)[kCount]) {
  CatalogueCodec entry;
  entry.name = codec.name;
  entry.open = codec.open;
  entry.subtype = SubtypeForTag(codec.tag);
  for (const auto& format : formats) {
    auto wave = EncoderWaveFormat(codec.open, codec.tag, format);
    if (!wave) continue;  // an FFmpeg without this encoder mode: the format is not offered
    entry.constantRate.push_back(
        CatalogueFormat{format.kbps * 1000u, std::move(*wave),
                        DescribeFormat(format.kbps * 1000u, format.rate, format.channels)});
  }
  return entry;
}

std::vector<CatalogueCodec> BuildCatalogue() {
  std::vector<CatalogueCodec> catalogue;
  for (const auto& codec : kCodecs) {
    CatalogueCodec entry = ConstantRateCodec(codec, kFormats);
    if (codec.qualityFormats) AddQualityFormats(codec, entry);
    if (!entry.constantRate.empty()) catalogue.push_back(std::move(entry));
  }
  catalogue.push_back(LosslessCodec());
  catalogue.push_back(ConstantRateCodec(kPro, kProFormats));
  return catalogue;
}

}  // namespace

const std::vector<CatalogueCodec>& CodecCatalogue() {
  static const std::vector<CatalogueCodec> catalogue = BuildCatalogue();
  return catalogue;
}

const CatalogueCodec* FindCodecByTag(WORD formatTag) {
  for (const auto& codec : CodecCatalogue())
    if (codec.subtype.Data1 == formatTag) return &codec;
  return nullptr;
}

const CatalogueFormat* FindCatalogueFormat(const CatalogueCodec& codec, const WaveFormat& wave) {
  for (const auto& format : codec.constantRate) {
    if (format.wave.samplesPerSec == wave.samplesPerSec && format.wave.channels == wave.channels &&
        format.wave.avgBytesPerSec == wave.avgBytesPerSec)
      return &format;
  }
  return nullptr;
}

const CatalogueFormat* FindVariableRateFormat(const CatalogueCodec& codec, const WaveFormat& wave) {
  for (const auto& format : codec.variableRate) {
    // A quality-based format is the one of its quality; the lossless ones have one a layout.
    const bool quality = QualityOfRate(format.wave.avgBytesPerSec).has_value() ||
                         QualityOfRate(wave.avgBytesPerSec).has_value();
    if (format.wave.samplesPerSec == wave.samplesPerSec && format.wave.channels == wave.channels &&
        format.wave.bitsPerSample == wave.bitsPerSample &&
        (!quality || format.wave.avgBytesPerSec == wave.avgBytesPerSec))
      return &format;
  }
  return nullptr;
}

WideString DescribeVariableFormat(int quality, DWORD sampleRate, WORD channels, WORD bits) {
  char text[64];
  std::snprintf(text, sizeof(text), "VBR Quality %d, %u kHz, %u channel %u bit VBR", quality,
                static_cast<unsigned>(sampleRate / 1000), static_cast<unsigned>(channels),
                static_cast<unsigned>(bits));
  return WideString(text, text + std::char_traits<char>::length(text));
}

WideString DescribeFormat(DWORD bitrate, DWORD sampleRate, WORD channels) {
  char text[64];
  const char* layout = channels == 1 ? "mono" : channels == 2 ? "stereo" : nullptr;
  char channelText[16];
  if (layout == nullptr) {
    std::snprintf(channelText, sizeof(channelText), "%u channel", static_cast<unsigned>(channels));
    layout = channelText;
  }
  std::snprintf(text, sizeof(text), "%3u kbps, %u kHz, %s CBR",
                static_cast<unsigned>((bitrate + 500) / 1000),
                static_cast<unsigned>(sampleRate / 1000), layout);
  return WideString(text, text + std::char_traits<char>::length(text));
}

}  // namespace wmvcore
