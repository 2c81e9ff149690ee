// filterhost decode: reads a file through the filter, as the editor opens one, into a WAVE file.
#include <cstdio>
#include <vector>

#include "commands.h"
#include "display_text.h"
#include "filter_files.h"
#include "host_samples.h"
#include "interruption.h"
#include "path_checks.h"
#include "progress.h"
#include "refusal_reason.h"
#include "wave_writer.h"

namespace {

WaveFormat WaveFormatFor(const FilterInput& input, const DecodeSettings& settings) {
  WaveFormat format;
  format.channels = input.channels();
  format.sampleRate = static_cast<std::uint32_t>(input.sampleRate());
  const bool floats = input.bitsPerSample() == 32;
  format.encoding = floats && !settings.packed24 ? SampleEncoding::kFloat : SampleEncoding::kPcm;
  format.bitsPerSample = floats && settings.packed24 ? 24 : input.bitsPerSample();
  return format;
}

}  // namespace

int RunDecode(const FilterLibrary& library, const std::string& inputPath,
              const std::string& outputPath, const DecodeSettings& settings) {
  const InterruptionWatch watch;
  std::string error;
  if (!CheckReadableFile(inputPath, error)) return ReportError(error);
  // The decode would replace, or write into, the very file it reads.
  if (IsInputFile(inputPath, outputPath)) {
    return ReportError((outputPath == "-" ? std::string("standard output") : outputPath) +
                       ": is the input file");
  }
  const FilterExports& exports = library.exports();
  if (!exports.filterUnderstandsFormat(inputPath.c_str())) {
    return ReportError(RefusedFileMessage(inputPath));
  }
  FilterInput input(exports);
  if (!input.Open(inputPath)) return ReportError(inputPath + ": the filter could not open it");
  const WORD width = input.bitsPerSample();
  if ((width != 8 && width != 16 && width != 32) || input.chunkSize() < 4) {
    return ReportError(inputPath + ": the filter reports a sample type the host cannot take");
  }

  WaveWriter writer;
  if (!writer.Create(outputPath, WaveFormatFor(input, settings), input.ReadTags(), error)) {
    return ReportError(error);
  }

  // Reads in chunks of the size the filter announced until a short count marks the end.
  const auto chunk = static_cast<std::size_t>(input.chunkSize()) & ~std::size_t{3};
  std::vector<float> buffer(chunk / sizeof(float));
  std::vector<std::uint8_t> packed(settings.packed24 ? chunk / 4 * 3 : 0);
  auto* bytes = reinterpret_cast<BYTE*>(buffer.data());
  ProgressBar progress("decoding", exports.filterGetFileSize(input.handle()));
  std::uint64_t delivered = 0;
  for (;;) {
    if (Interrupted()) return InterruptedExit();
    // The filter leaves why a read ended short as the thread's last error: a failure is not
    // the end of the file, and a cut-short output never takes the place of an earlier file.
    SetLastError(ERROR_SUCCESS);
    const LONG got = exports.readFilterInput(input.handle(), bytes, static_cast<LONG>(chunk));
    const std::size_t count = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (count < chunk) {
      const std::string cause = LastErrorCause();
      if (!cause.empty()) return ReportError(inputPath + ": cannot read" + cause);
    }
    bool written = true;
    if (width != 32) {
      written = writer.Write(bytes, count, error);
    } else if (settings.packed24) {
      HostFloatsToPcm24(buffer.data(), count / 4, packed.data());
      written = writer.Write(packed.data(), count / 4 * 3, error);
    } else {
      HostFloatsToWaveFloats(buffer.data(), count / 4);
      written = writer.Write(bytes, count / 4 * 4, error);
    }
    if (!written) return ReportError(error);
    delivered += count;
    progress.Update(delivered);
    if (count < chunk) break;
  }
  if (Interrupted()) return InterruptedExit();
  if (!writer.Finish(error)) return ReportError(error);
  // Standard output carries the audio then, and nothing else.
  if (writer.toStandardOutput()) return 0;
  const std::string shownInput = OneLine(inputPath);
  const std::string shownOutput = OneLine(outputPath);
  // A header without packets opens and delivers nothing: said plainly, not as a format.
  if (delivered == 0) {
    std::printf("decoded %s: 0 bytes of audio into %s\n", shownInput.c_str(), shownOutput.c_str());
    return 0;
  }
  std::printf("decoded %s: %llu bytes of %ld Hz, %u-bit, %u-channel audio into %s\n",
              shownInput.c_str(), static_cast<unsigned long long>(delivered),
              static_cast<long>(input.sampleRate()), unsigned{width}, unsigned{input.channels()},
              shownOutput.c_str());
  return 0;
}
