#include "double/failure_plan.h"

#include <algorithm>
#include <array>

namespace runtime_double {

namespace {

// Every method the double answers and a test may fail; the double's other methods are not used
// by the filter and fail the test when called.
constexpr std::array<std::string_view, 38> kMethods = {
    "WMCreateSyncReader",
    "WMCreateWriter",
    "WMCreateProfileManager",
    "SyncReader.Open",
    "SyncReader.Close",
    "SyncReader.GetNextSample",
    "SyncReader.SetOutputSetting",
    "SyncReader.SetOutputProps",
    "SyncReader.GetOutputFormat",
    "HeaderInfo.GetAttributeByName",
    "HeaderInfo.SetAttribute",
    "HeaderInfo.GetCodecInfo",
    "HeaderInfo.GetAttributeByIndexEx",
    "OutputProps.GetMediaType",
    "OutputProps.SetMediaType",
    "InputProps.GetMediaType",
    "InputProps.SetMediaType",
    "StreamConfig.GetMediaType",
    "StreamConfig.SetMediaType",
    "StreamConfig.SetStreamNumber",
    "SampleBuffer.SetLength",
    "SampleBuffer.GetBufferAndLength",
    "Writer.SetProfile",
    "Writer.SetOutputFilename",
    "Writer.GetInputProps",
    "Writer.SetInputProps",
    "Writer.BeginWriting",
    "Writer.EndWriting",
    "Writer.AllocateSample",
    "Writer.WriteSample",
    "ProfileManager.CreateEmptyProfile",
    "CodecInfo.GetCodecInfoCount",
    "CodecInfo.GetCodecFormatCount",
    "CodecInfo.GetCodecFormat",
    "CodecInfo.GetCodecName",
    "CodecInfo.GetCodecFormatDesc",
    "CodecInfo.SetCodecEnumerationSetting",
    "Profile.AddStream",
};

// The double's objects, whose QueryInterface can fail for any of the interfaces below.
constexpr std::array<std::string_view, 8> kObjects = {
    "SyncReader", "OutputProps",    "SampleBuffer", "Writer",
    "InputProps", "ProfileManager", "Profile",      "StreamConfig",
};

constexpr std::array<std::string_view, 16> kInterfaces = {
    "IUnknown",           "INSSBuffer",          "IWMMediaProps",
    "IWMInputMediaProps", "IWMOutputMediaProps", "IWMStreamConfig",
    "IWMProfile",         "IWMWriter",           "IWMHeaderInfo",
    "IWMHeaderInfo2",     "IWMHeaderInfo3",      "IWMSyncReader",
    "IWMProfileManager",  "IWMCodecInfo",        "IWMCodecInfo2",
    "IWMCodecInfo3",
};

template <std::size_t n>
bool Contains(const std::array<std::string_view, n>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool IsFailableCall(std::string_view call) {
  constexpr std::string_view kQuery = ".QueryInterface(";
  const std::size_t query = call.find(kQuery);
  if (query == std::string_view::npos) return Contains(kMethods, call);
  if (!call.ends_with(')')) return false;
  const std::size_t first = query + kQuery.size();
  return Contains(kObjects, call.substr(0, query)) &&
         Contains(kInterfaces, call.substr(first, call.size() - 1 - first));
}

void FailurePlan::FailNth(std::string_view call, HRESULT result, unsigned nth) {
  const auto counted = calls_.find(call);
  const unsigned made = counted == calls_.end() ? 0 : counted->second;
  failures_.emplace(std::string(call), Failure{made + nth, result});
}

void FailurePlan::FailEvery(std::string_view call, HRESULT result) {
  failures_.emplace(std::string(call), Failure{0, result});
}

HRESULT FailurePlan::Next(std::string_view call) {
  auto counted = calls_.find(call);
  if (counted == calls_.end()) counted = calls_.emplace(std::string(call), 0).first;
  const unsigned number = ++counted->second;
  const auto [first, last] = failures_.equal_range(call);
  for (auto failure = first; failure != last; ++failure) {
    if (failure->second.atCall == 0 || failure->second.atCall == number) {
      return failure->second.result;
    }
  }
  return S_OK;
}

}  // namespace runtime_double
