#include "asf_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <utility>

#include <wmsdk.h>

namespace wmvcore {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

HRESULT ReadAsfFileHeader(const std::string& path, AsfFileHeader& out) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return errno == ENOENT ? NS_E_FILE_NOT_FOUND : NS_E_FILE_OPEN_FAILED;
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
    return NS_E_FILE_OPEN_FAILED;
  const auto fileBytes = static_cast<QWORD>(status.st_size);

  // The header object's identifier and size, then the whole object, within its limits.
  Bytes head(asf::kObjectHeaderBytes);
  if (std::fread(head.data(), 1, head.size(), file.get()) != head.size())
    return ASF_E_INVALIDHEADER;
  ByteReader reader(head);
  const GUID id = reader.Guid();
  const QWORD size = reader.Qword();
  if (id != asf::kHeaderObject || size < 30 || size > fileBytes || size > asf::kMaxHeaderBytes)
    return ASF_E_INVALIDHEADER;
  Bytes bytes(static_cast<std::size_t>(size));
  std::copy(head.begin(), head.end(), bytes.begin());
  const std::size_t rest = bytes.size() - head.size();
  if (std::fread(bytes.data() + head.size(), 1, rest, file.get()) != rest)
    return ASF_E_INVALIDHEADER;

  auto header = asf::Header::Parse(bytes);
  if (!header) return ASF_E_INVALIDHEADER;
  out.header = std::move(*header);
  out.headerBytes = size;
  out.fileBytes = fileBytes;
  return S_OK;
}

}  // namespace wmvcore
