#include "double/scripts.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace runtime_double {

namespace {

QWORD LittleEndian(const std::vector<BYTE>& bytes, std::size_t width) {
  if (bytes.size() < width) return 0;
  QWORD value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

void Append(std::vector<BYTE>& bytes, QWORD value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
}

std::vector<BYTE> WaveBytes(const WAVEFORMATEX& wave) {
  std::vector<BYTE> bytes(sizeof(wave));
  std::memcpy(bytes.data(), &wave, sizeof(wave));
  return bytes;
}

Attribute NumberAttribute(std::u16string_view name, WMT_ATTR_DATATYPE type, QWORD value,
                          std::size_t width) {
  Attribute attribute{std::u16string(name), {type, {}}};
  Append(attribute.value.bytes, value, width);
  return attribute;
}

}  // namespace

DWORD TypedValue::AsDword() const { return static_cast<DWORD>(LittleEndian(bytes, 4)); }
QWORD TypedValue::AsQword() const { return LittleEndian(bytes, 8); }

std::u16string TypedValue::AsText() const {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

WAVEFORMATEX MediaFormat::wave() const {
  WAVEFORMATEX wave{};
  if (!format.empty()) std::memcpy(&wave, format.data(), std::min(format.size(), sizeof(wave)));
  return wave;
}

MediaFormat PcmFormat(DWORD rate, WORD channels, WORD bits) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.nBlockAlign = static_cast<WORD>(channels * (bits / 8));
  wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  wave.wBitsPerSample = bits;
  MediaFormat format;
  format.sampleSize = wave.nBlockAlign;
  format.format = WaveBytes(wave);
  return format;
}

MediaFormat WmaMediaFormat(DWORD rate, WORD channels, WORD bits, DWORD bytesPerSecond) {
  constexpr WORD kExtraBytes = 10;
  WAVEFORMATEX wave{};
  wave.wFormatTag = 0x0161;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.nAvgBytesPerSec = bytesPerSecond;
  wave.nBlockAlign = static_cast<WORD>(std::max<DWORD>(bytesPerSecond / 8, 1));
  wave.wBitsPerSample = bits;
  wave.cbSize = kExtraBytes;
  MediaFormat format;
  format.subtype = WMMEDIASUBTYPE_WMAudioV8;
  format.sampleSize = wave.nBlockAlign;
  format.format = WaveBytes(wave);
  format.format.resize(sizeof(wave) + kExtraBytes);
  return format;
}

MediaFormat VideoFormat() {
  constexpr std::size_t kVideoInfoHeaderBytes = 88;
  MediaFormat format;
  format.majorType = WMMEDIATYPE_Video;
  format.subtype =
      GUID{0x32315659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  format.formatType = WMFORMAT_VideoInfo;
  format.fixedSizeSamples = FALSE;
  format.format.assign(kVideoInfoHeaderBytes, 0);
  return format;
}

MediaFormat PcmWaveFormatBlock(MediaFormat format) {
  format.format.resize(offsetof(WAVEFORMATEX, cbSize));
  return format;
}

std::vector<BYTE> Bytes16(std::initializer_list<std::int16_t> values) {
  std::vector<BYTE> bytes;
  for (std::int16_t value : values) Append(bytes, static_cast<std::uint16_t>(value), 2);
  return bytes;
}

std::vector<BYTE> Bytes24(std::initializer_list<std::int32_t> values) {
  std::vector<BYTE> bytes;
  for (std::int32_t value : values) Append(bytes, static_cast<std::uint32_t>(value), 3);
  return bytes;
}

std::vector<BYTE> Utf16Bytes(std::u16string_view text, bool terminated) {
  std::vector<BYTE> bytes;
  for (char16_t unit : text) Append(bytes, unit, 2);
  if (terminated) Append(bytes, 0, 2);
  return bytes;
}

std::size_t OverclaimedText(std::u16string_view text, std::size_t extra, WCHAR* target) {
  if (target == nullptr) return text.size() + 1 + extra;
  std::copy(text.begin(), text.end(), target);
  if (extra == 0) {
    target[text.size()] = 0;
    return text.size() + 1;
  }
  std::fill(target + text.size(), target + text.size() + 1 + extra, WCHAR{u'Z'});
  return text.size();
}

Attribute StringAttribute(std::u16string_view name, std::u16string_view text) {
  return {std::u16string(name), {WMT_TYPE_STRING, Utf16Bytes(text)}};
}
Attribute QwordAttribute(std::u16string_view name, QWORD value) {
  return NumberAttribute(name, WMT_TYPE_QWORD, value, 8);
}
Attribute DwordAttribute(std::u16string_view name, DWORD value) {
  return NumberAttribute(name, WMT_TYPE_DWORD, value, 4);
}
Attribute BoolAttribute(std::u16string_view name, bool value) {
  return NumberAttribute(name, WMT_TYPE_BOOL, value ? 1 : 0, 4);
}

bool IsConsistentPcm(const WAVEFORMATEX& format) {
  const bool widthKnown = format.wBitsPerSample == 8 || format.wBitsPerSample == 16 ||
                          format.wBitsPerSample == 24 || format.wBitsPerSample == 32;
  return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels >= 1 && format.nChannels <= 8 &&
         format.nSamplesPerSec != 0 && widthKnown &&
         format.nBlockAlign == format.nChannels * (format.wBitsPerSample / 8) &&
         format.nAvgBytesPerSec == format.nSamplesPerSec * format.nBlockAlign;
}

bool IsNonEmptyName(std::u16string_view name) { return !name.empty(); }

CodecFormat WmaFormat(std::u16string_view description, DWORD rate, WORD channels, WORD bits) {
  return {WmaMediaFormat(rate, channels, bits), std::u16string(description)};
}

}  // namespace runtime_double
