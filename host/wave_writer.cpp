#include "wave_writer.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "file_io.h"
#include "interruption.h"

namespace {

constexpr std::uint64_t kLargestRiffSize = 0xFFFFFFFFu;

void AppendId(std::vector<std::uint8_t>& bytes, const char* id) {
  bytes.insert(bytes.end(), id, id + 4);
}

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  std::uint8_t little[4];
  PutLittle32(little, value);
  bytes.insert(bytes.end(), little, little + 4);
}

void Append16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  std::uint8_t little[2];
  PutLittle16(little, value);
  bytes.insert(bytes.end(), little, little + 2);
}

void AppendChunk(std::vector<std::uint8_t>& bytes, const std::string& id,
                 const std::vector<std::uint8_t>& data) {
  AppendId(bytes, id.c_str());
  Append32(bytes, static_cast<std::uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  if (data.size() & 1) bytes.push_back(0);
}

}  // namespace

WaveWriter::~WaveWriter() { Close(); }

bool WaveWriter::Close() {
  if (file_ == nullptr) return true;
  const bool closed =
      standardOutput_ ? std::fflush(file_) == 0 && !std::ferror(file_) : std::fclose(file_) == 0;
  file_ = nullptr;
  return closed;
}

bool WaveWriter::Fail(const char* what, std::string& error) {
  error = path_ + ": " + what + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
  return false;
}

bool WaveWriter::OpenStream(OutputRoute route, std::string& error) {
  errno = 0;
  if (route == OutputRoute::kStandardOutput) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    file_ = stdout;
    standardOutput_ = true;
    if (path_ == "-") path_ = "standard output";
    return true;
  }
  {
    // A pipe opens only once a reader comes; until then a signal simply ends the run.
    const ImmediateInterruption waitingForAReader;
#ifdef _WIN32
    file_ = std::fopen(path_.c_str(), "wb");
#else
    // Never made here: only what stands at the name is written.
    const int descriptor = open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    file_ = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
    if (descriptor >= 0 && file_ == nullptr) close(descriptor);
#endif
  }
  return file_ != nullptr || Fail("cannot open", error);
}

bool WaveWriter::Create(const std::string& path, const WaveFormat& format,
                        const std::vector<WaveTag>& tags, std::string& error) {
  path_ = path;
  OutputRoute route = OutputRoute::kReplaceFile;
  if (!RouteOutput(path, route, error)) return false;
  if (route != OutputRoute::kReplaceFile) {
    if (!OpenStream(route, error)) return false;
  } else {
    output_.emplace(path);
    if (!output_->Create(error, &file_)) return false;
  }
  // Filled in by Finish, where the file can be gone back to.
  const std::uint32_t unknownSize = output_ ? 0 : kWaveUnknownSize;

  std::vector<std::uint8_t> header;
  AppendId(header, "RIFF");
  Append32(header, unknownSize);
  AppendId(header, "WAVE");

  std::vector<std::uint8_t> fmt;
  Append16(fmt, format.encoding == SampleEncoding::kFloat ? kWaveFormatFloat : kWaveFormatPcm);
  Append16(fmt, format.channels);
  Append32(fmt, format.sampleRate);
  Append32(fmt, format.sampleRate * format.frameBytes());
  Append16(fmt, static_cast<std::uint16_t>(format.frameBytes()));
  Append16(fmt, format.bitsPerSample);
  AppendChunk(header, "fmt ", fmt);

  std::vector<std::uint8_t> info;
  AppendId(info, "INFO");
  for (const WaveTag& tag : tags) {
    if (tag.listType == "INFO") AppendChunk(info, tag.chunkId, tag.data);
  }
  if (info.size() > 4) AppendChunk(header, "LIST", info);
  for (const WaveTag& tag : tags) {
    if (tag.listType == "WAVE" && tag.chunkId == "DISP") AppendChunk(header, "DISP", tag.data);
  }

  AppendId(header, "data");
  dataSizeOffset_ = header.size();
  Append32(header, unknownSize);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
    return Fail("cannot write", error);
  }
  return true;
}

bool WaveWriter::Write(const std::uint8_t* data, std::size_t bytes, std::string& error) {
  errno = 0;
  if (std::fwrite(data, 1, bytes, file_) != bytes) return Fail("cannot write", error);
  dataBytes_ += bytes;
  if (dataSizeOffset_ + 4 + dataBytes_ > kLargestRiffSize) {
    errno = 0;
    return Fail("the audio is too long for a WAVE file (4 GiB)", error);
  }
  return true;
}

bool WaveWriter::Finish(std::string& error) {
  errno = 0;
  if (dataBytes_ & 1) {
    if (std::fputc(0, file_) == EOF) return Fail("cannot write", error);
  }
  if (!output_) return Close() || Fail("cannot write", error);
  const std::uint64_t fileBytes = dataSizeOffset_ + 4 + dataBytes_ + (dataBytes_ & 1);
  std::uint8_t size[4];
  PutLittle32(size, static_cast<std::uint32_t>(fileBytes - 8));
  if (!SeekTo(file_, 4) || std::fwrite(size, 1, 4, file_) != 4) return Fail("cannot write", error);
  PutLittle32(size, static_cast<std::uint32_t>(dataBytes_));
  if (!SeekTo(file_, dataSizeOffset_) || std::fwrite(size, 1, 4, file_) != 4) {
    return Fail("cannot write", error);
  }
  if (!Close()) return Fail("cannot write", error);
  return output_->Commit(error);
}
