// IWMSyncReader with the header interfaces in the same object, as the runtime's reader answers
// them. Open takes a copy of the reader script: the formats offered for output 0, the samples
// and the header. Every call but Open needs an open reader; a call before Open or after Close
// fails the test.
#pragma once

#include <cstddef>
#include <vector>

#include "double/double_object.h"
#include "double/header_info.h"

namespace runtime_double {

class SyncReader final
    : public DoubleObject<SyncReader, IWMSyncReader, HeaderInfoFacet<SyncReader>> {
 public:
  explicit SyncReader(RuntimeDouble& runtime);

  void* FindInterface(REFIID iid);
  HeaderContents& header() { return header_; }
  HRESULT EnterHeader(std::string_view call, std::string_view arguments, HeaderUse use);

  HRESULT STDMETHODCALLTYPE Open(const WCHAR* fileName) override;
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE GetNextSample(WORD streamNumber, INSSBuffer** sample, QWORD* time,
                                          QWORD* duration, DWORD* flags, DWORD* outputNumber,
                                          WORD* sampleStreamNumber) override;
  HRESULT STDMETHODCALLTYPE SetOutputSetting(DWORD output, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                             const BYTE* value, WORD length) override;
  HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD output, IWMOutputMediaProps* props) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD output, DWORD format,
                                            IWMOutputMediaProps** props) override;

  HRESULT STDMETHODCALLTYPE SetRange(QWORD, LONGLONG) override;
  HRESULT STDMETHODCALLTYPE SetRangeByFrame(WORD, QWORD, LONGLONG) override;
  HRESULT STDMETHODCALLTYPE SetStreamsSelected(WORD, WORD*, WMT_STREAM_SELECTION*) override;
  HRESULT STDMETHODCALLTYPE GetStreamSelected(WORD, WMT_STREAM_SELECTION*) override;
  HRESULT STDMETHODCALLTYPE SetReadStreamSamples(WORD, WINBOOL) override;
  HRESULT STDMETHODCALLTYPE GetReadStreamSamples(WORD, WINBOOL*) override;
  HRESULT STDMETHODCALLTYPE GetOutputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*,
                                             WORD*) override;
  HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD, IWMOutputMediaProps**) override;
  HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetOutputNumberForStream(WORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(DWORD, WORD*) override;
  HRESULT STDMETHODCALLTYPE GetMaxOutputSampleSize(DWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetMaxStreamSampleSize(WORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE OpenStream(IStream*) override;

 private:
  enum class State { kCreated, kOpen, kClosed };

  // Logs the call, then refuses it loudly unless the reader is open.
  HRESULT EnterOpen(std::string_view call, std::string_view arguments);

  State state_ = State::kCreated;
  std::vector<MediaFormat> outputFormats_;
  Samples samples_;
  std::size_t nextSample_ = 0;
  HeaderContents header_;
};

}  // namespace runtime_double
