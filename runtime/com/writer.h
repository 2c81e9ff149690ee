// The writer (IWMWriter, with the header interfaces on the same object). It takes a profile of
// one audio stream in a format of the codec catalogue, PCM input of 8, 16 or 24 bits at any
// rate and channel count, and header attributes until writing begins. BeginWriting opens the
// encoder and the scratch file; WriteSample encodes; EndWriting finishes the file under its
// name. A writer released before EndWriting, or after a failure, leaves no file behind. A
// failure of the file system is also left as the thread's last error (GetLastError).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <windows.h>
#include <wmsdk.h>

#include "asf/asf_muxer.h"
#include "codecs/codec_catalogue.h"
#include "com/header_info.h"
#include "com/media_type.h"
#include "common/com_object.h"
#include "common/wide_text.h"
#include "pipeline/audio_encoder.h"

namespace wmvcore {

class Writer : public ComObject<Writer, IWMWriter, HeaderInfo> {
 public:
  ~Writer();

  HRESULT STDMETHODCALLTYPE SetProfileByID(REFGUID profile) override;
  HRESULT STDMETHODCALLTYPE SetProfile(IWMProfile* profile) override;
  HRESULT STDMETHODCALLTYPE SetOutputFilename(const WCHAR* filename) override;
  HRESULT STDMETHODCALLTYPE GetInputCount(DWORD* inputs) override;
  HRESULT STDMETHODCALLTYPE GetInputProps(DWORD input, IWMInputMediaProps** props) override;
  HRESULT STDMETHODCALLTYPE SetInputProps(DWORD input, IWMInputMediaProps* props) override;
  HRESULT STDMETHODCALLTYPE GetInputFormatCount(DWORD input, DWORD* formats) override;
  HRESULT STDMETHODCALLTYPE GetInputFormat(DWORD input, DWORD format,
                                           IWMInputMediaProps** props) override;
  HRESULT STDMETHODCALLTYPE BeginWriting() override;
  HRESULT STDMETHODCALLTYPE EndWriting() override;
  HRESULT STDMETHODCALLTYPE AllocateSample(DWORD size, INSSBuffer** sample) override;
  HRESULT STDMETHODCALLTYPE WriteSample(DWORD input, QWORD time, DWORD flags,
                                        INSSBuffer* sample) override;
  HRESULT STDMETHODCALLTYPE Flush() override;

  void* FindInterface(REFIID iid);

 protected:
  Writer();  // through MakeRuntimeObject (com_boundary.h)

 private:
  enum class State { kConfiguring, kWriting, kFinished, kFailed };

  // The stream that SetProfile accepted.
  struct Stream {
    const CatalogueCodec* codec = nullptr;
    WaveFormat wave;
    WideString description;
    bool variableRate = false;
  };

  // Ends writing after a failure: the scratch file goes, the target is never made.
  HRESULT Fail(HRESULT result);

  State state_ = State::kConfiguring;
  std::optional<Stream> stream_;
  std::optional<PcmFormat> input_;
  FilePath target_;
  std::unique_ptr<AudioEncoder> encoder_;
  std::unique_ptr<AsfMuxer> muxer_;
};

}  // namespace wmvcore
