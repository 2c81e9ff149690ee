#include "filter_library.h"

FilterLibrary::~FilterLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

bool FilterLibrary::Load(const std::string& path, std::string& error) {
  module_ = LoadLibraryA(path.c_str());
  if (module_ == nullptr) {
    error = "cannot load the filter library " + path;
    return false;
  }
  return true;
}
