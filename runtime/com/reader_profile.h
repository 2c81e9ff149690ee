// IWMProfile3 (with IWMProfile and IWMProfile2) on the reader: the streams of the open file,
// as the callers that list a file's streams through its reader's profile expect. Read only:
// a reader's profile describes the file, it does not change it. The owning object derives from
// this class through ComObject, which supplies IUnknown.
#pragma once

#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "asf/asf_header.h"
#include "com/media_type.h"

namespace wmvcore {

class ReaderProfile : public IWMProfile3 {
 public:
  // IWMProfile
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
  // IWMProfile2
  HRESULT STDMETHODCALLTYPE GetProfileID(GUID* id) override;
  // IWMProfile3
  HRESULT STDMETHODCALLTYPE GetStorageFormat(WMT_STORAGE_FORMAT* storage) override;
  HRESULT STDMETHODCALLTYPE SetStorageFormat(WMT_STORAGE_FORMAT storage) override;
  HRESULT STDMETHODCALLTYPE GetBandwidthSharingCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetBandwidthSharing(DWORD index,
                                                IWMBandwidthSharing** bandwidth) override;
  HRESULT STDMETHODCALLTYPE RemoveBandwidthSharing(IWMBandwidthSharing* bandwidth) override;
  HRESULT STDMETHODCALLTYPE AddBandwidthSharing(IWMBandwidthSharing* bandwidth) override;
  HRESULT STDMETHODCALLTYPE CreateNewBandwidthSharing(IWMBandwidthSharing** bandwidth) override;
  HRESULT STDMETHODCALLTYPE GetStreamPrioritization(IWMStreamPrioritization** stream) override;
  HRESULT STDMETHODCALLTYPE SetStreamPrioritization(IWMStreamPrioritization* stream) override;
  HRESULT STDMETHODCALLTYPE RemoveStreamPrioritization() override;
  HRESULT STDMETHODCALLTYPE
  CreateNewStreamPrioritization(IWMStreamPrioritization** stream) override;
  HRESULT STDMETHODCALLTYPE GetExpectedPacketCount(QWORD duration, QWORD* packets) override;

 protected:
  ReaderProfile() = default;
  ~ReaderProfile() = default;

  void* FindProfileInterface(REFIID iid);
  // The audio and video streams of the file whose header this is, in the header's order.
  void DescribeStreams(const asf::Header& header);
  // No file: every call answers E_UNEXPECTED until the next DescribeStreams.
  void ForgetStreams();

 private:
  struct Stream {
    GUID type{};
    WORD number = 0;
    DWORD bitrate = 0;
    MediaType mediaType;
  };
  HRESULT HandOutConfig(const Stream& stream, IWMStreamConfig** config) const;

  std::vector<Stream> streams_;
  bool open_ = false;
};

}  // namespace wmvcore
