#include "support/made_asf_files.h"

#include <utility>

namespace test_support {
namespace {

namespace asf = wmvcore::asf;

QWORD HeaderBytes(const std::vector<BYTE>& file) {
  wmvcore::ByteReader reader(file);
  reader.Guid();
  return reader.Qword();
}

}  // namespace

std::vector<BYTE> WithChangedHeader(const std::vector<BYTE>& file,
                                    const std::function<void(asf::Header&)>& change) {
  auto header = asf::Header::Parse(file);
  if (!header) return {};
  change(*header);
  std::vector<BYTE> changed = header->Render();
  changed.insert(changed.end(), file.begin() + static_cast<std::ptrdiff_t>(HeaderBytes(file)),
                 file.end());
  return changed;
}

wmvcore::Bytes CoverPictureValue() {
  const wmvcore::Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13};
  wmvcore::ByteWriter value;
  value.Byte(3);  // front cover
  value.Dword(static_cast<DWORD>(png.size()));
  value.Text(u"image/png");
  value.Text(u"");
  value.Append(png);
  return std::move(value.bytes());
}

void AddCoverPictureFirst(asf::Header& header) {
  asf::ExtendedContentDescription cover;
  cover.descriptors.push_back({0, 0, u"WM/Picture", asf::ValueType::kBytes, CoverPictureValue()});
  header.objects.insert(header.objects.begin(), std::move(cover));
}

std::function<void(asf::Header&)> Protected(const GUID& encryptionObject) {
  return [encryptionObject](asf::Header& header) {
    header.objects.push_back(asf::UnknownObject{encryptionObject, wmvcore::Bytes(16)});
  };
}

}  // namespace test_support
