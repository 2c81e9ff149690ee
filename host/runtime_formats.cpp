#include "runtime_formats.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>

#include "codec_short_name.h"
#include "common/options_word.h"
#include "common/quality_rate.h"
#include "common/wide_text.h"
#include "display_text.h"

namespace {

using CreateProfileManager = HRESULT(WINAPI*)(IWMProfileManager**);

// The runtime's texts come by two calls: one for the length in UTF-16 units, terminator
// included, one to fill a buffer of that length. Nothing when either fails.
template <class Call>
std::optional<WideString> FetchWideText(Call call) {
  DWORD units = 0;
  if (FAILED(call(nullptr, &units)) || units == 0) return std::nullopt;
  WideString text(units, WCHAR{0});
  if (FAILED(call(text.data(), &units))) return std::nullopt;
  // Up to the terminator, wherever the runtime put it within the buffer.
  text.resize(WideLength(text.c_str()));
  return text;
}

// The WAVEFORMATEX of a stream configuration's media type, its members up to wBitsPerSample;
// nothing when the type cannot be had or its format block is not inside it.
std::optional<WAVEFORMATEX> WaveFormatOf(const ComPtr<IWMStreamConfig>& config) {
  ComPtr<IWMMediaProps> props;
  if (!config || FAILED(config.query_to(IID_IWMMediaProps, props))) return std::nullopt;
  DWORD size = 0;
  if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE)) {
    return std::nullopt;
  }
  // Whole media types, so that the block is aligned as one.
  std::vector<WM_MEDIA_TYPE> block((size + sizeof(WM_MEDIA_TYPE) - 1) / sizeof(WM_MEDIA_TYPE));
  DWORD filled = size;  // the block's own size bounds what is read, whatever comes back here
  if (FAILED(props->GetMediaType(block.data(), &filled))) return std::nullopt;
  const WM_MEDIA_TYPE& type = block[0];
  // The format block lies inside the block that the runtime filled (it points into it).
  constexpr DWORD kCoreBytes = offsetof(WAVEFORMATEX, cbSize);
  const auto start = reinterpret_cast<std::uintptr_t>(block.data());
  const auto at = reinterpret_cast<std::uintptr_t>(type.pbFormat);
  if (type.pbFormat == nullptr || type.cbFormat < kCoreBytes || at < start ||
      at - start > size - kCoreBytes) {
    return std::nullopt;
  }
  WAVEFORMATEX format{};
  std::memcpy(&format, type.pbFormat, kCoreBytes);
  return format;
}

// The quality of a variable-rate format: the one its average rate is marked with, or else the
// one its description gives ("VBR Quality 100, ..."), as a lossless codec's formats give it
// while their average is the rate of the PCM; 0 when neither gives one.
int QualityOf(DWORD averageBytesPerSecond, const std::string& description) {
  if (const std::optional<int> marked = QualityOfRate(averageBytesPerSecond)) return *marked;
  static constexpr char kWords[] = "VBR Quality ";
  const std::size_t at = description.find(kWords);
  if (at == std::string::npos) return 0;
  int quality = 0;
  for (std::size_t i = at + sizeof(kWords) - 1; i < description.size(); ++i) {
    const char c = description[i];
    if (c < '0' || c > '9') break;
    quality = quality * 10 + (c - '0');
    if (quality > 100) return 0;
  }
  return quality;
}

}  // namespace

bool RuntimeCodecs::Open(std::string& error) {
  const auto create = LoadedRuntimeFunction<CreateProfileManager>("WMCreateProfileManager");
  if (create == nullptr) {
    error = "the filter loaded no media runtime with a profile manager";
    return false;
  }
  if (!apartment_.entered()) {
    error = "COM cannot be initialised";
    return false;
  }
  HRESULT result = create(profileManager_.put());
  if (SUCCEEDED(result)) result = profileManager_.query_to(IID_IWMCodecInfo3, codecInfo_);
  if (FAILED(result)) {
    error = "the media runtime offers no codec information (" + HexWord(result) + ")";
    return false;
  }
  return true;
}

