#include "wave_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "file_io.h"

namespace {

constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// What sox writes as the size of a data chunk whose length it did not know (a pipe's).
constexpr std::uint32_t kSoxUnknownSize = 0x7FFFF000;
// A tag longer than this is cut: chunk sizes come from the file and may lie.
constexpr std::uint32_t kLongestTag = 1 << 20;

// A data chunk whose writer could not know its length (it wrote to a pipe) runs to the file's
// end.
bool IsLengthUnknown(std::uint64_t declared) {
  return declared == kWaveUnknownSize || declared == kSoxUnknownSize;
}

bool IsId(const std::uint8_t* bytes, const char* id) { return std::memcmp(bytes, id, 4) == 0; }

bool ReadExactly(std::FILE* file, void* buffer, std::size_t bytes) {
  return std::fread(buffer, 1, bytes, file) == bytes;
}

// The text of a tag as stored, up to its first NUL, followed by one NUL.
std::vector<std::uint8_t> TextWithNul(const std::vector<std::uint8_t>& stored, std::size_t from) {
  std::vector<std::uint8_t> text;
  for (std::size_t i = from; i < stored.size() && stored[i] != 0; ++i) text.push_back(stored[i]);
  text.push_back(0);
  return text;
}

}  // namespace

WaveReader::~WaveReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool WaveReader::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::uint8_t header[12];
  if (!SizeOf(file_, fileSize_) || !SeekTo(file_, 0) || !ReadExactly(file_, header, 12) ||
      !(IsId(header, "RIFF") || IsId(header, "RF64") || IsId(header, "BW64")) ||
      !IsId(header + 8, "WAVE")) {
    error = path + ": not a RIFF WAVE file";
    return false;
  }
  // RF64 and BW64 files (WAVE beyond 4 GiB) give the data chunk's real size in a "ds64" chunk.
  const bool sizesInDs64 = !IsId(header, "RIFF");
  std::optional<std::uint64_t> ds64DataSize;

  // The RIFF size is not trusted: the chunk list is walked to the real end of the file, and
  // every chunk is cut at that end.
  bool haveFormat = false;
  bool haveData = false;
  std::uint64_t promisedData = 0;
  std::uint64_t position = 12;
  while (position + 8 <= fileSize_) {
    std::uint8_t chunk[8];
    if (!SeekTo(file_, position) || !ReadExactly(file_, chunk, 8)) break;
    std::uint64_t declared = Little32(chunk + 4);
    const std::uint64_t body = position + 8;
    const std::uint64_t held = fileSize_ - body;
    const std::uint32_t size = static_cast<std::uint32_t>(std::min<std::uint64_t>(declared, held));
    if (IsId(chunk, "ds64") && sizesInDs64 && size >= 16 && !ds64DataSize) {
      std::uint8_t sizes[16];
      if (ReadExactly(file_, sizes, 16))
        ds64DataSize = Little32(sizes + 8) | std::uint64_t{Little32(sizes + 12)} << 32;
    } else if (IsId(chunk, "fmt ") && !haveFormat) {
      if (!ReadFormat(size, error)) {
        error = path + ": " + error;
        return false;
      }
      haveFormat = true;
    } else if (IsId(chunk, "data") && !haveData) {
      if (declared == kWaveUnknownSize && ds64DataSize) declared = *ds64DataSize;
      dataOffset_ = body;
      dataBytes_ = IsLengthUnknown(declared) ? held : std::min(declared, held);
      promisedData = IsLengthUnknown(declared) ? held : declared;
      haveData = true;
    } else if (IsId(chunk, "LIST") && size >= 4) {
      std::uint8_t type[4];
      if (ReadExactly(file_, type, 4) && IsId(type, "INFO")) ReadInfoList(body + 4, size - 4);
    } else if (IsId(chunk, "DISP")) {
      ReadDisplayChunk(size);
    }
    position = NextChunk(body + declared, declared & 1);
  }
  if (!haveFormat || !haveData) {
    error = path + (haveFormat ? ": no sample data" : ": no format chunk");
    return false;
  }
  // Audio that the file promises but does not hold is lost audio, not the end of it: the save
  // is refused rather than made of part of the input under the whole one's name. Only whole
  // frames count, so a writer that rounded its size up by a byte still reads.
  const std::uint32_t frame = format_.frameBytes();
  if (dataBytes_ / frame < promisedData / frame) {
    error = path + ": cut short: its data chunk promises " + std::to_string(promisedData) +
            " bytes of audio, the file holds " + std::to_string(dataBytes_);
    return false;
  }
  dataBytes_ -= dataBytes_ % frame;
  if (!SeekTo(file_, dataOffset_)) {
    error = path + ": cannot read the sample data";
    return false;
  }
  return true;
}

