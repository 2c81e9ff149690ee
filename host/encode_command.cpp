// filterhost encode: saves a WAVE file through the filter, as the editor saves one.
#include <cstdio>
#include <vector>

#include "channel_plan.h"
#include "commands.h"
#include "common/speaker_positions.h"
#include "display_text.h"
#include "filter_files.h"
#include "host_samples.h"
#include "interruption.h"
#include "path_checks.h"
#include "progress.h"
#include "runtime_formats.h"
#include "scratch_output.h"
#include "wave_reader.h"

namespace {

// The filter takes the rate as a signed 32-bit number.
constexpr std::uint32_t kLargestRate = 0x7FFFFFFF;

// What the runtime that the filter loaded says a word chooses, for the host's lines: " (codec,
// constant rate, format)", " (the runtime has no such format)", or nothing when the runtime
// cannot be asked or the word is 0, whose meaning is the filter's to find.
std::string ChoiceOf(DWORD options) {
  RuntimeCodecs codecs;
  std::string error;
  if (options == 0 || !codecs.Open(error)) return "";
  const std::optional<RuntimeFormat> format = codecs.FormatOf(options);
  if (!format) return " (the runtime has no such format)";
  std::string description = format->description;
  description.erase(0, description.find_first_not_of(' '));  // the runtime pads the bit rate
  return " (" + OneLine(format->codecName) + ", " + RateModeName(format->variableBitRate) +
         " rate, " + OneLine(description) + ")";
}

// The word of the format that the request names for the input's audio, and what was taken
// instead of the input's sample rate and channels, if anything.
bool ChooseRequestedWord(const FormatRequest& request, const WaveFormat& wave, DWORD& word,
                         std::string& notice, std::string& error) {
  RuntimeCodecs codecs;
  if (!codecs.Open(error)) {
    error = "cannot choose a format by codec, bit rate or quality: " + error;
    return false;
  }
  ChosenFormat chosen;
  if (!ChooseFormat(codecs.OfferedFormats(), request,
                    InputShape{wave.sampleRate, wave.channels, wave.bitsPerSample}, chosen,
                    error)) {
    return false;
  }
  word = chosen.word;
  notice = chosen.notice;
  return true;
}

// The channels of a file the filter saved, as it reads them back; 0 when it cannot tell.
WORD SavedChannels(const FilterExports& exports, const std::string& path) {
  FilterInput saved(exports);
  return saved.Open(path) ? saved.channels() : 0;
}

}  // namespace

