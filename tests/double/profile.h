// IWMProfile: the streams added to an empty profile, each a copy of its stream configuration.
#pragma once

#include <vector>

#include "double/double_object.h"

namespace runtime_double {

class Profile final : public DoubleObject<Profile, IWMProfile> {
 public:
  explicit Profile(RuntimeDouble& runtime);

  void* FindInterface(REFIID iid);
  const std::vector<ProfileStream>& streams() const { return streams_; }

  HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig* config) override;

  HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION*) override;
  HRESULT STDMETHODCALLTYPE GetName(WCHAR*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetName(const WCHAR*) override;
  HRESULT STDMETHODCALLTYPE GetDescription(WCHAR*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR*) override;
  HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetStream(DWORD, IWMStreamConfig**) override;
  HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD, IWMStreamConfig**) override;
  HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig*) override;
  HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override;
  HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig*) override;
  HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID, IWMStreamConfig**) override;
  HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD*) override;
  HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion**) override;
  HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion*) override;
  HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion*) override;
  HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion**) override;

 private:
  std::vector<ProfileStream> streams_;
};

}  // namespace runtime_double