bool WaveReader::ReadFormat(std::uint32_t size, std::string& error) {
  std::uint8_t bytes[40] = {};
  if (size < 16 || !ReadExactly(file_, bytes, std::min<std::uint32_t>(size, sizeof(bytes)))) {
    error = "malformed format chunk";
    return false;
  }
  std::uint16_t tag = Little16(bytes);
  // An extensible format names its speakers, and its real encoding in the first two bytes of
  // its sub-format.
  if (tag == kFormatExtensible && size >= 40 && Little16(bytes + 16) >= 22) {
    format_.channelMask = Little32(bytes + 20);
    tag = Little16(bytes + 24);
  }
  format_.channels = Little16(bytes + 2);
  format_.sampleRate = Little32(bytes + 4);
  const std::uint16_t blockAlign = Little16(bytes + 12);
  format_.bitsPerSample = Little16(bytes + 14);

  const std::uint16_t bits = format_.bitsPerSample;
  const bool pcm = tag == kWaveFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool floating = tag == kWaveFormatFloat && (bits == 32 || bits == 64);
  format_.encoding = floating ? SampleEncoding::kFloat : SampleEncoding::kPcm;
  if (!pcm && !floating) {
    error = "unsupported sample format (tag " + std::to_string(tag) + ", " + std::to_string(bits) +
            " bits); 8-, 16-, 24- and 32-bit PCM or 32- and 64-bit float are supported";
    return false;
  }
  if (format_.channels == 0 || format_.sampleRate == 0 || blockAlign != format_.frameBytes()) {
    error = "inconsistent format chunk";
    return false;
  }
  return true;
}

std::uint64_t WaveReader::NextChunk(std::uint64_t end, bool padded) {
  // Common writers leave out the pad byte after a chunk of odd size; readers of the format
  // take the next chunk where its identifier stands.
  if (padded && !ChunkIdAt(end + 1) && ChunkIdAt(end)) return end;
  return end + (padded ? 1 : 0);
}

// Whether four printable characters, a chunk identifier, stand at the position.
bool WaveReader::ChunkIdAt(std::uint64_t position) {
  std::uint8_t id[4];
  if (position + 8 > fileSize_ || !SeekTo(file_, position) || !ReadExactly(file_, id, 4))
    return false;
  return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

void WaveReader::ReadInfoList(std::uint64_t start, std::uint32_t size) {
  const std::uint64_t end = start + size;
  std::uint64_t position = start;
  while (position + 8 <= end) {
    std::uint8_t item[8];
    if (!SeekTo(file_, position) || !ReadExactly(file_, item, 8)) return;
    const std::uint32_t declared = Little32(item + 4);
    const std::uint64_t itemSize = std::min<std::uint64_t>(declared, end - position - 8);
    std::vector<std::uint8_t> stored(std::min<std::uint64_t>(itemSize, kLongestTag));
    if (!ReadExactly(file_, stored.data(), stored.size())) return;
    tags_.push_back(
        {"INFO", std::string(reinterpret_cast<const char*>(item), 4), TextWithNul(stored, 0)});
    position += 8 + std::uint64_t{declared} + (declared & 1);
  }
}

void WaveReader::ReadDisplayChunk(std::uint32_t size) {
  std::vector<std::uint8_t> stored(std::min(size, kLongestTag));
  if (size < 4 || !ReadExactly(file_, stored.data(), stored.size())) return;
  if (Little32(stored.data()) != 1) return;  // only text is a tag; pictures are not
  std::vector<std::uint8_t> data = {1, 0, 0, 0};
  const std::vector<std::uint8_t> text = TextWithNul(stored, 4);
  data.insert(data.end(), text.begin(), text.end());
  tags_.push_back({"WAVE", "DISP", std::move(data)});
}

std::size_t WaveReader::Read(std::uint8_t* buffer, std::size_t bytes) {
  const std::uint64_t left = dataBytes_ - dataRead_;
  std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, left));
  wanted -= wanted % format_.frameBytes();
  const std::size_t got = std::fread(buffer, 1, wanted, file_);
  const std::size_t whole = got - got % format_.frameBytes();
  dataRead_ += whole;
  if (got < wanted && failure_.empty()) {
    // Either the disk failed or the file lost its end after it was opened; both leave the
    // audio incomplete, and the data ends here.
    failure_ = std::ferror(file_) != 0
                   ? std::string("cannot read: ") + std::strerror(errno)
                   : "cut short while being read: it ended after " + std::to_string(dataRead_) +
                         " of its " + std::to_string(dataBytes_) + " bytes of audio";
    dataRead_ = dataBytes_;
  }
  return whole;
}
