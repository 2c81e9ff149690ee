// The filter library loaded the way the editor loads it: by path, its exports found by name.
#pragma once

#include <string>

#include "filter/filter_api.h"

class FilterLibrary {
 public:
  FilterLibrary() = default;
  FilterLibrary(const FilterLibrary&) = delete;
  FilterLibrary& operator=(const FilterLibrary&) = delete;
  ~FilterLibrary();

  // Loads the library; on failure returns false and describes why in error.
  bool Load(const std::string& path, std::string& error);

  HMODULE module() const { return module_; }

  // The export of that name as a pointer of the given function type, or null.
  template <class Function>
  Function Find(const char* name) const {
    // Through void (*)(), the generic function pointer type, which casts to any other.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_ = nullptr;
};

// Finds an export by the name of its declaration in filter_api.h.
#define FIND_FILTER_EXPORT(library, name) (library).Find<decltype(&name)>(#name)
