#include "asf_muxer.h"

#include <cerrno>
#include <utility>

#include <wmsdk.h>

#include "asf_file.h"
#include "result_codes.h"

namespace wmvcore {
namespace {

constexpr std::size_t kCopyChunk = 1 << 16;
constexpr int kOutputBufferBytes = 1 << 16;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const std::uint8_t*;
#else
using WrittenBytes = std::uint8_t*;  // FFmpeg before 7 declares them writable
#endif

int WritePackets(void* opaque, WrittenBytes bytes, int count) {
  auto& packets = *static_cast<PacketFile*>(opaque);
  const HRESULT written = packets.scratch->file().Write(bytes, static_cast<std::size_t>(count));
  if (SUCCEEDED(written)) return count;
  if (SUCCEEDED(packets.failure)) packets.failure = written;
  return AVERROR(EIO);
}

// libavformat seeks back to rewrite the header when it ends, as it does in any file.
std::int64_t SeekPackets(void* opaque, std::int64_t offset, int whence) {
  File& file = static_cast<PacketFile*>(opaque)->scratch->file();
  QWORD size = 0;
  if (whence == AVSEEK_SIZE)
    return SUCCEEDED(file.Size(size)) ? static_cast<std::int64_t>(size) : -1;
  if (whence != SEEK_SET || offset < 0) return AVERROR(EINVAL);
  return SUCCEEDED(file.Seek(static_cast<QWORD>(offset))) ? offset : AVERROR(EIO);
}

// Copies `from`, from byte `offset` to its end, onto the end of `to`.
HRESULT CopyRest(File& from, QWORD offset, File& to) {
  RETURN_IF_FAILED(from.Seek(offset));
  std::vector<BYTE> chunk(kCopyChunk);
  for (;;) {
    std::size_t got = 0;
    RETURN_IF_FAILED(from.Read(chunk.data(), chunk.size(), got));
    if (got == 0) return S_OK;
    RETURN_IF_FAILED(to.Write(chunk.data(), got));
  }
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

void AsfMuxer::IoFreer::operator()(AVIOContext* io) const {
  av_freep(&io->buffer);
  avio_context_free(&io);
}

HRESULT AsfMuxer::Begin(const FilePath& target, const AVCodecContext& encoder,
                        std::unique_ptr<AsfMuxer>& muxer) {
  RETURN_IF_FAILED(CheckWritable(target));
  std::unique_ptr<AsfMuxer> made(new (std::nothrow) AsfMuxer(target));
  if (!made) return E_OUTOFMEMORY;
  RETURN_IF_FAILED(ScratchFile::Create(target, made->packets_.scratch));

  auto* buffer = static_cast<unsigned char*>(av_malloc(kOutputBufferBytes));
  if (buffer == nullptr) return E_OUTOFMEMORY;
  made->io_.reset(avio_alloc_context(buffer, kOutputBufferBytes, 1, &made->packets_, nullptr,
                                     WritePackets, SeekPackets));
  if (!made->io_) {
    av_free(buffer);
    return E_OUTOFMEMORY;
  }
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, "asf", nullptr) < 0) return E_OUTOFMEMORY;
  made->muxer_.reset(context);
  context->pb = made->io_.get();
  // No settings of FFmpeg's own in the header: it is rewritten with this runtime's anyway.
  context->flags |= AVFMT_FLAG_BITEXACT;
  AVStream* stream = avformat_new_stream(context, nullptr);
  if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, &encoder) < 0)
    return E_OUTOFMEMORY;
  stream->time_base = encoder.time_base;
  made->encoderTimeBase_ = encoder.time_base;
  if (avformat_write_header(context, nullptr) < 0) return made->WriteFailure();
  muxer = std::move(made);
  return S_OK;
}

AsfMuxer::~AsfMuxer() = default;

HRESULT AsfMuxer::WriteFailure() const {
  return FAILED(packets_.failure) ? packets_.failure : NS_E_FILE_WRITE;
}

HRESULT AsfMuxer::Write(AVPacket& packet) {
  packet.stream_index = 0;
  av_packet_rescale_ts(&packet, encoderTimeBase_, muxer_->streams[0]->time_base);
  if (av_write_frame(muxer_.get(), &packet) < 0 || io_->error < 0) return WriteFailure();
  return S_OK;
}

HRESULT AsfMuxer::Finish(const HeaderContent& content) {
  if (av_write_trailer(muxer_.get()) < 0) return WriteFailure();
  avio_flush(io_.get());
  if (io_->error < 0) return WriteFailure();
  muxer_.reset();
  io_.reset();
  return Assemble(content);
}

HRESULT AsfMuxer::Assemble(const HeaderContent& content) {
  File& scratch = packets_.scratch->file();
  AsfFileHeader packets;
  const HRESULT read = ReadAsfHeader(scratch, packets);
  if (FAILED(read)) return read == ASF_E_INVALIDHEADER ? NS_E_FILE_WRITE : read;
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

  std::unique_ptr<ScratchFile> finished;
  RETURN_IF_FAILED(ScratchFile::Create(target_, finished));
  RETURN_IF_FAILED(finished->file().Write(rendered.data(), rendered.size()));
  RETURN_IF_FAILED(CopyRest(scratch, packets.headerBytes, finished->file()));
  return finished->ReplaceTarget();
}

}  // namespace wmvcore
