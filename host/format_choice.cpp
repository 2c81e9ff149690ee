#include "format_choice.h"

#include <algorithm>
#include <tuple>

#include "codec_short_name.h"

namespace {

DWORD Distance(DWORD a, DWORD b) { return a > b ? a - b : b - a; }

// A bit rate in whole kbps, rounded as the runtime's descriptions round it.
DWORD KbpsOf(const RuntimeFormat& format) {
  return static_cast<DWORD>((8ull * format.averageBytesPerSecond + 500) / 1000);
}

// "44.1 kHz stereo", "8 kHz mono", "96 kHz 6-channel"
std::string LayoutText(DWORD sampleRate, WORD channels) {
  std::string rate = std::to_string(sampleRate / 1000);
  if (const DWORD hertz = sampleRate % 1000; hertz != 0) {
    std::string fraction = std::to_string(1000 + hertz).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    rate += "." + fraction;
  }
  const std::string layout = channels == 1   ? "mono"
                             : channels == 2 ? "stereo"
                                             : std::to_string(channels) + "-channel";
  return rate + " kHz " + layout;
}

bool SameLayout(const RuntimeFormat& format, DWORD sampleRate, WORD channels) {
  return format.sampleRate == sampleRate && format.channels == channels;
}

// The format of the list nearest the input: by sample rate, then channels, then width; of two
// as near, the larger, which loses nothing of the input; of equals, the first listed, so that
// the runtime's order decides the rest. Null for an empty list.
const RuntimeFormat* Nearest(const std::vector<const RuntimeFormat*>& formats,
                             const InputShape& input) {
  const auto key = [&](const RuntimeFormat* f) {
    return std::make_tuple(
        Distance(f->sampleRate, input.sampleRate), f->sampleRate < input.sampleRate,
        Distance(f->channels, input.channels), f->channels < input.channels,
        Distance(f->bitsPerSample, input.bitsPerSample), f->bitsPerSample < input.bitsPerSample);
  };
  const RuntimeFormat* nearest = nullptr;
  for (const RuntimeFormat* format : formats)
    if (nearest == nullptr || key(format) < key(nearest)) nearest = format;
  return nearest;
}

// The first listed format of the codec that the name names: its short name or its own name.
const RuntimeFormat* CodecNamed(const std::vector<RuntimeFormat>& offered,
                                const std::string& name) {
  for (const RuntimeFormat& format : offered)
    if (NamesCodec(name, format.codecName, format.codecShortName)) return &format;
  return nullptr;
}

// "v2, v1, lossless": the short names in the list's order.
std::string ShortNames(const std::vector<RuntimeFormat>& offered) {
  std::vector<std::string> names;
  for (const RuntimeFormat& format : offered)
    if (!format.codecShortName.empty() &&
        std::find(names.begin(), names.end(), format.codecShortName) == names.end())
      names.push_back(format.codecShortName);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? "" : ", ") + names[i];
  return text;
}

// The codec whose formats the request chooses among: the one it names, or the default's.
const RuntimeFormat* RequestedCodec(const std::vector<RuntimeFormat>& offered,
                                    const FormatRequest& request, std::string& error) {
  if (offered.empty()) {
    error = "the media runtime offers no formats to choose from";
    return nullptr;
  }
  if (!request.codec) {
    const DWORD defaultWord = DefaultWordOf(offered);
    const auto marked = std::find_if(offered.begin(), offered.end(),
                                     [&](const RuntimeFormat& f) { return f.word == defaultWord; });
    return marked != offered.end() ? &*marked : &offered.front();
  }
  const RuntimeFormat* codec = CodecNamed(offered, *request.codec);
  if (codec == nullptr) {
    const std::string names = ShortNames(offered);
    error = "no codec named \"" + *request.codec + "\": --codec takes " +
            (names.empty() ? "" : "a short name (" + names + ") or ") +
            "a codec's name as formats lists it";
  }
  return codec;
}

// The rate or quality that a format gives, in the request's terms.
DWORD ValueOf(const RuntimeFormat& format, const FormatRequest& request) {
  return request.kbps ? KbpsOf(format) : static_cast<DWORD>(format.quality);
}

