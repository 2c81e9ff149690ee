#include "com/sync_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "asf/asf_file.h"
#include "base/file_path.h"
#include "base/file_system.h"
#include "base/result.h"
#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/hand_out.h"
#include "com/media_props.h"
#include "com/out_of_memory.h"
#include "common/wide_text.h"

namespace wmvcore {
namespace {

constexpr WCHAR kDiscreteOutput[] = WSTR("EnableDiscreteOutput");
constexpr WCHAR kSpeakerConfig[] = WSTR("SpeakerConfig");

}  // namespace

SyncReader::SyncReader() = default;
SyncReader::~SyncReader() = default;

void* SyncReader::FindInterface(REFIID iid) {
  if (iid == IID_IWMSyncReader) return static_cast<IWMSyncReader*>(this);
  if (void* profile = FindProfileInterface(iid)) return profile;
  return FindHeaderInterface(iid);
}

HRESULT SyncReader::Open(const WCHAR* filename) {
  if (filename == nullptr) return E_INVALIDARG;
  if (demuxer_) return NS_E_INVALID_REQUEST;
  const auto path = PathFromWide(filename);
  if (!path) return NS_E_INVALID_NAME;

  // Only ASF files: the header is parsed here before the demuxer sees the file.
  AsfFileHeader file;
  RETURN_IF_FAILED(ReadAsfFileHeader(*path, file));
  // Encrypted packets cannot be decoded without a licence, which this runtime never has.
  if (file.header.IsProtected()) return NS_E_PROTECTED_CONTENT;

  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path->c_str(), av_find_input_format("asf"), nullptr) < 0)
    return ASF_E_INVALIDHEADER;
  InputFormatHandle demuxer(opened);
  PacketHandle packet(av_packet_alloc());
  if (!packet) return E_OUTOFMEMORY;

  // Where the audio ends by the header: the play duration less the preroll. A broadcast file's
  // duration is not valid, and one of 0 says nothing.
  const auto* properties = file.header.Find<asf::FileProperties>();
  const QWORD length = properties != nullptr && !properties->IsBroadcast()
                           ? properties->DurationWithoutPreroll()
                           : 0;

  // The outputs are the file's own audio and video streams, numbered in the order of their
  // stream numbers. A cover picture is a header attribute ("WM/Picture"), which the demuxer
  // also presents as a stream: it is never an output.
  std::vector<Output> outputs;
  for (unsigned i = 0; i < demuxer->nb_streams; ++i) {
    const AVStream& stream = *demuxer->streams[i];
    const AVMediaType type = stream.codecpar->codec_type;
    if ((type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_VIDEO) ||
        (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
      continue;
    }
    Output output;
    output.streamIndex = static_cast<int>(i);
    output.streamNumber = static_cast<WORD>(stream.id);
    output.majorType = type == AVMEDIA_TYPE_AUDIO ? WMMEDIATYPE_Audio : WMMEDIATYPE_Video;
    if (type == AVMEDIA_TYPE_AUDIO) output.decoder = AudioStreamDecoder::Open(stream, length);
    outputs.push_back(std::move(output));
  }
  std::stable_sort(outputs.begin(), outputs.end(), [](const Output& a, const Output& b) {
    return a.streamNumber < b.streamNumber;
  });

  maxPacketBytes_ = properties != nullptr ? properties->maxPacketSize : 0;
  ReplaceAttributes(AttributesFromHeader(file.header));
  DescribeStreams(file.header);
  const auto* codecs = file.header.Find<asf::CodecList>();
  codecs_ = codecs != nullptr ? codecs->entries : std::vector<asf::CodecEntry>{};
  demuxer_ = std::move(demuxer);
  packet_ = std::move(packet);
  outputs_ = std::move(outputs);
  pending_.reset();
  endOfFile_ = false;
  return S_OK;
}

HRESULT SyncReader::Close() {
  if (!demuxer_) return NS_E_INVALID_REQUEST;
  outputs_.clear();  // decoders before the demuxer that fed them
  packet_.reset();
  demuxer_.reset();
  ReplaceAttributes({});
  ForgetStreams();
  codecs_.clear();
  pending_.reset();
  return S_OK;
}

// Ranges, stream selection and compressed delivery are not offered: the reader delivers
// every audio output decoded, from the start.
HRESULT SyncReader::SetRange(QWORD, LONGLONG) { return E_NOTIMPL; }
HRESULT SyncReader::SetRangeByFrame(WORD, QWORD, LONGLONG) { return E_NOTIMPL; }
HRESULT SyncReader::SetStreamsSelected(WORD, WORD*, WMT_STREAM_SELECTION*) { return E_NOTIMPL; }
HRESULT SyncReader::SetReadStreamSamples(WORD, WINBOOL) { return E_NOTIMPL; }
HRESULT SyncReader::OpenStream(IStream*) { return E_NOTIMPL; }

HRESULT SyncReader::GetStreamSelected(WORD stream, WMT_STREAM_SELECTION* selection) {
  DWORD output = 0;
  RETURN_IF_FAILED(GetOutputNumberForStream(stream, &output));
  if (selection == nullptr) return E_INVALIDARG;
  *selection = WMT_ON;
  return S_OK;
}

