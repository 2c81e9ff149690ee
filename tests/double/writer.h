// IWMWriter with the header interfaces in the same object, as the runtime's writer answers them.
// It copies what it is given (the profile's streams, the input format, the samples written),
// judges the input format and the file name by the writer script, and keeps to the runtime's
// order: configured, then writing after BeginWriting, then ended after EndWriting. Attributes
// can be set until writing begins.
#pragma once

#include <optional>
#include <vector>

#include "double/double_object.h"
#include "double/header_info.h"

namespace runtime_double {

class Writer final : public DoubleObject<Writer, IWMWriter, HeaderInfoFacet<Writer>> {
 public:
  explicit Writer(RuntimeDouble& runtime);

  void* FindInterface(REFIID iid);
  HeaderContents& header() { return header_; }
  HRESULT EnterHeader(std::string_view call, std::string_view arguments, HeaderUse use);

  HRESULT STDMETHODCALLTYPE SetProfile(IWMProfile* profile) override;
  HRESULT STDMETHODCALLTYPE SetOutputFilename(const WCHAR* fileName) override;
  HRESULT STDMETHODCALLTYPE GetInputProps(DWORD input, IWMInputMediaProps** props) override;
  HRESULT STDMETHODCALLTYPE SetInputProps(DWORD input, IWMInputMediaProps* props) override;
  HRESULT STDMETHODCALLTYPE BeginWriting() override;
  HRESULT STDMETHODCALLTYPE EndWriting() override;
  HRESULT STDMETHODCALLTYPE AllocateSample(DWORD size, INSSBuffer** sample) override;
  HRESULT STDMETHODCALLTYPE WriteSample(DWORD input, QWORD time, DWORD flags,
                                        INSSBuffer* sample) override;

  HRESULT STDMETHODCALLTYPE SetProfileByID(REFGUID) override;
  HRESULT STDMETHODCALLTYPE GetInputCount(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetInputFormatCount(DWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetInputFormat(DWORD, DWORD, IWMInputMediaProps**) override;
  HRESULT STDMETHODCALLTYPE Flush() override;

 private:
  enum class State { kConfiguring, kWriting, kEnded };

  // The format GetInputProps offers before the caller sets one.
  MediaFormat DefaultInputFormat() const;

  State state_ = State::kConfiguring;
  std::vector<ProfileStream> streams_;
  std::optional<MediaFormat> inputFormat_;
  bool named_ = false;
  HeaderContents header_;
};

}  // namespace runtime_double
