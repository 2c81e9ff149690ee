#include "com/media_type.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/result_codes.h"
#include "common/speaker_positions.h"

namespace wmvcore {
namespace {

// The format type of a WAVEFORMATEX block (kWaveFormatExType) and the sub-format of integer
// PCM in a WAVEFORMATEXTENSIBLE (kPcmSubFormat): mingw-w64's headers name neither.
constexpr GUID kWaveFormatExType = {
    0x05589f81, 0xc356, 0x11ce, {0xbf, 0x01, 0x00, 0xaa, 0x00, 0x55, 0x59, 0x5a}};
constexpr GUID kPcmSubFormat = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

}  // namespace

Bytes RenderWaveFormat(const WaveFormat& format) {
  ByteWriter out;
  out.Word(format.formatTag);
  out.Word(format.channels);
  out.Dword(format.samplesPerSec);
  out.Dword(format.avgBytesPerSec);
  out.Word(format.blockAlign);
  out.Word(format.bitsPerSample);
  out.Word(static_cast<WORD>(format.extra.size()));
  out.Append(format.extra);
  return std::move(out.bytes());
}

std::optional<WaveFormat> ParseWaveFormat(std::span<const BYTE> bytes) {
  ByteReader in(bytes);
  WaveFormat format;
  format.formatTag = in.Word();
  format.channels = in.Word();
  format.samplesPerSec = in.Dword();
  format.avgBytesPerSec = in.Dword();
  format.blockAlign = in.Word();
  format.bitsPerSample = in.Word();
  if (!in.ok()) return std::nullopt;
  // cbSize is optional for plain PCM, and for PCM some callers fill it with other values; the
  // extra bytes are taken only as far as the block holds them.
  if (in.remaining() >= 2) {
    const WORD extraBytes = in.Word();
    const auto extra = in.Take(std::min<std::size_t>(extraBytes, in.remaining()));
    format.extra.assign(extra.begin(), extra.end());
  }
  return format;
}

MediaType MediaType::Pcm(DWORD rate, WORD channels, WORD bits) {
  MediaType type;
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = WMMEDIASUBTYPE_PCM;
  type.fixedSizeSamples = TRUE;
  type.formattype = kWaveFormatExType;
  WaveFormat wave;
  wave.formatTag = WAVE_FORMAT_PCM;
  wave.channels = channels;
  wave.samplesPerSec = rate;
  wave.bitsPerSample = bits;
  wave.blockAlign = static_cast<WORD>(channels * (bits / 8));
  wave.avgBytesPerSec = rate * wave.blockAlign;
  if (channels > 2 || bits > 16) {
    wave.formatTag = WAVE_FORMAT_EXTENSIBLE;
    ByteWriter extensible;
    extensible.Word(bits);
    extensible.Dword(UsualChannelMask(channels));
    extensible.Guid(kPcmSubFormat);
    wave.extra = std::move(extensible.bytes());
  }
  type.sampleSize = wave.blockAlign;
  type.format = RenderWaveFormat(wave);
  return type;
}

GUID SubtypeForTag(WORD tag) {
  GUID subtype = WMMEDIASUBTYPE_PCM;
  subtype.Data1 = tag;
  return subtype;
}

MediaType MediaType::Audio(const GUID& subtype, const WaveFormat& format) {
  MediaType type;
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = subtype;
  type.fixedSizeSamples = TRUE;
  type.sampleSize = format.blockAlign;
  type.formattype = kWaveFormatExType;
  type.format = RenderWaveFormat(format);
  return type;
}

std::optional<MediaType> MediaType::From(const WM_MEDIA_TYPE* type) {
  if (type == nullptr || (type->cbFormat > 0 && type->pbFormat == nullptr)) return std::nullopt;
  MediaType copy;
  copy.majortype = type->majortype;
  copy.subtype = type->subtype;
  copy.fixedSizeSamples = type->bFixedSizeSamples;
  copy.temporalCompression = type->bTemporalCompression;
  copy.sampleSize = type->lSampleSize;
  copy.formattype = type->formattype;
  copy.format.assign(type->pbFormat, type->pbFormat + type->cbFormat);
  return copy;
}

std::optional<MediaType> MediaType::Read(IWMMediaProps* props) {
  DWORD size = 0;
  if (props == nullptr || FAILED(props->GetMediaType(nullptr, &size)) ||
      size < sizeof(WM_MEDIA_TYPE))
    return std::nullopt;
  // Out of memory is no unreadable type: the exception goes to the caller's boundary.
  std::unique_ptr<std::max_align_t[]> block(
      new std::max_align_t[size / sizeof(std::max_align_t) + 1]);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(block.get());
  if (FAILED(props->GetMediaType(type, &size))) return std::nullopt;
  return From(type);
}

HRESULT MediaType::CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const {
  if (size == nullptr) return E_POINTER;
  const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format.size());
  if (type == nullptr) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) {
    *size = needed;
    return ASF_E_BUFFERTOOSMALL;
  }
  type->majortype = majortype;
  type->subtype = subtype;
  type->bFixedSizeSamples = fixedSizeSamples;
  type->bTemporalCompression = temporalCompression;
  type->lSampleSize = sampleSize;
  type->formattype = formattype;
  type->pUnk = nullptr;
  type->cbFormat = static_cast<ULONG>(format.size());
  type->pbFormat = format.empty() ? nullptr : reinterpret_cast<BYTE*>(type + 1);
  if (!format.empty()) std::memcpy(type->pbFormat, format.data(), format.size());
  *size = needed;
  return S_OK;
}

std::optional<WaveFormat> MediaType::Wave() const {
  if (majortype != WMMEDIATYPE_Audio || formattype != kWaveFormatExType) return std::nullopt;
  return ParseWaveFormat(format);
}

bool MediaType::IsPcm() const {
  const auto wave = Wave();
  if (!wave) return false;
  if (wave->formatTag == WAVE_FORMAT_PCM) return true;
  if (wave->formatTag != WAVE_FORMAT_EXTENSIBLE || wave->extra.size() < 22) return false;
  ByteReader sub(std::span<const BYTE>(wave->extra).subspan(6));
  return sub.Guid() == kPcmSubFormat;
}

DWORD MediaType::ChannelMask() const {
  const auto wave = Wave();
  if (!wave || wave->formatTag != WAVE_FORMAT_EXTENSIBLE || wave->extra.size() < 6) return 0;
  ByteReader extensible(std::span<const BYTE>(wave->extra).subspan(2));
  return extensible.Dword();
}

}  // namespace wmvcore
