#include "options/list_fillers.h"

#include "common/wide_text.h"
#include "common/com_apartment.h"
#include "options/codec_enumeration.h"
#include "options/options_resource.h"

namespace {

LRESULT SendToList(HWND window, int listId, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(window, listId, message, wParam, lParam);
}

// The text in the ANSI code page, terminator included; empty when it cannot be converted or
// its buffer cannot be had. The runtime's texts arrive ended at the length its second call
// reported, so converting up to the terminator converts exactly that text.
HeapBuffer<char> ToListText(const WCHAR* text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) return {};
  HeapBuffer<char> converted(static_cast<std::size_t>(bytes));
  if (!converted ||
      WideCharToMultiByte(CP_ACP, 0, text, -1, converted.get(), bytes, nullptr, nullptr) == 0) {
    return {};
  }
  return converted;
}

// Adds an entry with its datum; the position that the list gave it, or CB_ERR.
LRESULT AddListEntry(HWND window, int listId, const WCHAR* text, DWORD datum) {
  LRESULT position = CB_ERR;
  {
    // The list copies the text, which is freed right after.
    const HeapBuffer<char> converted = ToListText(text);
    if (!converted) return CB_ERR;
    position =
        SendToList(window, listId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(converted.get()));
  }
  if (position < 0) return CB_ERR;  // CB_ERR or CB_ERRSPACE
  SendToList(window, listId, CB_SETITEMDATA, static_cast<WPARAM>(position), datum);
  return position;
}

void AddCodecs(HWND window, BOOL variableBitRate, DWORD requestedCodec) {
  CodecEnumeration enumeration;
  if (!enumeration.Open()) return;
  IWMCodecInfo3* codecInfo = enumeration.codecInfo.get();
  DWORD codecs = 0;
  if (FAILED(codecInfo->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs))) return;
  for (DWORD codecIndex = 0; codecIndex < codecs; ++codecIndex) {
    // A codec without formats under the mode is not listed.
    DWORD formats = 0;
    if (FAILED(SelectBitRateMode(codecInfo, codecIndex, variableBitRate)) ||
        FAILED(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, codecIndex, &formats)) ||
        formats == 0) {
      continue;
    }
    const HeapBuffer<WCHAR> name = ReadCodecName(codecInfo, codecIndex);
    if (!name) continue;
    const LRESULT position = AddListEntry(window, IDC_CODEC, name.get(), codecIndex);
    // The list keeps the selection on this entry while later sorted insertions move it.
    if (position != CB_ERR && codecIndex == requestedCodec) {
      SendToList(window, IDC_CODEC, CB_SETCURSEL, static_cast<WPARAM>(position));
    }
  }
}

void AddFormats(HWND window, BOOL variableBitRate, DWORD codecIndex) {
  CodecEnumeration enumeration;
  if (!enumeration.Open()) return;
  IWMCodecInfo3* codecInfo = enumeration.codecInfo.get();
  DWORD formats = 0;
  if (FAILED(SelectBitRateMode(codecInfo, codecIndex, variableBitRate)) ||
      FAILED(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, codecIndex, &formats))) {
    return;
  }
  for (DWORD formatIndex = 0; formatIndex < formats; ++formatIndex) {
    CodecFormatDetails details;
    if (!details.Read(codecInfo, codecIndex, formatIndex)) continue;
    // Mono and stereo only, and nothing meant for audio with video; rate and width may be any.
    if (details.format->nChannels > 2 || WideContains(details.description.get(), WSTR("(A/V)"))) {
      continue;
    }
    AddListEntry(window, IDC_FORMAT, details.description.get(), formatIndex);
  }
}

}  // namespace

void FillCodecList(HWND window, BOOL variableBitRate, DWORD requestedCodec) {
  {
    ScopedComApartment apartment;
    if (!apartment.entered()) return;
    SendToList(window, IDC_CODEC, CB_RESETCONTENT);
    AddCodecs(window, variableBitRate, requestedCodec);
    if (SendToList(window, IDC_CODEC, CB_GETCURSEL) == CB_ERR) {
      SendToList(window, IDC_CODEC, CB_SETCURSEL, 0);
    }
  }
  // COM is uninitialised before the format list initialises it for itself. With no codec
  // listed the datum is CB_ERR, which names no codec: the format list then stays empty.
  FillFormatList(window, variableBitRate, static_cast<DWORD>(SelectedItemData(window, IDC_CODEC)));
}

void FillFormatList(HWND window, BOOL variableBitRate, DWORD codecIndex) {
  ScopedComApartment apartment;
  if (!apartment.entered()) return;
  SendToList(window, IDC_FORMAT, CB_RESETCONTENT);
  AddFormats(window, variableBitRate, codecIndex);
  SendToList(window, IDC_FORMAT, CB_SETCURSEL, 0);
}

LRESULT SelectedItemData(HWND window, int listId) {
  const LRESULT selection = SendToList(window, listId, CB_GETCURSEL);
  return SendToList(window, listId, CB_GETITEMDATA, static_cast<WPARAM>(selection));
}
