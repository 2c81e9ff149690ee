#include "com/reader_profile.h"

#include <algorithm>
#include <limits>

#include "base/result_codes.h"
#include "com/com_boundary.h"
#include "com/stream_config.h"
#include "com/text_out.h"
#include "common/com_ptr.h"

namespace wmvcore {

void* ReaderProfile::FindProfileInterface(REFIID iid) {
  if (iid == IID_IWMProfile || iid == IID_IWMProfile2 || iid == IID_IWMProfile3)
    return static_cast<IWMProfile3*>(this);
  return nullptr;
}

void ReaderProfile::DescribeStreams(const asf::Header& header) {
  streams_.clear();
  for (const auto& object : header.objects) {
    const auto* properties = std::get_if<asf::StreamProperties>(&object);
    if (properties == nullptr) continue;
    Stream stream;
    stream.number = properties->StreamNumber();
    if (properties->streamType == asf::kAudioMedia) {
      stream.type = WMMEDIATYPE_Audio;
      const auto wave = ParseWaveFormat(properties->typeSpecific);
      if (wave) {
        stream.mediaType = MediaType::Audio(SubtypeForTag(wave->formatTag), *wave);
        // Held at the most a DWORD holds: a hostile header's product could wrap.
        stream.bitrate = static_cast<DWORD>(
            std::min<QWORD>(QWORD{wave->avgBytesPerSec} * 8, std::numeric_limits<DWORD>::max()));
      }
    } else if (properties->streamType == asf::kVideoMedia) {
      stream.type = WMMEDIATYPE_Video;
    } else {
      continue;  // neither is an output of the reader
    }
    stream.mediaType.majortype = stream.type;
    streams_.push_back(std::move(stream));
  }
  open_ = true;
}

void ReaderProfile::ForgetStreams() {
  streams_.clear();
  open_ = false;
}

HRESULT ReaderProfile::HandOutConfig(const Stream& stream, IWMStreamConfig** config) const {
  // A new configuration each call, as the caller may change its copy.
  auto made = ComPtr<StreamConfig>::Adopt(MakeRuntimeObject<StreamConfig>(stream.type));
  if (!made) return E_OUTOFMEMORY;
  made->SetStreamNumber(stream.number);
  made->SetBitrate(stream.bitrate);
  made->SetType(stream.mediaType);
  *config = made.detach();
  return S_OK;
}

HRESULT ReaderProfile::GetVersion(WMT_VERSION* version) {
  if (version == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  *version = WMT_VER_9_0;  // the version of the profiles this runtime writes
  return S_OK;
}

HRESULT ReaderProfile::GetName(WCHAR* name, DWORD* length) {
  if (!open_) return E_UNEXPECTED;
  return CopyText(WideString(), name, length);
}

HRESULT ReaderProfile::GetDescription(WCHAR* description, DWORD* length) {
  if (!open_) return E_UNEXPECTED;
  return CopyText(WideString(), description, length);
}

HRESULT ReaderProfile::GetStreamCount(DWORD* count) {
  if (count == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  *count = static_cast<DWORD>(streams_.size());
  return S_OK;
}

HRESULT ReaderProfile::GetStream(DWORD index, IWMStreamConfig** config) {
  if (config == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  if (index >= streams_.size()) return E_INVALIDARG;
  return HandOutConfig(streams_[index], config);
}

HRESULT ReaderProfile::GetStreamByNumber(WORD number, IWMStreamConfig** config) {
  if (config == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  for (const Stream& stream : streams_)
    if (stream.number == number) return HandOutConfig(stream, config);
  return NS_E_NO_STREAM;
}

HRESULT ReaderProfile::GetMutualExclusionCount(DWORD* count) {
  if (count == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  *count = 0;  // the files read here have no alternative streams
  return S_OK;
}

HRESULT ReaderProfile::GetStorageFormat(WMT_STORAGE_FORMAT* storage) {
  if (storage == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  *storage = WMT_Storage_Format_V1;  // ASF
  return S_OK;
}

HRESULT ReaderProfile::GetBandwidthSharingCount(DWORD* count) {
  if (count == nullptr) return E_INVALIDARG;
  if (!open_) return E_UNEXPECTED;
  *count = 0;
  return S_OK;
}

// The reader's profile describes the file: nothing in it changes, and what it does not hold
// (names, exclusions, sharing, priorities, packet estimates) is not offered.
HRESULT ReaderProfile::SetName(const WCHAR*) { return E_NOTIMPL; }
HRESULT ReaderProfile::SetDescription(const WCHAR*) { return E_NOTIMPL; }
HRESULT ReaderProfile::RemoveStream(IWMStreamConfig*) { return E_NOTIMPL; }
HRESULT ReaderProfile::RemoveStreamByNumber(WORD) { return E_NOTIMPL; }
HRESULT ReaderProfile::AddStream(IWMStreamConfig*) { return E_NOTIMPL; }
HRESULT ReaderProfile::ReconfigStream(IWMStreamConfig*) { return E_NOTIMPL; }
HRESULT ReaderProfile::CreateNewStream(REFGUID, IWMStreamConfig**) { return E_NOTIMPL; }
HRESULT ReaderProfile::GetMutualExclusion(DWORD, IWMMutualExclusion**) { return E_INVALIDARG; }
HRESULT ReaderProfile::RemoveMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }
HRESULT ReaderProfile::AddMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }
HRESULT ReaderProfile::CreateNewMutualExclusion(IWMMutualExclusion**) { return E_NOTIMPL; }
HRESULT ReaderProfile::GetProfileID(GUID*) { return E_NOTIMPL; }
HRESULT ReaderProfile::SetStorageFormat(WMT_STORAGE_FORMAT) { return E_NOTIMPL; }
HRESULT ReaderProfile::GetBandwidthSharing(DWORD, IWMBandwidthSharing**) { return E_INVALIDARG; }
HRESULT ReaderProfile::RemoveBandwidthSharing(IWMBandwidthSharing*) { return E_NOTIMPL; }
HRESULT ReaderProfile::AddBandwidthSharing(IWMBandwidthSharing*) { return E_NOTIMPL; }
HRESULT ReaderProfile::CreateNewBandwidthSharing(IWMBandwidthSharing**) { return E_NOTIMPL; }
HRESULT ReaderProfile::GetStreamPrioritization(IWMStreamPrioritization**) { return E_NOTIMPL; }
HRESULT ReaderProfile::SetStreamPrioritization(IWMStreamPrioritization*) { return E_NOTIMPL; }
HRESULT ReaderProfile::RemoveStreamPrioritization() { return E_NOTIMPL; }
HRESULT ReaderProfile::CreateNewStreamPrioritization(IWMStreamPrioritization**) {
  return E_NOTIMPL;
}
HRESULT ReaderProfile::GetExpectedPacketCount(QWORD, QWORD*) { return E_NOTIMPL; }

}  // namespace wmvcore
