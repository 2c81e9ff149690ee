// Which calls of the runtime double fail, on which of their calls, with which result. A call is
// named "Object.Method" ("SyncReader.Open", "HeaderInfo.GetAttributeByIndexEx"), by the
// factory's name ("WMCreateSyncReader"), or "Object.QueryInterface(Interface)" for a query
// ("SyncReader.QueryInterface(IWMHeaderInfo3)").
#pragma once

#include <map>
#include <string>
#include <string_view>

#include <windows.h>

namespace runtime_double {

// Whether the double makes calls by this name that a test can fail.
bool IsFailableCall(std::string_view call);

class FailurePlan {
 public:
  // The nth call by this name from now on (1 = the next) returns `result`.
  void FailNth(std::string_view call, HRESULT result, unsigned nth);
  // Every call by this name from now on returns `result`.
  void FailEvery(std::string_view call, HRESULT result);

  // Counts a call and gives the result planned for it: a failure, or S_OK.
  HRESULT Next(std::string_view call);

 private:
  struct Failure {
    unsigned atCall;  // 0: every call
    HRESULT result;
  };
  std::map<std::string, unsigned, std::less<>> calls_;
  std::multimap<std::string, Failure, std::less<>> failures_;
};

}  // namespace runtime_double