HRESULT SyncReader::GetReadStreamSamples(WORD stream, WINBOOL* compressed) {
  DWORD output = 0;
  RETURN_IF_FAILED(GetOutputNumberForStream(stream, &output));
  if (compressed == nullptr) return E_INVALIDARG;
  *compressed = FALSE;
  return S_OK;
}

SyncReader::Output* SyncReader::FindOutput(DWORD output) {
  return output < outputs_.size() ? &outputs_[output] : nullptr;
}

std::optional<MediaType> SyncReader::CurrentType(const Output& output) const {
  if (output.majorType == WMMEDIATYPE_Video) {
    MediaType video;
    video.majortype = WMMEDIATYPE_Video;
    video.subtype = WMMEDIASUBTYPE_RGB24;
    return video;
  }
  if (!output.decoder) return std::nullopt;
  const PcmFormat format = output.chosen.value_or(output.decoder->NativeFormat(output.discrete));
  return MediaType::Pcm(format.rate, format.channels, format.bits);
}

// ---- Output settings ---------------------------------------------------------------------

HRESULT SyncReader::GetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                     BYTE* value, WORD* length) {
  if (!demuxer_) return E_UNEXPECTED;  // as Windows answers before Open
  Output* found = FindOutput(output);
  if (found == nullptr || type == nullptr || length == nullptr) return E_INVALIDARG;
  DWORD setting = 0;
  if (WideEquals(name, kDiscreteOutput)) {
    *type = WMT_TYPE_BOOL;
    setting = found->discrete ? TRUE : FALSE;
  } else if (WideEquals(name, kSpeakerConfig)) {
    *type = WMT_TYPE_DWORD;
    setting = found->speakerConfig;
  } else {
    return E_INVALIDARG;
  }
  if (value != nullptr) {
    if (*length < sizeof(setting)) return ASF_E_BUFFERTOOSMALL;
    std::memcpy(value, &setting, sizeof(setting));
  }
  *length = sizeof(setting);
  return S_OK;
}

HRESULT SyncReader::SetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                     const BYTE* value, WORD length) {
  if (!demuxer_) return E_UNEXPECTED;
  Output* found = FindOutput(output);
  if (found == nullptr || value == nullptr || length != 4) return E_INVALIDARG;
  DWORD setting = 0;
  std::memcpy(&setting, value, sizeof(setting));
  if (WideEquals(name, kDiscreteOutput) && type == WMT_TYPE_BOOL) {
    // All channels, or more than two folded to stereo: this changes the offered format.
    found->discrete = setting != 0;
    return S_OK;
  }
  if (WideEquals(name, kSpeakerConfig) && type == WMT_TYPE_DWORD) {
    // Kept and reported back; the channel count follows EnableDiscreteOutput alone.
    found->speakerConfig = setting;
    return S_OK;
  }
  return E_INVALIDARG;
}

// ---- Outputs and formats -----------------------------------------------------------------

HRESULT SyncReader::GetOutputCount(DWORD* outputs) {
  if (outputs == nullptr) return E_INVALIDARG;
  if (!demuxer_) return NS_E_INVALID_REQUEST;
  *outputs = static_cast<DWORD>(outputs_.size());
  return S_OK;
}

HRESULT SyncReader::GetOutputProps(DWORD output, IWMOutputMediaProps** props) {
  if (props == nullptr) return E_INVALIDARG;
  const Output* found = FindOutput(output);
  if (found == nullptr) return E_INVALIDARG;
  auto type = CurrentType(*found);
  if (!type) return NS_E_INVALID_OUTPUT_FORMAT;
  return HandOut(MakeRuntimeObject<OutputMediaProps>(std::move(*type)), props);
}

HRESULT SyncReader::SetOutputProps(DWORD output, IWMOutputMediaProps* props) {
  Output* found = FindOutput(output);
  if (found == nullptr || props == nullptr) return E_INVALIDARG;
  const auto type = MediaType::Read(props);
  if (!type || type->majortype != found->majorType) return NS_E_INVALID_OUTPUT_FORMAT;
  if (found->majorType != WMMEDIATYPE_Audio) return S_OK;
  const auto wave = type->Wave();
  if (!found->decoder || !wave || !type->IsPcm()) return NS_E_INVALID_OUTPUT_FORMAT;
  const PcmFormat format{wave->samplesPerSec, wave->channels, wave->bitsPerSample};
  if (!IsSupportedPcm(format)) return NS_E_INVALID_OUTPUT_FORMAT;
  found->chosen = format;
  found->decoder->SetFormat(format);
  return S_OK;
}

HRESULT SyncReader::GetOutputFormatCount(DWORD output, DWORD* formats) {
  const Output* found = FindOutput(output);
  if (found == nullptr || formats == nullptr) return E_INVALIDARG;
  *formats = found->decoder || found->majorType == WMMEDIATYPE_Video ? 1 : 0;
  return S_OK;
}

