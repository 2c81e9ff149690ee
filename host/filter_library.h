// The filter library loaded the way the editor loads it: by path, its 17 exports found by name.
// The host calls nothing else of the library.
#pragma once

#include <string>

#include "filter/filter_api.h"

struct FilterExports {
  decltype(&QueryVivaFilter) queryVivaFilter = nullptr;
  decltype(&FilterUnderstandsFormat) filterUnderstandsFormat = nullptr;
  decltype(&OpenFilterInput) openFilterInput = nullptr;
  decltype(&FilterGetFileSize) filterGetFileSize = nullptr;
  decltype(&ReadFilterInput) readFilterInput = nullptr;
  decltype(&CloseFilterInput) closeFilterInput = nullptr;
  decltype(&GetSuggestedSampleType) getSuggestedSampleType = nullptr;
  decltype(&OpenFilterOutput) openFilterOutput = nullptr;
  decltype(&WriteFilterOutput) writeFilterOutput = nullptr;
  decltype(&CloseFilterOutput) closeFilterOutput = nullptr;
  decltype(&FilterGetOptions) filterGetOptions = nullptr;
  decltype(&FilterOptions) filterOptions = nullptr;
  decltype(&FilterOptionsString) filterOptionsString = nullptr;
  decltype(&FilterWriteSpecialData) filterWriteSpecialData = nullptr;
  decltype(&FilterGetFirstSpecialData) filterGetFirstSpecialData = nullptr;
  decltype(&FilterGetNextSpecialData) filterGetNextSpecialData = nullptr;
  decltype(&DIALOGMsgProc) dialogMsgProc = nullptr;
};

class FilterLibrary {
 public:
  FilterLibrary() = default;
  FilterLibrary(const FilterLibrary&) = delete;
  FilterLibrary& operator=(const FilterLibrary&) = delete;
  ~FilterLibrary();

  // Loads the library, finds every export and registers the filter with QueryVivaFilter, as
  // the editor does before anything else. On failure returns false with the reason in error.
  bool Load(const std::string& path, std::string& error);

  const FilterExports& exports() const { return exports_; }
  const FilterQueryRecord& registration() const { return registration_; }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
  FilterExports exports_;
  FilterQueryRecord registration_{};
};