int RunEncode(const FilterLibrary& library, const std::string& inputPath,
              const std::string& outputPath, const EncodeSettings& settings) {
  const InterruptionWatch watch;
  DWORD options = settings.options;
  std::string error;
  WaveReader reader;
  if (!CheckReadableFile(inputPath, error) || !reader.Open(inputPath, error))
    return ReportError(error);
  if (reader.dataBytes() == 0) return ReportError(inputPath + ": no audio to encode");
  const WaveFormat& wave = reader.format();
  if (wave.sampleRate > kLargestRate) {
    return ReportError(inputPath + ": a sample rate of " + std::to_string(wave.sampleRate) +
                       " Hz is more than the filter can be given");
  }
  ChannelPlan channels;
  if (!PlanChannels(wave, channels, error)) return ReportError(inputPath + ": " + error);
  // A codec, bit rate or quality becomes its word before any work; what it chose instead of
  // the input's layout is said once the file is saved, so that a failure stays one line.
  std::string choiceNotice;
  if (settings.request.given() &&
      !ChooseRequestedWord(settings.request, wave, options, choiceNotice, error)) {
    return ReportError(error);
  }
  // The output replaces its file only at the end, but the input would be gone then.
  if (IsInputFile(inputPath, outputPath)) return ReportError(outputPath + ": is the input file");
  // Encode writes only files: the writer goes back to the header it wrote first, which no
  // stream allows, so standard output, a device or a pipe is refused as decode would stream to
  // it, and "-" never becomes a file of that name.
  OutputRoute route = OutputRoute::kReplaceFile;
  if (!RouteOutput(outputPath, route, error)) return ReportError(error);
  if (route == OutputRoute::kStandardOutput) {
    return ReportError(outputPath +
                       ": is standard output, which encode cannot write (a Windows Media file is "
                       "finished by going back to its start): name the output file");
  }
  if (route == OutputRoute::kStraightThrough) {
    return ReportError(outputPath + ": is not a regular file");
  }
  // The filter writes a scratch file of the host's, which takes the output's name only once
  // the filter has finished it (declared first, so that it goes after the filter's file).
  ScratchOutput scratch(outputPath);
  if (!scratch.Create(error)) return ReportError(error);

  const WORD hostWidth = settings.width != 0 ? settings.width : HostWidthFor(wave);
  const FilterExports& exports = library.exports();
  FilterOutput output(exports);
  if (!output.Open(scratch.scratchPath(), static_cast<LONG>(wave.sampleRate), hostWidth,
                   channels.filterChannels, options)) {
    return ReportError(outputPath + ": the filter refused to write " +
                       std::to_string(wave.sampleRate) + " Hz, " + std::to_string(hostWidth) +
                       "-bit, " + std::to_string(channels.filterChannels) +
                       "-channel audio with options " + HexWord(options) + ChoiceOf(options));
  }
  if (hostWidth != HostWidthFor(wave)) {
    return ReportError(inputPath + ": the host cannot send its audio as " +
                       std::to_string(hostWidth) + "-bit samples");
  }
  // Tags go to the header before the first samples.
  for (const WaveTag& tag : reader.tags()) {
    exports.filterWriteSpecialData(output.handle(), tag.listType.c_str(), tag.chunkId.c_str(),
                                   tag.data.data(), static_cast<DWORD>(tag.data.size()));
  }

  // Whole frames per chunk, within the chunk size the filter announced.
  const std::size_t sampleBytes = hostWidth / 8u;
  const std::size_t hostFrame = wave.channels * sampleBytes;
  const std::size_t filterFrame = channels.filterChannels * sampleBytes;
  const std::size_t chunk =
      static_cast<std::size_t>(output.chunkSize() > 0 ? output.chunkSize() : 65536);
  const std::size_t frames = std::max<std::size_t>(1, chunk / filterFrame);
  const bool convert = hostWidth == 32;
  const bool arrange = !channels.sources.empty();
  std::vector<float> host((frames * hostFrame + 3) / 4);
  std::vector<std::uint8_t> raw(convert ? frames * wave.frameBytes() : 0);
  std::vector<float> arranged(arrange ? (frames * filterFrame + 3) / 4 : 0);
  auto* hostBytes = reinterpret_cast<BYTE*>(host.data());
  auto* filterBytes = arrange ? reinterpret_cast<BYTE*>(arranged.data()) : hostBytes;

  ProgressBar progress("encoding", reader.dataBytes());
  std::uint64_t consumed = 0;
  while (!Interrupted()) {
    const std::size_t got =
        reader.Read(convert ? raw.data() : hostBytes, frames * wave.frameBytes());
    if (got == 0) break;
    const std::size_t count = got / wave.frameBytes();
    if (convert) WaveToHostFloats(raw.data(), wave, count * wave.channels, host.data());
    if (arrange) {
      ArrangeChannels(hostBytes, count, wave.channels, channels, sampleBytes,
                      hostWidth == 8 ? 0x80 : 0, filterBytes);
    }
    const auto bytes = static_cast<LONG>(count * filterFrame);
    SetLastError(ERROR_SUCCESS);
    if (exports.writeFilterOutput(output.handle(), filterBytes, bytes) != bytes) {
      return ReportError(outputPath + ": the filter could not write the audio" + LastErrorCause());
    }
    consumed += got;
    progress.Update(consumed);
  }
  const DWORD used = exports.filterOptions(output.handle());
  SetLastError(ERROR_SUCCESS);
  output.Close();
  const std::string closeCause = LastErrorCause();
  if (Interrupted()) return InterruptedExit();
  if (reader.failed()) return ReportError(inputPath + ": " + reader.failure());
  // The close reports nothing. The writer gives its finished file the scratch file's name only
  // when everything, the last write included, has succeeded; so the scratch file is checked the
  // way the editor would open it, and an unfinished one never takes the output's name.
  if (!exports.filterUnderstandsFormat(scratch.scratchPath().c_str())) {
    return ReportError(outputPath + ": the filter did not finish the file" + closeCause);
  }
  const WORD savedChannels = SavedChannels(exports, scratch.scratchPath());
  if (!scratch.Commit(error)) return ReportError(error);
  if (!choiceNotice.empty()) {
    std::fprintf(stderr, "filterhost: %s: %s\n", OneLine(inputPath).c_str(),
                 OneLine(choiceNotice).c_str());
  }
  // A format with fewer channels than were handed over took a downmix of every speaker; the
  // user hears of it.
  if (savedChannels != 0 && savedChannels < channels.filterChannels) {
    std::fprintf(stderr, "filterhost: %s: mixed its %u channels (%s) down to %u (%s)\n",
                 OneLine(inputPath).c_str(), unsigned{wave.channels},
                 SpeakerNames(channels.speakers).c_str(), unsigned{savedChannels},
                 SpeakerNames(UsualChannelMask(savedChannels)).c_str());
  }
  // The word the filter used, 0 resolved, and what it chose.
  std::printf("encoded %s into %s with options %s%s\n", OneLine(inputPath).c_str(),
              OneLine(outputPath).c_str(), HexWord(used).c_str(), ChoiceOf(used).c_str());
  return 0;
}
