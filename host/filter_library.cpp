#include "filter_library.h"

#include "display_text.h"

namespace {

template <class Function>
bool Find(HMODULE module, const char* name, Function& function, std::string& missing) {
  // Through void (*)(), the generic function pointer type, which casts to any other.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  if (function == nullptr) missing += missing.empty() ? name : std::string(", ") + name;
  return function != nullptr;
}

}  // namespace

FilterLibrary::~FilterLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

bool FilterLibrary::Load(const std::string& path, std::string& error) {
  module_ = LoadLibraryA(path.c_str());
  if (module_ == nullptr) {
    error = "cannot load the filter library " + path + LastErrorCause();
    return false;
  }
  std::string missing;
  FilterExports& e = exports_;
  Find(module_, "QueryVivaFilter", e.queryVivaFilter, missing);
  Find(module_, "FilterUnderstandsFormat", e.filterUnderstandsFormat, missing);
  Find(module_, "OpenFilterInput", e.openFilterInput, missing);
  Find(module_, "FilterGetFileSize", e.filterGetFileSize, missing);
  Find(module_, "ReadFilterInput", e.readFilterInput, missing);
  Find(module_, "CloseFilterInput", e.closeFilterInput, missing);
  Find(module_, "GetSuggestedSampleType", e.getSuggestedSampleType, missing);
  Find(module_, "OpenFilterOutput", e.openFilterOutput, missing);
  Find(module_, "WriteFilterOutput", e.writeFilterOutput, missing);
  Find(module_, "CloseFilterOutput", e.closeFilterOutput, missing);
  Find(module_, "FilterGetOptions", e.filterGetOptions, missing);
  Find(module_, "FilterOptions", e.filterOptions, missing);
  Find(module_, "FilterOptionsString", e.filterOptionsString, missing);
  Find(module_, "FilterWriteSpecialData", e.filterWriteSpecialData, missing);
  Find(module_, "FilterGetFirstSpecialData", e.filterGetFirstSpecialData, missing);
  Find(module_, "FilterGetNextSpecialData", e.filterGetNextSpecialData, missing);
  Find(module_, "DIALOGMsgProc", e.dialogMsgProc, missing);
  if (!missing.empty()) {
    error = path + " is not a complete filter library: it does not export " + missing;
    return false;
  }
  e.queryVivaFilter(&registration_);
  return true;
}
