#include "asf/asf_file.h"

#include <algorithm>
#include <utility>

#include <wmsdk.h>

#include "base/result.h"
#include "base/result_codes.h"

namespace wmvcore {

HRESULT ReadAsfFileHeader(const FilePath& path, AsfFileHeader& out) {
  File file;
  const HRESULT opened = File::OpenToRead(path, file);
  if (opened == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return NS_E_FILE_NOT_FOUND;
  if (FAILED(opened)) return NS_E_FILE_OPEN_FAILED;
  return ReadAsfHeader(file, out);
}

HRESULT ReadAsfHeader(File& file, AsfFileHeader& out) {
  QWORD fileBytes = 0;
  RETURN_IF_FAILED(file.Size(fileBytes));
  RETURN_IF_FAILED(file.Seek(0));

  // The header object's identifier and size, then the whole object, within its limits.
  Bytes head(asf::kObjectHeaderBytes);
  std::size_t got = 0;
  RETURN_IF_FAILED(file.Read(head.data(), head.size(), got));
  if (got != head.size()) return ASF_E_INVALIDHEADER;
  ByteReader reader(head);
  const GUID id = reader.Guid();
  const QWORD size = reader.Qword();
  if (id != asf::kHeaderObject || size < 30 || size > fileBytes || size > asf::kMaxHeaderBytes)
    return ASF_E_INVALIDHEADER;
  Bytes bytes(static_cast<std::size_t>(size));
  std::copy(head.begin(), head.end(), bytes.begin());
  const std::size_t rest = bytes.size() - head.size();
  RETURN_IF_FAILED(file.Read(bytes.data() + head.size(), rest, got));
  if (got != rest) return ASF_E_INVALIDHEADER;

  auto header = asf::Header::Parse(bytes);
  if (!header) return ASF_E_INVALIDHEADER;
  out.header = std::move(*header);
  out.headerBytes = size;
  out.fileBytes = fileBytes;
  return S_OK;
}

}  // namespace wmvcore
