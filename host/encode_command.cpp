// filterhost encode: saves a WAVE file through the filter, as the editor saves one.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "commands.h"
#include "display_text.h"
#include "filter_files.h"
#include "host_samples.h"
#include "path_checks.h"
#include "progress.h"
#include "wave_reader.h"

namespace {

// The file at a path, told apart from any other file that may later take its name, and from
// itself once changed (Windows reports no inode numbers; its writer changes files in place).
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  time_t modified = 0;

  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return {};
  return {true, status.st_dev, status.st_ino, status.st_size, status.st_mtime};
}

// After a failure: removes what the encode left at the path, but never a file that was there
// before and is still there untouched (the writer replaces its target only when it finishes).
void RemoveIfReplaced(const std::string& path, const FileIdentity& before) {
  const FileIdentity now = IdentityOf(path);
  if (now.exists && now != before) std::remove(path.c_str());
}

// Checks that the output can be created, so that the error names the path rather than the
// filter. A file that did not exist before is not left behind by the check.
bool CheckWritableOutput(const std::string& path, const FileIdentity& before, std::string& error) {
  if (!CheckOutputPath(path, error)) return false;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    error = path + ": cannot write: " + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  if (!before.exists) std::remove(path.c_str());
  return true;
}

}  // namespace

int RunEncode(const FilterLibrary& library, const std::string& inputPath,
              const std::string& outputPath, const EncodeSettings& settings) {
  const DWORD options = settings.options;
  std::string error;
  WaveReader reader;
  if (!reader.Open(inputPath, error)) return ReportError(error);
  if (reader.dataBytes() == 0) return ReportError(inputPath + ": no audio to encode");
  const FileIdentity before = IdentityOf(outputPath);
  if (!CheckWritableOutput(outputPath, before, error)) return ReportError(error);

  const WaveFormat& wave = reader.format();
  const WORD hostWidth = settings.width != 0 ? settings.width : HostWidthFor(wave);
  const FilterExports& exports = library.exports();
  FilterOutput output(exports);
  if (!output.Open(outputPath, static_cast<LONG>(wave.sampleRate), hostWidth, wave.channels,
                   options)) {
    RemoveIfReplaced(outputPath, before);
    return ReportError(outputPath + ": the filter refused to write " +
                       std::to_string(wave.sampleRate) + " Hz, " + std::to_string(hostWidth) +
                       "-bit, " + std::to_string(wave.channels) + "-channel audio with options " +
                       HexWord(options));
  }
  if (hostWidth != HostWidthFor(wave)) {
    output.Close();
    RemoveIfReplaced(outputPath, before);
    return ReportError(inputPath + ": the host cannot send its audio as " +
                       std::to_string(hostWidth) + "-bit samples");
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
      RemoveIfReplaced(outputPath, before);
      return ReportError(outputPath + ": the filter could not write the audio");
    }
    consumed += got;
    progress.Update(consumed);
  }
  const DWORD used = exports.filterOptions(output.handle());
  output.Close();
  if (reader.failed()) {
    RemoveIfReplaced(outputPath, before);
    return ReportError(inputPath + ": read error");
  }
  // The close reports nothing, so the result is checked the way the editor would open it.
  if (!exports.filterUnderstandsFormat(outputPath.c_str())) {
    RemoveIfReplaced(outputPath, before);
    return ReportError(outputPath + ": the filter did not finish the file");
  }
  std::printf("encoded %s into %s with options %s\n", inputPath.c_str(), outputPath.c_str(),
              HexWord(used).c_str());
  return 0;
}
