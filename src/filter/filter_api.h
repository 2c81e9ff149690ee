// The host-facing interface of the filter: the records the host lays out and the 17 exports it
// calls by name. Shared by the filter and by host programs, so that both agree on every layout.
// On 32-bit Windows the exports are stdcall with every argument in one 32-bit stack slot;
// where an argument is 16 bits wide only its low half is used.
#pragma once

#include <cstddef>

#include <windows.h>

#if defined(_WIN32)
#define FILTER_EXPORT
#else
#define FILTER_EXPORT __attribute__((visibility("default")))
#endif

// The registration record that QueryVivaFilter fills: 156 bytes laid out by the host.
struct FilterQueryRecord {
  char name[24];
  char notice[80];
  WORD formatFields[14];  // host-defined 16-bit fields at offsets 104 to 130
  DWORD flags;
  char defaultExtension[4];
  DWORD chunkSize;
  BYTE reserved[12];
};
static_assert(sizeof(FilterQueryRecord) == 156);
static_assert(offsetof(FilterQueryRecord, notice) == 24);
static_assert(offsetof(FilterQueryRecord, formatFields) == 104);
static_assert(offsetof(FilterQueryRecord, flags) == 132);
static_assert(offsetof(FilterQueryRecord, defaultExtension) == 136);
static_assert(offsetof(FilterQueryRecord, chunkSize) == 140);
static_assert(offsetof(FilterQueryRecord, reserved) == 144);

// One tag handed to the host while reading: the host owns the record and, from the moment the
// call returns, the global memory block in hData.
struct SpecialDataItem {
  DWORD dwCursor;  // index of the next header attribute to examine
  HGLOBAL hData;
  DWORD dwDataSize;  // bytes of data, terminating NUL included
  DWORD dwFlag;
  char szListType[8];
  char szChunkId[8];
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(SpecialDataItem, hData) == 4);
static_assert(offsetof(SpecialDataItem, dwDataSize) == 8);
static_assert(offsetof(SpecialDataItem, dwFlag) == 12);
static_assert(offsetof(SpecialDataItem, szListType) == 16);
static_assert(offsetof(SpecialDataItem, szChunkId) == 24);
#else
// A handle is pointer-sized here, which moves the fields after it by four bytes.
static_assert(offsetof(SpecialDataItem, hData) == sizeof(void*));
static_assert(offsetof(SpecialDataItem, szListType) == 2 * sizeof(void*) + 8);
#endif

// An open input or output file, opaque to the host; null means that the open failed.
struct FilterContext;
using FilterHandle = FilterContext*;

extern "C" {

// Registration and sample type.
FILTER_EXPORT WORD WINAPI QueryVivaFilter(FilterQueryRecord* record);
FILTER_EXPORT void WINAPI GetSuggestedSampleType(LONG* sampleRate, WORD* bitsPerSample,
                                                 WORD* channels);
FILTER_EXPORT DWORD WINAPI FilterOptions(FilterHandle handle);

// Decoding.
FILTER_EXPORT LONG WINAPI FilterUnderstandsFormat(LPCSTR fileName);
FILTER_EXPORT FilterHandle WINAPI OpenFilterInput(LPCSTR fileName, LONG* sampleRate,
                                                  WORD* bitsPerSample, WORD* channels, LONG unused,
                                                  LONG* chunkSize);
FILTER_EXPORT ULONGLONG WINAPI FilterGetFileSize(FilterHandle handle);
FILTER_EXPORT LONG WINAPI ReadFilterInput(FilterHandle handle, BYTE* buffer, LONG bytesWanted);
FILTER_EXPORT void WINAPI CloseFilterInput(FilterHandle handle);
FILTER_EXPORT LONG WINAPI FilterOptionsString(FilterHandle handle, LPSTR text);

// Encoding.
FILTER_EXPORT FilterHandle WINAPI OpenFilterOutput(LPCSTR fileName, LONG sampleRate,
                                                   WORD bitsPerSample, WORD channels, LONG unused,
                                                   LONG* chunkSize, DWORD options);
FILTER_EXPORT LONG WINAPI WriteFilterOutput(FilterHandle handle, BYTE* buffer, LONG bytes);
FILTER_EXPORT void WINAPI CloseFilterOutput(FilterHandle handle);

// Encoder options.
FILTER_EXPORT DWORD WINAPI FilterGetOptions(HWND parent, HINSTANCE module, LONG unused1,
                                            LONG unused2, LONG unused3, DWORD options);
FILTER_EXPORT INT_PTR WINAPI DIALOGMsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Tags.
FILTER_EXPORT LONG WINAPI FilterGetFirstSpecialData(FilterHandle handle, SpecialDataItem* item);
FILTER_EXPORT LONG WINAPI FilterGetNextSpecialData(FilterHandle handle, SpecialDataItem* item);
FILTER_EXPORT LONG WINAPI FilterWriteSpecialData(FilterHandle handle, LPCSTR listType,
                                                 LPCSTR chunkId, const BYTE* data, DWORD dataSize);

}  // extern "C"

// The chunk size in bytes that the filter announces for every open file.
inline constexpr DWORD kFilterChunkSize = 0x10000;
