// Handing a text to a caller under the size protocol: with no buffer, only the length in
// units with the terminator; with a buffer too small, ASF_E_BUFFERTOOSMALL and that length.
#pragma once

#include <algorithm>
#include <string>

#include <windows.h>
#include <wmsdk.h>

#include "base/result_codes.h"
#include "common/wide_text.h"

namespace wmvcore {

template <class Length>
HRESULT CopyText(const WideString& text, WCHAR* buffer, Length* length) {
  if (length == nullptr) return E_POINTER;
  const std::size_t needed = text.size() + 1;
  if (needed > static_cast<std::size_t>(Length(~Length{0}))) return E_INVALIDARG;
  if (buffer != nullptr) {
    if (*length < needed) {
      *length = static_cast<Length>(needed);
      return ASF_E_BUFFERTOOSMALL;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
  }
  *length = static_cast<Length>(needed);
  return S_OK;
}

}  // namespace wmvcore
