#include "double/profile.h"

#include <algorithm>
#include <string>

#include "double/describe.h"
#include "double/stream_config.h"

namespace runtime_double {

Profile::Profile(RuntimeDouble& runtime) : DoubleObject(runtime, "Profile") {}

void* Profile::FindInterface(REFIID iid) {
  return iid == IID_IWMProfile ? static_cast<IWMProfile*>(this) : nullptr;
}

HRESULT Profile::AddStream(IWMStreamConfig* config) {
  // Only the double's own configurations can be added, as only the runtime's can to its profile.
  auto* stream = dynamic_cast<StreamConfig*>(config);
  const HRESULT planned =
      Enter("Profile.AddStream", stream == nullptr
                                     ? PointerText(config)
                                     : StreamText(stream->streamNumber(), stream->mediaFormat()));
  if (FAILED(planned)) return planned;
  if (stream == nullptr) return E_INVALIDARG;
  const WORD number = stream->streamNumber();
  const bool taken = std::any_of(streams_.begin(), streams_.end(),
                                 [number](const ProfileStream& s) { return s.number == number; });
  if (number == 0 || taken) return NS_E_INVALID_REQUEST;
  streams_.push_back({number, stream->mediaFormat()});
  return S_OK;
}

HRESULT Profile::GetVersion(WMT_VERSION*) { return Unexpected("Profile.GetVersion"); }
HRESULT Profile::GetName(WCHAR*, DWORD*) { return Unexpected("Profile.GetName"); }
HRESULT Profile::SetName(const WCHAR*) { return Unexpected("Profile.SetName"); }
HRESULT Profile::GetDescription(WCHAR*, DWORD*) { return Unexpected("Profile.GetDescription"); }
HRESULT Profile::SetDescription(const WCHAR*) { return Unexpected("Profile.SetDescription"); }
HRESULT Profile::GetStreamCount(DWORD*) { return Unexpected("Profile.GetStreamCount"); }
HRESULT Profile::GetStream(DWORD, IWMStreamConfig**) { return Unexpected("Profile.GetStream"); }
HRESULT Profile::GetStreamByNumber(WORD, IWMStreamConfig**) {
  return Unexpected("Profile.GetStreamByNumber");
}
HRESULT Profile::RemoveStream(IWMStreamConfig*) { return Unexpected("Profile.RemoveStream"); }
HRESULT Profile::RemoveStreamByNumber(WORD) { return Unexpected("Profile.RemoveStreamByNumber"); }
HRESULT Profile::ReconfigStream(IWMStreamConfig*) { return Unexpected("Profile.ReconfigStream"); }
HRESULT Profile::CreateNewStream(REFGUID, IWMStreamConfig**) {
  return Unexpected("Profile.CreateNewStream");
}
HRESULT Profile::GetMutualExclusionCount(DWORD*) {
  return Unexpected("Profile.GetMutualExclusionCount");
}
HRESULT Profile::GetMutualExclusion(DWORD, IWMMutualExclusion**) {
  return Unexpected("Profile.GetMutualExclusion");
}
HRESULT Profile::RemoveMutualExclusion(IWMMutualExclusion*) {
  return Unexpected("Profile.RemoveMutualExclusion");
}
HRESULT Profile::AddMutualExclusion(IWMMutualExclusion*) {
  return Unexpected("Profile.AddMutualExclusion");
}
HRESULT Profile::CreateNewMutualExclusion(IWMMutualExclusion**) {
  return Unexpected("Profile.CreateNewMutualExclusion");
}

}  // namespace runtime_double
