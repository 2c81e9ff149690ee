// IWMProfile: a version, a name, a description and the streams of a file to be written. The
// profile keeps copies of the stream configurations added to it and hands out copies.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "com/stream_config.h"
#include "common/com_object.h"
#include "common/com_ptr.h"
#include "common/wide_text.h"

namespace wmvcore {

class Profile : public ComObject<Profile, IWMProfile> {
 protected:
  // Through MakeRuntimeObject (com_boundary.h).
  explicit Profile(WMT_VERSION version) : version_(version) {}

 public:
  HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION* version) override;
  HRESULT STDMETHODCALLTYPE GetName(WCHAR* name, DWORD* length) override;
  HRESULT STDMETHODCALLTYPE SetName(const WCHAR* name) override;
  HRESULT STDMETHODCALLTYPE GetDescription(WCHAR* description, DWORD* length) override;
  HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR* description) override;
  HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig** config) override;
  HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD number, IWMStreamConfig** config) override;
  HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig* config) override;
  HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD number) override;
  HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* config) override;
  HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig* config) override;
  HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID type, IWMStreamConfig** config) override;
  HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD index, IWMMutualExclusion** ex) override;
  HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion* ex) override;
  HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion* ex) override;
  HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion** ex) override;

  void* FindInterface(REFIID iid);

 private:
  std::vector<ComPtr<StreamConfig>>::iterator FindStream(WORD number);
  HRESULT HandOutCopy(const StreamConfig& stream, IWMStreamConfig** config);

  WMT_VERSION version_;
  WideString name_;
  WideString description_;
  std::vector<ComPtr<StreamConfig>> streams_;
};

}  // namespace wmvcore
