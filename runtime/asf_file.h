// Reading the header object at the start of an ASF file.
#pragma once

#include <cstdio>
#include <string>

#include <windows.h>

#include "asf_header.h"

namespace wmvcore {

struct AsfFileHeader {
  asf::Header header;
  QWORD headerBytes = 0;  // where the data object starts
  QWORD fileBytes = 0;
};

// Opens `path` and parses its header. A missing file is NS_E_FILE_NOT_FOUND, one that cannot
// be opened or is not a regular file NS_E_FILE_OPEN_FAILED, and one that does not start with
// a whole, well-formed ASF header ASF_E_INVALIDHEADER.
HRESULT ReadAsfFileHeader(const std::string& path, AsfFileHeader& out);

}  // namespace wmvcore