std::vector<RuntimeFormat> RuntimeCodecs::OfferedFormats() const {
  std::vector<RuntimeFormat> formats;
  DWORD codecs = 0;
  if (FAILED(codecInfo_->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs))) return formats;
  std::set<std::string> shortNamesGiven;
  for (DWORD codecIndex = 0; codecIndex < codecs; ++codecIndex) {
    const std::optional<std::string> name = CodecName(codecIndex);
    if (!name) continue;
    const std::size_t first = formats.size();
    for (const bool variableBitRate : {false, true}) {
      const DWORD count = FormatCount(variableBitRate, codecIndex);
      for (DWORD formatIndex = 0; formatIndex < count; ++formatIndex) {
        std::optional<RuntimeFormat> format =
            ReadFormat(variableBitRate, codecIndex, *name, formatIndex);
        if (format && format->offeredByDialog) formats.push_back(std::move(*format));
      }
    }
    const std::string shortName = CodecShortName(*name);
    if (formats.size() == first || shortName.empty() || !shortNamesGiven.insert(shortName).second)
      continue;
    for (std::size_t i = first; i < formats.size(); ++i) formats[i].codecShortName = shortName;
  }
  return formats;
}

std::optional<RuntimeFormat> RuntimeCodecs::FormatOf(DWORD word) const {
  const EncoderChoice choice = ReadEncoderOptions(word);
  const std::optional<std::string> name = CodecName(choice.codecIndex);
  if (!name || choice.formatIndex >= FormatCount(choice.variableBitRate, choice.codecIndex)) {
    return std::nullopt;
  }
  return ReadFormat(choice.variableBitRate, choice.codecIndex, *name, choice.formatIndex);
}

std::optional<RuntimeFormat> RuntimeCodecs::ReadFormat(bool variableBitRate, DWORD codecIndex,
                                                       const std::string& codecName,
                                                       DWORD formatIndex) const {
  ComPtr<IWMStreamConfig> config;
  const std::optional<WideString> description = FetchWideText([&](WCHAR* text, DWORD* units) {
    return codecInfo_->GetCodecFormatDesc(WMMEDIATYPE_Audio, codecIndex, formatIndex,
                                          text != nullptr ? config.put() : nullptr, text, units);
  });
  if (!description) return std::nullopt;
  const std::optional<WAVEFORMATEX> wave = WaveFormatOf(config);
  if (!wave) return std::nullopt;

  RuntimeFormat format;
  format.word = ChoiceEncoderOptions(codecIndex, formatIndex, variableBitRate);
  format.variableBitRate = variableBitRate;
  format.codecIndex = codecIndex;
  format.codecName = codecName;
  format.formatIndex = formatIndex;
  format.description = WideToUtf8(description->c_str());
  format.formatTag = wave->wFormatTag;
  format.sampleRate = wave->nSamplesPerSec;
  format.channels = wave->nChannels;
  format.bitsPerSample = wave->wBitsPerSample;
  // A quality-based variable-rate format gives its quality there: no average.
  format.averageBytesPerSecond = IsQualityMarked(wave->nAvgBytesPerSec) ? 0 : wave->nAvgBytesPerSec;
  if (variableBitRate) format.quality = QualityOf(wave->nAvgBytesPerSec, format.description);
  format.offeredByDialog =
      wave->nChannels <= 2 && !WideContains(description->c_str(), WSTR("(A/V)"));
  format.mayBeDefault =
      !variableBitRate && QualifiesAsDefaultFormat(wave->nChannels, wave->wBitsPerSample,
                                                   wave->nSamplesPerSec, description->c_str());
  return format;
}

std::optional<std::string> RuntimeCodecs::CodecName(DWORD codecIndex) const {
  const std::optional<WideString> name = FetchWideText([&](WCHAR* text, DWORD* units) {
    return codecInfo_->GetCodecName(WMMEDIATYPE_Audio, codecIndex, text, units);
  });
  if (!name) return std::nullopt;
  return WideToUtf8(name->c_str());
}

DWORD RuntimeCodecs::FormatCount(bool variableBitRate, DWORD codecIndex) const {
  // The mode is the codec's enumeration setting, a 4-byte boolean, as the dialog sets it.
  const BOOL value = variableBitRate ? TRUE : FALSE;
  DWORD count = 0;
  if (FAILED(codecInfo_->SetCodecEnumerationSetting(
          WMMEDIATYPE_Audio, codecIndex, WSTR("_VBRENABLED"), WMT_TYPE_BOOL,
          reinterpret_cast<const BYTE*>(&value), sizeof(value))) ||
      FAILED(codecInfo_->GetCodecFormatCount(WMMEDIATYPE_Audio, codecIndex, &count))) {
    return 0;
  }
  return count;
}

DWORD DefaultWordOf(const std::vector<RuntimeFormat>& formats) {
  for (const RuntimeFormat& format : formats) {
    if (format.mayBeDefault &&
        BuildEncoderOptions(format.codecIndex, format.formatIndex, FALSE) != 0)
      return format.word;
  }
  return 0;
}

const char* RateModeName(bool variableBitRate) { return variableBitRate ? "variable" : "constant"; }
