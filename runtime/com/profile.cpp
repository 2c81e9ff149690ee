#include "com/profile.h"

#include <algorithm>

#include "base/result.h"
#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/hand_out.h"
#include "com/text_out.h"

namespace wmvcore {
void* Profile::FindInterface(REFIID iid) {
  return iid == IID_IWMProfile ? static_cast<IWMProfile*>(this) : nullptr;
}

HRESULT Profile::GetVersion(WMT_VERSION* version) {
  if (version == nullptr) return E_POINTER;
  *version = version_;
  return S_OK;
}

HRESULT Profile::GetName(WCHAR* name, DWORD* length) { return CopyText(name_, name, length); }

HRESULT Profile::SetName(const WCHAR* name) {
  if (name == nullptr) return E_POINTER;
  name_ = name;
  return S_OK;
}

HRESULT Profile::GetDescription(WCHAR* description, DWORD* length) {
  return CopyText(description_, description, length);
}

HRESULT Profile::SetDescription(const WCHAR* description) {
  if (description == nullptr) return E_POINTER;
  description_ = description;
  return S_OK;
}

HRESULT Profile::GetStreamCount(DWORD* count) {
  if (count == nullptr) return E_POINTER;
  *count = static_cast<DWORD>(streams_.size());
  return S_OK;
}

std::vector<ComPtr<StreamConfig>>::iterator Profile::FindStream(WORD number) {
  return std::find_if(streams_.begin(), streams_.end(),
                      [&](const ComPtr<StreamConfig>& s) { return s->streamNumber() == number; });
}

HRESULT Profile::HandOutCopy(const StreamConfig& stream, IWMStreamConfig** config) {
  auto copy = stream.Copy();
  if (!copy) return E_OUTOFMEMORY;
  *config = copy.detach();
  return S_OK;
}

HRESULT Profile::GetStream(DWORD index, IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  if (index >= streams_.size()) return E_INVALIDARG;
  return HandOutCopy(*streams_[index].get(), config);
}

HRESULT Profile::GetStreamByNumber(WORD number, IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  const auto found = FindStream(number);
  if (found == streams_.end()) return NS_E_INVALID_REQUEST;
  return HandOutCopy(*found->get(), config);
}

HRESULT Profile::RemoveStream(IWMStreamConfig* config) {
  WORD number = 0;
  if (config == nullptr || FAILED(config->GetStreamNumber(&number))) return E_INVALIDARG;
  return RemoveStreamByNumber(number);
}

HRESULT Profile::RemoveStreamByNumber(WORD number) {
  const auto found = FindStream(number);
  if (found == streams_.end()) return NS_E_INVALID_REQUEST;
  streams_.erase(found);
  return S_OK;
}

HRESULT Profile::AddStream(IWMStreamConfig* config) {
  ComPtr<StreamConfig> copy;
  RETURN_IF_FAILED(StreamConfig::CopyOf(config, copy));
  // Every stream needs its own number, set before it joins the profile.
  if (copy->streamNumber() == 0 || FindStream(copy->streamNumber()) != streams_.end())
    return NS_E_INVALID_REQUEST;
  streams_.push_back(std::move(copy));
  return S_OK;
}

HRESULT Profile::ReconfigStream(IWMStreamConfig* config) {
  ComPtr<StreamConfig> copy;
  RETURN_IF_FAILED(StreamConfig::CopyOf(config, copy));
  const auto found = FindStream(copy->streamNumber());
  if (found == streams_.end()) return NS_E_INVALID_REQUEST;
  *found = std::move(copy);
  return S_OK;
}

HRESULT Profile::CreateNewStream(REFGUID type, IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  if (type != WMMEDIATYPE_Audio && type != WMMEDIATYPE_Video) return E_INVALIDARG;
  return HandOut(MakeRuntimeObject<StreamConfig>(type), config);
}

// Mutual exclusion is for files with alternative streams; profiles here have none.
HRESULT Profile::GetMutualExclusionCount(DWORD* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT Profile::GetMutualExclusion(DWORD, IWMMutualExclusion**) { return E_INVALIDARG; }
HRESULT Profile::RemoveMutualExclusion(IWMMutualExclusion*) { return E_INVALIDARG; }
HRESULT Profile::AddMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }
HRESULT Profile::CreateNewMutualExclusion(IWMMutualExclusion**) { return E_NOTIMPL; }

}  // namespace wmvcore
