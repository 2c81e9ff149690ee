// The runtime's factories, exported under the names and calling convention of wmvcore.dll.
#ifdef _WIN32
#include <initguid.h>  // the SDK's interface and media type identifiers, defined here, once
#endif
#include <wmsdk.h>

#include "base/settings.h"
#include "com/com_boundary.h"
#include "com/hand_out.h"
#include "com/profile_manager.h"
#include "com/sync_reader.h"
#include "com/writer.h"
#include "ffmpeg/ffmpeg_handles.h"

namespace {

// The runtime reports through results only: FFmpeg's own messages about damaged input are
// silenced once, before the first object is made.
void SilenceFfmpeg() {
  static const bool silenced = (av_log_set_level(AV_LOG_QUIET), true);
  (void)silenced;
}

template <class Object, class Interface>
HRESULT Create(Interface** target) {
  if (target == nullptr) return E_POINTER;
  SilenceFfmpeg();
  // The trace's switch is read here, on the caller's thread, so that no worker reads it first.
  wmvcore::settings::TraceEnabled();
  return wmvcore::HandOut(wmvcore::MakeRuntimeObject<Object>(), target);
}

}  // namespace

// On Windows the module definition file names the exports; elsewhere the library's symbols are
// hidden but for these.
#ifdef _WIN32
#define WMVCORE_EXPORT
#else
#define WMVCORE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// The certificate and the rights are for protected content, which this runtime does not read.
WMVCORE_EXPORT HRESULT WINAPI WMCreateSyncReader(IUnknown*, DWORD, IWMSyncReader** reader) {
  return Create<wmvcore::SyncReader>(reader);
}

WMVCORE_EXPORT HRESULT WINAPI WMCreateWriter(IUnknown*, IWMWriter** writer) {
  return Create<wmvcore::Writer>(writer);
}

WMVCORE_EXPORT HRESULT WINAPI WMCreateProfileManager(IWMProfileManager** manager) {
  return Create<wmvcore::ProfileManager>(manager);
}

}  // extern "C"
