#include "com/attributes.h"

#include <algorithm>
#include <utility>

#include "common/wide_text.h"

namespace wmvcore {
namespace {

using asf::ValueType;

struct ContentField {
  const WCHAR* name;
  std::optional<WideString> asf::ContentDescription::*field;
};
constexpr ContentField kContentFields[] = {
    {WSTR("Title"), &asf::ContentDescription::title},
    {WSTR("Author"), &asf::ContentDescription::author},
    {WSTR("Copyright"), &asf::ContentDescription::copyright},
    {WSTR("Description"), &asf::ContentDescription::description},
    {WSTR("Rating"), &asf::ContentDescription::rating},
};

Bytes LittleEndian(QWORD value, std::size_t width) {
  Bytes bytes(width);
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
  return bytes;
}

QWORD ReadLittleEndian(const Bytes& bytes) {
  QWORD value = 0;
  for (std::size_t i = bytes.size(); i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

Attribute Derived(const WCHAR* name, WMT_ATTR_DATATYPE type, QWORD value) {
  const std::size_t width = type == WMT_TYPE_QWORD ? 8 : 4;
  return Attribute{0, name, type, 0, LittleEndian(value, width)};
}

// A stored value in the interfaces' form, or nothing when it is malformed for its type. The
// extended content description stores BOOL in four bytes, the metadata objects in two.
std::optional<Attribute> FromDescriptor(const asf::Descriptor& d) {
  Attribute a{d.stream, d.name, WMT_TYPE_BINARY, d.language, {}};
  switch (d.type) {
    case ValueType::kText:
      a.type = WMT_TYPE_STRING;
      a.value = TextValue(ValueText(d.value));
      return a;
    case ValueType::kBytes:
      a.value = d.value;
      return a;
    case ValueType::kBool:
      if (d.value.size() != 2 && d.value.size() != 4) return std::nullopt;
      a.type = WMT_TYPE_BOOL;
      a.value = LittleEndian(ReadLittleEndian(d.value) != 0 ? 1 : 0, 4);
      return a;
    case ValueType::kDword:
      a.type = WMT_TYPE_DWORD;
      break;
    case ValueType::kQword:
      a.type = WMT_TYPE_QWORD;
      break;
    case ValueType::kWord:
      a.type = WMT_TYPE_WORD;
      break;
    case ValueType::kGuid:
      a.type = WMT_TYPE_GUID;
      break;
    default:
      return std::nullopt;
  }
  if (!HasValidWidth(a.type, d.value.size())) return std::nullopt;
  a.value = d.value;
  return a;
}

asf::Descriptor ToDescriptor(const Attribute& a, std::size_t boolWidth) {
  asf::Descriptor d{a.language, a.stream, a.name, ValueType::kBytes, a.value};
  switch (a.type) {
    case WMT_TYPE_STRING:
      d.type = ValueType::kText;
      d.value = TextValue(ValueText(a.value));
      break;
    case WMT_TYPE_BOOL:
      d.type = ValueType::kBool;
      d.value = LittleEndian(ReadLittleEndian(a.value) != 0 ? 1 : 0, boolWidth);
      break;
    case WMT_TYPE_DWORD:
      d.type = ValueType::kDword;
      break;
    case WMT_TYPE_QWORD:
      d.type = ValueType::kQword;
      break;
    case WMT_TYPE_WORD:
      d.type = ValueType::kWord;
      break;
    case WMT_TYPE_GUID:
      d.type = ValueType::kGuid;
      break;
    default:
      break;
  }
  return d;
}

void AppendRecords(const std::vector<asf::Descriptor>& records, std::vector<Attribute>& out) {
  for (const auto& record : records)
    if (auto attribute = FromDescriptor(record)) out.push_back(std::move(*attribute));
}

const ContentField* FindContentField(const WideString& name) {
  for (const auto& field : kContentFields)
    if (name == field.name) return &field;
  return nullptr;
}

}  // namespace

Bytes TextValue(const WideString& text) {
  ByteWriter writer;
  writer.Text(text);
  return std::move(writer.bytes());
}

WideString ValueText(const Bytes& value) {
  return ByteReader(value).Text(value.size() & ~std::size_t{1});
}

bool HasValidWidth(WMT_ATTR_DATATYPE type, std::size_t bytes) {
  switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      return bytes == 4;
    case WMT_TYPE_QWORD:
      return bytes == 8;
    case WMT_TYPE_WORD:
      return bytes == 2;
    case WMT_TYPE_GUID:
      return bytes == 16;
    case WMT_TYPE_STRING:
      return bytes % 2 == 0;
    case WMT_TYPE_BINARY:
      return true;
  }
  return false;
}

std::vector<Attribute> AttributesFromHeader(const asf::Header& header) {
  std::vector<Attribute> out;
  if (const auto* file = header.Find<asf::FileProperties>()) {
    out.push_back(Derived(WSTR("Duration"), WMT_TYPE_QWORD, file->DurationWithoutPreroll()));
    out.push_back(Derived(WSTR("Bitrate"), WMT_TYPE_DWORD, file->maxBitrate));
    out.push_back(Derived(WSTR("Seekable"), WMT_TYPE_BOOL, file->IsSeekable()));
    out.push_back(Derived(WSTR("Broadcast"), WMT_TYPE_BOOL, file->IsBroadcast()));
  }
  bool hasAudio = false;
  bool hasVideo = false;
  for (const auto& object : header.objects) {
    if (const auto* stream = std::get_if<asf::StreamProperties>(&object)) {
      hasAudio |= stream->streamType == asf::kAudioMedia;
      hasVideo |= stream->streamType == asf::kVideoMedia;
    }
  }
  out.push_back(Derived(WSTR("HasAudio"), WMT_TYPE_BOOL, hasAudio));
  out.push_back(Derived(WSTR("HasVideo"), WMT_TYPE_BOOL, hasVideo));

  for (const auto& object : header.objects) {
    if (const auto* content = std::get_if<asf::ContentDescription>(&object)) {
      for (const auto& field : kContentFields)
        if (const auto& text = content->*field.field)
          out.push_back(Attribute{0, field.name, WMT_TYPE_STRING, 0, TextValue(*text)});
    } else if (const auto* extended = std::get_if<asf::ExtendedContentDescription>(&object)) {
      AppendRecords(extended->descriptors, out);
    } else if (const auto* extension = std::get_if<asf::HeaderExtension>(&object)) {
      for (const auto& child : extension->objects) {
        if (const auto* metadata = std::get_if<asf::Metadata>(&child))
          AppendRecords(metadata->records, out);
        else if (const auto* library = std::get_if<asf::MetadataLibrary>(&child))
          AppendRecords(library->records, out);
      }
    }
  }
  return out;
}

void RenderAttributes(const std::vector<Attribute>& attributes, asf::Header& header) {
  asf::ContentDescription content;
  asf::ExtendedContentDescription extended;
  asf::MetadataLibrary library;
  for (const auto& a : attributes) {
    // Names are counted in 16 bits everywhere, and so are the descriptors of each object.
    if (TextBytes(a.name) > 0xffff) continue;
    const bool fileLevel = a.stream == 0 && a.language == 0;
    const auto* field = FindContentField(a.name);
    if (fileLevel && field != nullptr && a.type == WMT_TYPE_STRING && !(content.*field->field) &&
        a.value.size() <= 0xffff) {
      content.*field->field = ValueText(a.value);
      continue;
    }
    const bool repeated = std::any_of(extended.descriptors.begin(), extended.descriptors.end(),
                                      [&](const asf::Descriptor& d) { return d.name == a.name; });
    if (fileLevel && !repeated && a.type != WMT_TYPE_GUID && a.value.size() <= 0xffff &&
        extended.descriptors.size() < 0xffff) {
      extended.descriptors.push_back(ToDescriptor(a, 4));
    } else if (library.records.size() < 0xffff) {
      library.records.push_back(ToDescriptor(a, 2));
    }
  }

  // Drop what the header held, then place the new objects where readers expect them.
  std::erase_if(header.objects, [](const asf::HeaderObject& o) {
    return std::holds_alternative<asf::ContentDescription>(o) ||
           std::holds_alternative<asf::ExtendedContentDescription>(o);
  });
  auto& extension = header.Extension();
  std::erase_if(extension.objects, [](const asf::ExtensionObject& o) {
    return std::holds_alternative<asf::Metadata>(o) ||
           std::holds_alternative<asf::MetadataLibrary>(o);
  });
  if (!library.records.empty()) extension.objects.push_back(std::move(library));
  if (!extended.descriptors.empty()) header.objects.push_back(std::move(extended));
  if (!content.Empty()) header.objects.push_back(std::move(content));
}

}  // namespace wmvcore
