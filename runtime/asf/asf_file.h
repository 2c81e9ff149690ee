// Reading the header object at the start of an ASF file.
#pragma once

#include <string>

#include <windows.h>
#include <wmsdk.h>

#include "asf/asf_header.h"
#include "base/file_path.h"
#include "base/file_system.h"

namespace wmvcore {

struct AsfFileHeader {
  asf::Header header;
  QWORD headerBytes = 0;  // where the data object starts
  QWORD fileBytes = 0;
};

// Opens `path` and parses its header. A missing file is NS_E_FILE_NOT_FOUND, one that cannot
// be opened or is not a regular file NS_E_FILE_OPEN_FAILED, and one that does not start with
// a whole, well-formed ASF header ASF_E_INVALIDHEADER.
HRESULT ReadAsfFileHeader(const FilePath& path, AsfFileHeader& out);

// Parses the header at the start of an open file, leaving the file's position after it. A
// failure to read is the file system's error; a header that is not whole and well-formed is
// ASF_E_INVALIDHEADER.
HRESULT ReadAsfHeader(File& file, AsfFileHeader& out);

}  // namespace wmvcore