// "97 kbps ", "quality 95 ", or nothing when the request names neither.
std::string ValueText(const FormatRequest& request) {
  if (request.kbps) return std::to_string(*request.kbps) + " kbps ";
  if (request.quality) return "quality " + std::to_string(*request.quality) + " ";
  return "";
}

// "96, 128": the values on either side of the one asked for, of the formats at the layout
// nearest the input, and that layout where it is not the input's.
std::string NearestValues(const std::vector<const RuntimeFormat*>& candidates,
                          const FormatRequest& request, const InputShape& input) {
  const RuntimeFormat* layout = Nearest(candidates, input);
  const DWORD asked = request.kbps ? *request.kbps : *request.quality;
  std::optional<DWORD> below, above;
  for (const RuntimeFormat* format : candidates) {
    if (!SameLayout(*format, layout->sampleRate, layout->channels)) continue;
    const DWORD value = ValueOf(*format, request);
    if (value < asked && (!below || value > *below)) below = value;
    if (value > asked && (!above || value < *above)) above = value;
  }
  std::string text;
  if (below) text = std::to_string(*below);
  if (above) text += (below ? ", " : "") + std::to_string(*above);
  if (!SameLayout(*layout, input.sampleRate, input.channels))
    text += " (at " + LayoutText(layout->sampleRate, layout->channels) + ")";
  return text;
}

}  // namespace

bool ChooseFormat(const std::vector<RuntimeFormat>& offered, const FormatRequest& request,
                  const InputShape& input, ChosenFormat& chosen, std::string& error) {
  const RuntimeFormat* codec = RequestedCodec(offered, request, error);
  if (codec == nullptr) return false;
  const std::string& codecName = codec->codecName;

  // The codec's formats of the mode asked for: a bit rate asks for constant rate, a quality
  // for quality-based variable rate; the codec alone takes either.
  std::vector<const RuntimeFormat*> candidates;
  for (const RuntimeFormat& format : offered) {
    if (format.codecIndex != codec->codecIndex) continue;
    if (request.kbps && format.variableBitRate) continue;
    if (request.quality && format.quality == 0) continue;
    candidates.push_back(&format);
  }
  if (candidates.empty()) {
    error =
        codecName + " offers no " + (request.kbps ? "constant-rate" : "quality-based") + " formats";
    return false;
  }
  const std::string wanted = ValueText(request) + "format of " + codecName + " for " +
                             LayoutText(input.sampleRate, input.channels);
  std::vector<const RuntimeFormat*> matching;
  for (const RuntimeFormat* format : candidates) {
    if ((!request.kbps && !request.quality) ||
        ValueOf(*format, request) == (request.kbps ? *request.kbps : *request.quality))
      matching.push_back(format);
  }
  // The codec alone: for the default's codec, the default's mode and rate (a user who names the
  // codec the default uses expects the default's 128 kbps, not the list's first 320), at the
  // layout nearest the input; any other codec's first format for the input.
  if (!request.kbps && !request.quality) {
    const DWORD defaultWord = DefaultWordOf(offered);
    const auto byDefault =
        std::find_if(offered.begin(), offered.end(),
                     [&](const RuntimeFormat& f) { return f.word == defaultWord; });
    if (byDefault != offered.end() && byDefault->codecIndex == codec->codecIndex) {
      std::vector<const RuntimeFormat*> likeDefault;
      for (const RuntimeFormat* format : matching)
        if (format->variableBitRate == byDefault->variableBitRate &&
            KbpsOf(*format) == KbpsOf(*byDefault) && format->quality == byDefault->quality)
          likeDefault.push_back(format);
      if (!likeDefault.empty()) matching = likeDefault;
    }
  }
  if (matching.empty()) {
    error = "no " + wanted + "; nearest: " + NearestValues(candidates, request, input);
    return false;
  }
  const RuntimeFormat* format = Nearest(matching, input);
  chosen.word = format->word;
  chosen.notice.clear();
  if (!SameLayout(*format, input.sampleRate, input.channels)) {
    chosen.notice = "no " + wanted + "; chose " + LayoutText(format->sampleRate, format->channels) +
                    ", the nearest offered";
  }
  return true;
}
