// The synchronous reader (IWMSyncReader, with the header and profile interfaces on the same
// object). Open parses the file's ASF header for its attributes, codec list and streams and
// opens it with libavformat's ASF demuxer; the file's audio and video streams are the outputs,
// in the order of their stream numbers.
// Audio outputs are decoded and handed out as interleaved PCM; other outputs only describe
// themselves. Decoding is streamed, packet by packet, ahead on worker threads when the runtime
// codes on more than one (audio_stream_decoder.h).
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "com/header_info.h"
#include "com/media_type.h"
#include "com/reader_profile.h"
#include "common/com_object.h"
#include "ffmpeg/ffmpeg_handles.h"
#include "pipeline/audio_stream_decoder.h"

namespace wmvcore {

class SyncReader : public ComObject<SyncReader, IWMSyncReader, HeaderInfo, ReaderProfile> {
 public:
  ~SyncReader();

  HRESULT STDMETHODCALLTYPE Open(const WCHAR* filename) override;
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE SetRange(QWORD start, LONGLONG duration) override;
  HRESULT STDMETHODCALLTYPE SetRangeByFrame(WORD stream, QWORD frame, LONGLONG frames) override;
  HRESULT STDMETHODCALLTYPE GetNextSample(WORD stream, INSSBuffer** sample, QWORD* time,
                                          QWORD* duration, DWORD* flags, DWORD* output,
                                          WORD* streamNumber) override;
  HRESULT STDMETHODCALLTYPE SetStreamsSelected(WORD count, WORD* streams,
                                               WMT_STREAM_SELECTION* selections) override;
  HRESULT STDMETHODCALLTYPE GetStreamSelected(WORD stream,
                                              WMT_STREAM_SELECTION* selection) override;
  HRESULT STDMETHODCALLTYPE SetReadStreamSamples(WORD stream, WINBOOL compressed) override;
  HRESULT STDMETHODCALLTYPE GetReadStreamSamples(WORD stream, WINBOOL* compressed) override;
  HRESULT STDMETHODCALLTYPE GetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                             BYTE* value, WORD* length) override;
  HRESULT STDMETHODCALLTYPE SetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                             const BYTE* value, WORD length) override;
  HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD* outputs) override;
  HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD output, IWMOutputMediaProps** props) override;
  HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD output, IWMOutputMediaProps* props) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD output, DWORD* formats) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD output, DWORD format,
                                            IWMOutputMediaProps** props) override;
  HRESULT STDMETHODCALLTYPE GetOutputNumberForStream(WORD stream, DWORD* output) override;
  HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(DWORD output, WORD* stream) override;
  HRESULT STDMETHODCALLTYPE GetMaxOutputSampleSize(DWORD output, DWORD* bytes) override;
  HRESULT STDMETHODCALLTYPE GetMaxStreamSampleSize(WORD stream, DWORD* bytes) override;
  HRESULT STDMETHODCALLTYPE OpenStream(IStream* stream) override;

  void* FindInterface(REFIID iid);

 protected:
  SyncReader();  // through MakeRuntimeObject (com_boundary.h)

 private:
  struct Output {
    int streamIndex = 0;  // in the demuxer
    WORD streamNumber = 0;
    GUID majorType{};
    std::unique_ptr<AudioStreamDecoder> decoder;  // audio outputs that can be decoded
    bool discrete = false;
    DWORD speakerConfig = 0;
    std::optional<PcmFormat> chosen;  // set by SetOutputProps
    bool ended = false;
  };

  Output* FindOutput(DWORD output);
  // The type of the output's current format: the chosen one, else the first it offers.
  std::optional<MediaType> CurrentType(const Output& output) const;
  // The next sample of any decoding output (or of the one for `stream`, when not 0).
  HRESULT NextDecoded(WORD stream, DecodedSample& sample, std::size_t& outputIndex);

  InputFormatHandle demuxer_;
  PacketHandle packet_;
  std::vector<Output> outputs_;
  std::optional<std::size_t> pending_;  // the output whose decoder may hold frames
  DWORD maxPacketBytes_ = 0;
  bool endOfFile_ = false;
};

}  // namespace wmvcore
