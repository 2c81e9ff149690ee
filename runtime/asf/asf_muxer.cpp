#include "asf/asf_muxer.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <utility>

#include <wmsdk.h>

extern "C" {
#include <libavutil/opt.h>
}

#include "asf/byte_io.h"
#include "base/result.h"
#include "base/result_codes.h"

namespace wmvcore {
namespace {

constexpr int kOutputBufferBytes = 1 << 16;
// What libavformat's ASF muxer puts around a data packet's only payload: the packet's parsing
// information and the payload's header.
constexpr int kSinglePayloadPacketOverhead = 26;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const std::uint8_t*;
#else
using WrittenBytes = std::uint8_t*;  // FFmpeg before 7 declares them writable
#endif

// Puts the muxer's bytes where they belong: within its header object into memory (all of them
// while that object's size is not yet known), after it into the file behind this runtime's
// header.
HRESULT TakeOutput(PacketFile& packets, const BYTE* bytes, std::size_t count) {
  const QWORD end = packets.position + count;
  const QWORD headerEnd =
      packets.headerBytes == 0 ? end : std::min<QWORD>(end, packets.headerBytes);
  if (packets.position < headerEnd) {
    const auto taken = static_cast<std::size_t>(headerEnd - packets.position);
    if (packets.header.size() < headerEnd) packets.header.resize(headerEnd);
    std::copy_n(bytes, taken,
                packets.header.begin() + static_cast<std::ptrdiff_t>(packets.position));
    bytes += taken;
    count -= taken;
    packets.position = headerEnd;
  }
  if (count == 0) return S_OK;
  File& file = packets.scratch->file();
  RETURN_IF_FAILED(file.Seek(packets.position - packets.headerBytes + packets.fileOffset));
  RETURN_IF_FAILED(file.Write(bytes, count));
  packets.position += count;
  return S_OK;
}

int WritePackets(void* opaque, WrittenBytes bytes, int count) {
  auto& packets = *static_cast<PacketFile*>(opaque);
  const HRESULT written = TakeOutput(packets, bytes, static_cast<std::size_t>(count));
  if (SUCCEEDED(written)) return count;
  if (SUCCEEDED(packets.failure)) packets.failure = written;
  return AVERROR(EIO);
}

// libavformat seeks back to rewrite its header when it ends, as it does in any file; the
// position is the muxer's own, taken by the next write.
std::int64_t SeekPackets(void* opaque, std::int64_t offset, int whence) {
  auto& packets = *static_cast<PacketFile*>(opaque);
  QWORD size = 0;
  if (whence == AVSEEK_SIZE) {
    if (packets.headerBytes == 0) return static_cast<std::int64_t>(packets.header.size());
    return SUCCEEDED(packets.scratch->file().Size(size))
               ? static_cast<std::int64_t>(size - packets.fileOffset + packets.headerBytes)
               : -1;
  }
  if (whence != SEEK_SET || offset < 0) return AVERROR(EINVAL);
  packets.position = static_cast<QWORD>(offset);
  return offset;
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

void PutDword(Bytes& bytes, std::size_t at, DWORD value) {
  if (bytes.size() < at + 4) return;
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
}

// The stream bitrate properties after the stream properties: one record, the stream's average
// rate (0 until it is known, the object the same size).
void SetStreamBitrate(asf::Header& header, DWORD averageBitrate) {
  const auto* stream = header.Find<asf::StreamProperties>();
  Bytes body{1, 0, static_cast<BYTE>(stream != nullptr ? stream->StreamNumber() : 1), 0, 0, 0,
             0, 0};
  PutDword(body, 4, averageBitrate);
  auto position = header.objects.begin();
  for (auto it = header.objects.begin(); it != header.objects.end(); ++it) {
    auto* unknown = std::get_if<asf::UnknownObject>(&*it);
    if (unknown != nullptr && unknown->id == asf::kStreamBitratePropertiesObject) {
      unknown->body = std::move(body);
      return;
    }
    if (std::holds_alternative<asf::StreamProperties>(*it)) position = it + 1;
  }
  header.objects.insert(position, asf::UnknownObject{asf::kStreamBitratePropertiesObject, body});
}

// A variable-rate stream's header: the "IsVBR" attribute, and once the stream is written its
// average rate in the bitrate properties, in the format block (unless that rate decides how it
// decodes) and as the extended stream properties' data rate where there are any (their peak
// rate stays the format's nominal one, which no stretch of the stream exceeds).
void MarkVariableRate(asf::Header& header, DWORD averageBitrate, bool formatKeepsRate) {
  SetStreamBitrate(header, averageBitrate);
  auto* extended = header.Find<asf::ExtendedContentDescription>();
  if (extended == nullptr) {
    header.objects.push_back(asf::ExtendedContentDescription{});
    extended = header.Find<asf::ExtendedContentDescription>();
  }
  std::erase_if(extended->descriptors,
                [](const asf::Descriptor& d) { return d.name == WSTR("IsVBR"); });
  extended->descriptors.push_back(
      asf::Descriptor{0, 0, WSTR("IsVBR"), asf::ValueType::kBool, Bytes{1, 0, 0, 0}});
  if (averageBitrate == 0) return;
  auto* stream = formatKeepsRate ? nullptr : header.Find<asf::StreamProperties>();
  if (stream != nullptr)
    PutDword(stream->typeSpecific, 8, averageBitrate / 8);  // WAVEFORMATEX nAvgBytesPerSec
  if (auto* extension = header.Find<asf::HeaderExtension>()) {
    for (auto& object : extension->objects) {
      auto* unknown = std::get_if<asf::UnknownObject>(&object);
      if (unknown != nullptr && unknown->id == asf::kExtendedStreamPropertiesObject)
        PutDword(unknown->body, 16, averageBitrate);  // after the start and end times
    }
  }
}

// This runtime's header from the muxer's: the codec list, the attributes and the durations
// set, and the file's size with `restBytes` behind the header.
HRESULT RenderHeader(const Bytes& muxerHeader, const HeaderContent& content, QWORD restBytes,
                     Bytes& rendered) {
  auto header = asf::Header::Parse(muxerHeader);
  if (!header) return NS_E_FILE_WRITE;
  SetCodecList(*header, content.codecs);
  RenderAttributes(content.attributes, *header);
  if (content.variableRate)
    MarkVariableRate(*header, content.averageBitrate, content.formatKeepsRate);
  // Found after the objects above are placed, which may move it.
  auto* file = header->Find<asf::FileProperties>();
  if (file == nullptr) return NS_E_FILE_WRITE;
  file->playDuration = content.duration + file->prerollMs * 10000;
  file->sendDuration = content.duration;
  // The file size is a field of fixed width inside the header: render, then fill it in.
  file->fileSize = header->Render().size() + restBytes;
  rendered = header->Render();
  return S_OK;
}

// The stream's parameters from its format block, as an encoder of that format would give them.
int FillParameters(const WaveFormat& format, AVCodecParameters& parameters) {
  parameters.codec_type = AVMEDIA_TYPE_AUDIO;
  const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
  parameters.codec_id = av_codec_get_id(tags, format.formatTag);
  parameters.codec_tag = format.formatTag;
  parameters.sample_rate = static_cast<int>(format.samplesPerSec);
  av_channel_layout_default(&parameters.ch_layout, format.channels);
  parameters.bit_rate = static_cast<int64_t>(format.avgBytesPerSec) * 8;
  parameters.block_align = format.blockAlign;
  parameters.bits_per_coded_sample = format.bitsPerSample;
  if (format.extra.empty()) return 0;
  parameters.extradata =
      static_cast<uint8_t*>(av_mallocz(format.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (parameters.extradata == nullptr) return AVERROR(ENOMEM);
  std::copy(format.extra.begin(), format.extra.end(), parameters.extradata);
  parameters.extradata_size = static_cast<int>(format.extra.size());
  return 0;
}

}  // namespace

void AsfMuxer::IoFreer::operator()(AVIOContext* io) const {
  av_freep(&io->buffer);
  avio_context_free(&io);
}

HRESULT AsfMuxer::Begin(const FilePath& target, const WaveFormat& format, bool packetPerPayload,
                        HeaderContent content, std::unique_ptr<AsfMuxer>& muxer) {
  RETURN_IF_FAILED(CheckWritable(target));
  std::unique_ptr<AsfMuxer> made(new (std::nothrow) AsfMuxer(target, std::move(content)));
  if (!made || !made->packet_) return E_OUTOFMEMORY;
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
  if (packetPerPayload && av_opt_set_int(context->priv_data, "packet_size",
                                         format.blockAlign + kSinglePayloadPacketOverhead, 0) < 0)
    return NS_E_INVALID_OUTPUT_FORMAT;
  AVStream* stream = avformat_new_stream(context, nullptr);
  if (stream == nullptr || FillParameters(format, *stream->codecpar) < 0) return E_OUTOFMEMORY;
  made->payloadTimeBase_ = AVRational{1, static_cast<int>(format.samplesPerSec)};
  stream->time_base = made->payloadTimeBase_;
  if (avformat_write_header(context, nullptr) < 0) return made->WriteFailure();
  avio_flush(made->io_.get());
  if (made->io_->error < 0) return made->WriteFailure();
  RETURN_IF_FAILED(made->PlaceHeader());
  muxer = std::move(made);
  return S_OK;
}

HRESULT AsfMuxer::PlaceHeader() {
  Bytes& written = packets_.header;
  if (written.size() < asf::kObjectHeaderBytes) return NS_E_FILE_WRITE;
  ByteReader reader(written);
  reader.Guid();
  const QWORD size = reader.Qword();
  if (size < asf::kObjectHeaderBytes || size > written.size()) return NS_E_FILE_WRITE;
  const Bytes rest(written.begin() + static_cast<std::ptrdiff_t>(size), written.end());
  written.resize(static_cast<std::size_t>(size));
  Bytes rendered;
  RETURN_IF_FAILED(RenderHeader(written, content_, rest.size(), rendered));
  packets_.headerBytes = size;
  packets_.fileOffset = rendered.size();
  File& file = packets_.scratch->file();
  RETURN_IF_FAILED(file.Seek(0));
  RETURN_IF_FAILED(file.Write(rendered.data(), rendered.size()));
  return file.Write(rest.data(), rest.size());
}

AsfMuxer::~AsfMuxer() = default;

HRESULT AsfMuxer::WriteFailure() const {
  return FAILED(packets_.failure) ? packets_.failure : NS_E_FILE_WRITE;
}

HRESULT AsfMuxer::Write(const Payload& payload) {
  AVPacket& packet = *packet_;
  av_packet_unref(&packet);
  // The muxer copies the bytes of a packet that does not own them.
  packet.data = const_cast<BYTE*>(payload.data);
  packet.size = static_cast<int>(payload.size);
  packet.stream_index = 0;
  packet.pts = packet.dts = payload.pts;
  payloadBytes_ += payload.size;
  packet.duration = payload.duration;
  av_packet_rescale_ts(&packet, payloadTimeBase_, muxer_->streams[0]->time_base);
  const bool written = av_write_frame(muxer_.get(), &packet) >= 0;
  av_packet_unref(&packet);
  if (!written || io_->error < 0) return WriteFailure();
  return S_OK;
}

HRESULT AsfMuxer::Finish(QWORD duration) {
  if (av_write_trailer(muxer_.get()) < 0) return WriteFailure();
  avio_flush(io_.get());
  if (io_->error < 0) return WriteFailure();
  muxer_.reset();
  io_.reset();

  File& file = packets_.scratch->file();
  QWORD fileBytes = 0;
  RETURN_IF_FAILED(file.Size(fileBytes));
  content_.duration = duration;
  if (content_.variableRate && duration > 0)
    content_.averageBitrate =
        static_cast<DWORD>(std::min<QWORD>(payloadBytes_ * 8 * 10000000 / duration, 0xFFFFFFFFu));
  Bytes rendered;
  RETURN_IF_FAILED(
      RenderHeader(packets_.header, content_, fileBytes - packets_.fileOffset, rendered));
  // Only fields of fixed width have changed since the start: the header fills its place.
  if (rendered.size() != packets_.fileOffset) return NS_E_FILE_WRITE;
  RETURN_IF_FAILED(file.Seek(0));
  RETURN_IF_FAILED(file.Write(rendered.data(), rendered.size()));
  return packets_.scratch->ReplaceTarget();
}

}  // namespace wmvcore