HRESULT SyncReader::GetOutputFormat(DWORD output, DWORD format, IWMOutputMediaProps** props) {
  if (props == nullptr) return E_INVALIDARG;
  Output* found = FindOutput(output);
  if (found == nullptr) return E_INVALIDARG;
  if (format != 0) return NS_E_INVALID_OUTPUT_FORMAT;
  // One format: the output's own, under the current settings.
  std::optional<MediaType> type;
  if (found->decoder) {
    const PcmFormat native = found->decoder->NativeFormat(found->discrete);
    type = MediaType::Pcm(native.rate, native.channels, native.bits);
  } else if (found->majorType == WMMEDIATYPE_Video) {
    type = CurrentType(*found);
  }
  if (!type) return NS_E_INVALID_OUTPUT_FORMAT;
  return HandOut(MakeRuntimeObject<OutputMediaProps>(std::move(*type)), props);
}

HRESULT SyncReader::GetOutputNumberForStream(WORD stream, DWORD* output) {
  if (output == nullptr) return E_INVALIDARG;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    if (outputs_[i].streamNumber == stream) {
      *output = static_cast<DWORD>(i);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT SyncReader::GetStreamNumberForOutput(DWORD output, WORD* stream) {
  const Output* found = FindOutput(output);
  if (found == nullptr || stream == nullptr) return E_INVALIDARG;
  *stream = found->streamNumber;
  return S_OK;
}

HRESULT SyncReader::GetMaxOutputSampleSize(DWORD output, DWORD* bytes) {
  const Output* found = FindOutput(output);
  if (found == nullptr || bytes == nullptr) return E_INVALIDARG;
  const auto type = CurrentType(*found);
  const auto wave = type ? type->Wave() : std::nullopt;
  // A decoded frame holds at most 8192 samples per channel for the codecs of this format.
  *bytes = wave ? 8192u * wave->blockAlign : 0;
  return S_OK;
}

HRESULT SyncReader::GetMaxStreamSampleSize(WORD stream, DWORD* bytes) {
  DWORD output = 0;
  RETURN_IF_FAILED(GetOutputNumberForStream(stream, &output));
  if (bytes == nullptr) return E_INVALIDARG;
  *bytes = maxPacketBytes_;
  return S_OK;
}

// ---- Samples -----------------------------------------------------------------------------

HRESULT SyncReader::NextDecoded(WORD stream, DecodedSample& sample, std::size_t& outputIndex) {
  auto wanted = [&](const Output& output) {
    return output.decoder && (stream == 0 || output.streamNumber == stream);
  };
  for (;;) {
    if (pending_) {
      Output& output = outputs_[*pending_];
      const HRESULT received = output.decoder->Receive(sample);
      if (received == S_OK) {
        outputIndex = *pending_;
        return S_OK;
      }
      if (FAILED(received) && received != NS_E_NO_MORE_SAMPLES) return received;
      if (received == NS_E_NO_MORE_SAMPLES) output.ended = true;
      pending_.reset();
    }
    if (endOfFile_) {
      // Drain the decoders one after the other; the end comes when all are empty.
      for (std::size_t i = 0; i < outputs_.size(); ++i) {
        if (!wanted(outputs_[i]) || outputs_[i].ended) continue;
        outputs_[i].decoder->Send(nullptr);
        pending_ = i;
        break;
      }
      if (!pending_) return NS_E_NO_MORE_SAMPLES;
      continue;
    }
    // Damaged data ends the file like its end: what decoded stands. A failure of the system
    // underneath (an I/O error, memory) is a failure, so that nothing takes a cut-short read
    // for the whole file.
    if (const int read = av_read_frame(demuxer_.get(), packet_.get()); read < 0) {
      const int ioError = demuxer_->pb != nullptr ? demuxer_->pb->error : 0;
      if (ioError < 0 && ioError != AVERROR_EOF) return ReadFailure(-ioError);
      if (read == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
      endOfFile_ = true;
      continue;
    }
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
      if (outputs_[i].streamIndex == packet_->stream_index && wanted(outputs_[i])) {
        outputs_[i].decoder->Send(packet_.get());
        pending_ = i;
        break;
      }
    }
    av_packet_unref(packet_.get());
  }
}

HRESULT SyncReader::GetNextSample(WORD stream, INSSBuffer** sample, QWORD* time, QWORD* duration,
                                  DWORD* flags, DWORD* output, WORD* streamNumber) {
  if (sample == nullptr) return E_INVALIDARG;
  if (!demuxer_) return NS_E_INVALID_REQUEST;
  if (stream != 0) {
    DWORD ignored = 0;
    RETURN_IF_FAILED(GetOutputNumberForStream(stream, &ignored));
  }
  DecodedSample decoded;
  std::size_t index = 0;
  RETURN_IF_FAILED(NextDecoded(stream, decoded, index));
  *sample = decoded.buffer.detach();
  if (time != nullptr) *time = decoded.time;
  if (duration != nullptr) *duration = decoded.duration;
  if (flags != nullptr) *flags = WM_SF_CLEANPOINT;  // every block of PCM stands on its own
  if (output != nullptr) *output = static_cast<DWORD>(index);
  if (streamNumber != nullptr) *streamNumber = outputs_[index].streamNumber;
  return S_OK;
}

}  // namespace wmvcore
