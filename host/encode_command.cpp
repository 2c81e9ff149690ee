// filterhost encode: saves a WAVE file through the filter, as the editor saves one.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "commands.h"
#include "filter_files.h"
#include "host_samples.h"
#include "progress.h"
#include "wave_reader.h"

namespace {

// Checks that the output can be created, so that the error names the path rather than the
// filter. A file that did not exist before is not left behind by the check.
bool CheckWritableOutput(const std::string& path, bool& existed, std::string& error) {
  struct stat status;
  existed = stat(path.c_str(), &status) == 0;
  if (existed && S_ISDIR(status.st_mode)) {
    error = path + ": is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  if (!existed) std::remove(path.c_str());
  return true;
}

std::string Hex32(DWORD value) {
  char text[11];
  std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(value));
  return text;
}

}  // namespace

int RunEncode(const FilterLibrary& library, const std::string& inputPath,
              const std::string& outputPath, DWORD options) {
  std::string error;
  WaveReader reader;
  if (!reader.Open(inputPath, error)) return ReportError(error);
  if (reader.dataBytes() == 0) return ReportError(inputPath + ": no audio to encode");
  bool existed = false;
  if (!CheckWritableOutput(outputPath, existed, error)) return ReportError(error);

  const WaveFormat& wave = reader.format();
  const WORD hostWidth = HostWidthFor(wave);
  const FilterExports& exports = library.exports();
  FilterOutput output(exports);
  if (!output.Open(outputPath, static_cast<LONG>(wave.sampleRate), hostWidth, wave.channels,
                   options)) {
    if (!existed) std::remove(outputPath.c_str());
    return ReportError(outputPath + ": the filter refused to write " +
                       std::to_string(wave.sampleRate) + " Hz, " + std::to_string(wave.channels) +
                       "-channel audio with options " + Hex32(options));
  }
  // Tags go to the header before the first samples.
  for (const WaveTag& tag : reader.tags()) {
    exports.filterWriteSpecialData(output.handle(), tag.listType.c_str(), tag.chunkId.c_str(),
                                   tag.data.data(), static_cast<DWORD>(tag.data.size()));
  }

  // Whole frames per chunk, within the chunk size the filter announced.
  const std::size_t hostFrame = wave.channels * (hostWidth / 8u);
  const std::size_t chunk =
      static_cast<std::size_t>(output.chunkSize() > 0 ? output.chunkSize() : 65536);
  const std::size_t frames = std::max<std::size_t>(1, chunk / hostFrame);
  const bool convert = hostWidth == 32;
  std::vector<float> host((frames * hostFrame + 3) / 4);
  std::vector<std::uint8_t> raw(convert ? frames * wave.frameBytes() : 0);
  auto* hostBytes = reinterpret_cast<BYTE*>(host.data());

  ProgressBar progress("encoding", reader.dataBytes());
  std::uint64_t consumed = 0;
  for (;;) {
    const std::size_t got =
        reader.Read(convert ? raw.data() : hostBytes, frames * wave.frameBytes());
    if (got == 0) break;
    const std::size_t count = got / wave.frameBytes();
    if (convert) WaveToHostFloats(raw.data(), wave, count * wave.channels, host.data());
    const auto bytes = static_cast<LONG>(count * hostFrame);
    if (exports.writeFilterOutput(output.handle(), hostBytes, bytes) != bytes) {
      output.Close();
      std::remove(outputPath.c_str());
      return ReportError(outputPath + ": the filter could not write the audio");
    }
    consumed += got;
    progress.Update(consumed);
  }
  const DWORD used = exports.filterOptions(output.handle());
  output.Close();
  if (reader.failed()) {
    std::remove(outputPath.c_str());
    return ReportError(inputPath + ": read error");
  }
  // The close reports nothing, so the result is checked the way the editor would open it.
  if (!exports.filterUnderstandsFormat(outputPath.c_str())) {
    std::remove(outputPath.c_str());
    return ReportError(outputPath + ": the filter did not finish the file");
  }
  std::printf("encoded %s into %s with options %s\n", inputPath.c_str(), outputPath.c_str(),
              Hex32(used).c_str());
  return 0;
}
