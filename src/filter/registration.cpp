// The exports that belong to no subsystem: the registration record, the suggested sample type
// and the options word of an open handle.
#include <cstring>

#include "decode/input_context.h"
#include "encode/output_context.h"
#include "filter/filter_api.h"

namespace {

constexpr char kFilterName[] = "Windows Media Audio";
constexpr char kNotice[] = "Windows Media Audio - Windows Media is a trademark of Microsoft Corp.";
constexpr char kDefaultExtension[] = "wma";
constexpr DWORD kCapabilityFlags = 0x00000957;  // bits 0, 1, 2, 4, 6, 8 and 11
constexpr WORD kRegistrationResult = 0x0482;

static_assert(sizeof(kNotice) <= sizeof(FilterQueryRecord::notice));

// formatFields indices of the record's 16-bit fields at offsets 110, 114, 118, 120, 124, 128.
constexpr int kFieldsSetTo00FF[] = {3, 5, 7, 8, 10, 12};

}  // namespace

WORD WINAPI QueryVivaFilter(FilterQueryRecord* record) {
  std::memset(record, 0, sizeof(FilterQueryRecord));
  std::memcpy(record->name, kFilterName, sizeof(kFilterName));
  std::memcpy(record->notice, kNotice, sizeof(kNotice));
  std::memcpy(record->defaultExtension, kDefaultExtension, sizeof(kDefaultExtension));
  record->chunkSize = kFilterChunkSize;
  record->flags = kCapabilityFlags;
  for (int field : kFieldsSetTo00FF) record->formatFields[field] = 0x00FF;
  return kRegistrationResult;
}

void WINAPI GetSuggestedSampleType(LONG* sampleRate, WORD* bitsPerSample, WORD* channels) {
  // No preferred sample type.
  *sampleRate = 0;
  *bitsPerSample = 0;
  *channels = 0;
}

DWORD WINAPI FilterOptions(FilterHandle handle) {
  if (handle == nullptr) return 0;
  // The handle may be either kind of context; both keep the word at this offset.
  DWORD options = 0;
  std::memcpy(&options, reinterpret_cast<const BYTE*>(handle) + offsetof(InputContext, options),
              sizeof(options));
  return options;
}
