#include "refusal_reason.h"

#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/com_apartment.h"
#include "common/com_ptr.h"
#include "loaded_runtime.h"
#ifdef _WIN32
#include <nserror.h>
#endif

namespace {

// The host asks as the filter does, for playback (WMT_RIGHT_PLAYBACK, which mingw-w64 names
// only in its DRM header); it reaches the runtime's own interface, never the filter's sources.
constexpr DWORD kPlaybackRights = 0x1;

// What the runtime's reader answers when it opens the file; E_FAIL when it cannot be asked.
// The runtime is the one the filter library loaded: none is loaded here, and none is kept.
HRESULT RuntimeOpenResult(const std::string& path) {
  const auto createReader =
      LoadedRuntimeFunction<decltype(&WMCreateSyncReader)>("WMCreateSyncReader");
  const int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path.c_str(), -1, nullptr, 0);
  if (createReader == nullptr || units <= 0) return E_FAIL;
  std::vector<WCHAR> name(static_cast<std::size_t>(units));
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path.c_str(), -1, name.data(), units);

  const ScopedComApartment apartment;
  if (!apartment.entered()) return E_FAIL;
  ComPtr<IWMSyncReader> reader;
  if (FAILED(createReader(nullptr, kPlaybackRights, reader.put()))) return E_FAIL;
  const HRESULT result = reader->Open(name.data());
  if (SUCCEEDED(result)) reader->Close();
  return result;
}

}  // namespace

std::string RefusedFileMessage(const std::string& path) {
  if (RuntimeOpenResult(path) == NS_E_PROTECTED_CONTENT) {
    return path + ": the file is protected (DRM); the filter cannot read protected content";
  }
  return path + ": not a Windows Media file the filter can read";
}
