#include "asf_muxer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

#include <wmsdk.h>

#include "asf_file.h"

namespace wmvcore {
namespace {

constexpr std::size_t kCopyChunk = 1 << 16;

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a new, empty, uniquely named file beside `target` with the usual permissions; the
// open descriptor, or -1.
int CreateScratch(const std::string& target, const char* purpose, std::string& path) {
  const std::string stem = DirectoryOf(target) + "/." + BaseName(target) + "." + purpose + "-";
  const auto seed =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    path = stem + std::to_string(getpid()) + "-" + std::to_string((seed + attempt) % 1000000007);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const BYTE* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(fd, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Copies `from` from byte `offset` to its end onto `fd`.
bool CopyRest(const std::string& from, QWORD offset, int fd) {
  std::FILE* source = std::fopen(from.c_str(), "rb");
  if (source == nullptr) return false;
  bool ok = fseeko(source, static_cast<off_t>(offset), SEEK_SET) == 0;
  std::vector<BYTE> chunk(kCopyChunk);
  while (ok) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), source);
    if (got == 0) {
      ok = std::ferror(source) == 0;
      break;
    }
    ok = WriteAll(fd, chunk.data(), got);
  }
  std::fclose(source);
  return ok;
}

// Places the codec list after the stream properties, as Windows' own files have it.
void SetCodecList(asf::Header& header, const std::vector<asf::CodecEntry>& codecs) {
  if (auto* list = header.Find<asf::CodecList>()) {
    list->entries = codecs;
    return;
  }
  auto position = header.objects.begin();
  for (auto it = header.objects.begin(); it != header.objects.end(); ++it)
    if (std::holds_alternative<asf::StreamProperties>(*it)) position = it + 1;
  header.objects.insert(position, asf::CodecList{codecs});
}

}  // namespace

HRESULT CheckWritable(const std::string& target) {
  if (target.empty() || target.back() == '/') return NS_E_INVALID_NAME;
  struct stat status {};
  if (stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return NS_E_FILE_WRITE;
  const std::string directory = DirectoryOf(target);
  if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return NS_E_FILE_WRITE;
  if (access(directory.c_str(), W_OK | X_OK) != 0) return NS_E_FILE_WRITE;
  return S_OK;
}

void AsfMuxer::OutputCloser::operator()(AVFormatContext* context) const {
  if (context->pb != nullptr) avio_closep(&context->pb);
  avformat_free_context(context);
}

HRESULT AsfMuxer::Begin(const std::string& target, const AVCodecContext& encoder,
                        std::unique_ptr<AsfMuxer>& muxer) {
  RETURN_IF_FAILED(CheckWritable(target));
  std::string scratch;
  const int fd = CreateScratch(target, "packets", scratch);
  if (fd < 0) return NS_E_FILE_WRITE;
  close(fd);
  std::unique_ptr<AsfMuxer> made(new (std::nothrow) AsfMuxer(target, scratch));
  if (!made) {
    unlink(scratch.c_str());
    return E_OUTOFMEMORY;
  }

  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, "asf", nullptr) < 0) return E_OUTOFMEMORY;
  made->muxer_.reset(context);
  // No settings of FFmpeg's own in the header: it is rewritten with this runtime's anyway.
  context->flags |= AVFMT_FLAG_BITEXACT;
  AVStream* stream = avformat_new_stream(context, nullptr);
  if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, &encoder) < 0)
    return E_OUTOFMEMORY;
  stream->time_base = encoder.time_base;
  made->encoderTimeBase_ = encoder.time_base;
  // "file:" keeps a name with a colon from being read as another protocol.
  if (avio_open(&context->pb, ("file:" + scratch).c_str(), AVIO_FLAG_WRITE) < 0 ||
      avformat_write_header(context, nullptr) < 0)
    return NS_E_FILE_WRITE;
  muxer = std::move(made);
  return S_OK;
}

AsfMuxer::~AsfMuxer() {
  muxer_.reset();
  unlink(scratch_.c_str());
}

HRESULT AsfMuxer::Write(AVPacket& packet) {
  packet.stream_index = 0;
  av_packet_rescale_ts(&packet, encoderTimeBase_, muxer_->streams[0]->time_base);
  if (av_write_frame(muxer_.get(), &packet) < 0 || muxer_->pb->error < 0) return NS_E_FILE_WRITE;
  return S_OK;
}

HRESULT AsfMuxer::Finish(const HeaderContent& content) {
  if (av_write_trailer(muxer_.get()) < 0) return NS_E_FILE_WRITE;
  avio_flush(muxer_->pb);
  const bool written = muxer_->pb->error >= 0;
  muxer_.reset();  // closes the scratch file
  if (!written) return NS_E_FILE_WRITE;
  return Assemble(content);
}

HRESULT AsfMuxer::Assemble(const HeaderContent& content) {
  AsfFileHeader packets;
  if (FAILED(ReadAsfFileHeader(scratch_, packets))) return NS_E_FILE_WRITE;
  asf::Header& header = packets.header;
  SetCodecList(header, content.codecs);
  RenderAttributes(content.attributes, header);
  // Found after the objects above are placed, which may move it.
  auto* file = header.Find<asf::FileProperties>();
  if (file == nullptr) return NS_E_FILE_WRITE;
  file->playDuration = content.duration + file->prerollMs * 10000;
  file->sendDuration = content.duration;
  // The file size is a field of fixed width inside the header: render, then fill it in.
  const QWORD rest = packets.fileBytes - packets.headerBytes;
  file->fileSize = header.Render().size() + rest;
  const Bytes rendered = header.Render();

  std::string finished;
  const int fd = CreateScratch(target_, "finished", finished);
  if (fd < 0) return NS_E_FILE_WRITE;
  bool ok = WriteAll(fd, rendered.data(), rendered.size()) &&
            CopyRest(scratch_, packets.headerBytes, fd) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(finished.c_str(), target_.c_str()) != 0) {
    unlink(finished.c_str());
    return NS_E_FILE_WRITE;
  }
  return S_OK;
}

}  // namespace wmvcore
