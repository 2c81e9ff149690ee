#include "asf/asf_header.h"

#include <algorithm>
#include <utility>

namespace wmvcore::asf {
namespace {

inline constexpr GUID kCodecListReserved = {
    0x86d15241, 0x311d, 0x11d0, {0xa3, 0xa4, 0x00, 0xa0, 0xc9, 0x03, 0x48, 0xf6}};
inline constexpr GUID kHeaderExtensionReserved = {
    0xabd3d211, 0xa9ba, 0x11cf, {0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};

// Writes one object: identifier, size (patched once the body is known), body.
template <class RenderBody>
void RenderObject(ByteWriter& out, const GUID& id, RenderBody&& renderBody) {
  const std::size_t start = out.size();
  out.Guid(id);
  out.Qword(0);
  renderBody(out);
  out.PatchQword(start + 16, out.size() - start);
}

// Text fields store their byte count, terminator included; 0 means absent.
std::optional<WideString> ReadCountedText(ByteReader& reader, WORD bytes) {
  if (bytes == 0) return std::nullopt;
  return reader.Text(bytes);
}

WORD CountedTextBytes(const std::optional<WideString>& text) {
  return text ? static_cast<WORD>(TextBytes(*text)) : 0;
}

template <class Object>
HeaderObject ParseOr(ByteReader body, const ObjectHead& head, std::span<const BYTE> raw) {
  if (auto parsed = Object::Parse(body); parsed && body.ok()) return std::move(*parsed);
  return UnknownObject{head.id, Bytes(raw.begin(), raw.end())};
}

// Splits a run of objects; unknown identifiers are kept raw. False when an object overruns.
template <class Object, class Classify>
bool ParseObjects(ByteReader& reader, std::vector<Object>& objects, Classify&& classify) {
  while (reader.remaining() > 0) {
    const auto head = ReadObjectHead(reader);
    if (!head) return false;
    const auto body = reader.Take(head->size - kObjectHeaderBytes);
    if (!reader.ok()) return false;
    objects.push_back(classify(*head, body));
  }
  return true;
}

void RenderUnknown(ByteWriter& out, const UnknownObject& object) {
  RenderObject(out, object.id, [&](ByteWriter& body) { body.Append(object.body); });
}

}  // namespace

std::optional<ObjectHead> ReadObjectHead(ByteReader& reader) {
  ObjectHead head;
  head.id = reader.Guid();
  head.size = reader.Qword();
  if (!reader.ok() || head.size < kObjectHeaderBytes ||
      head.size - kObjectHeaderBytes > reader.remaining())
    return std::nullopt;
  return head;
}

// ---- File properties ---------------------------------------------------------------------

std::optional<FileProperties> FileProperties::Parse(ByteReader& body) {
  FileProperties p;
  p.fileId = body.Guid();
  p.fileSize = body.Qword();
  p.creationTime = body.Qword();
  p.dataPackets = body.Qword();
  p.playDuration = body.Qword();
  p.sendDuration = body.Qword();
  p.prerollMs = body.Qword();
  p.flags = body.Dword();
  p.minPacketSize = body.Dword();
  p.maxPacketSize = body.Dword();
  p.maxBitrate = body.Dword();
  if (!body.ok()) return std::nullopt;
  return p;
}

void FileProperties::Render(ByteWriter& body) const {
  body.Guid(fileId);
  body.Qword(fileSize);
  body.Qword(creationTime);
  body.Qword(dataPackets);
  body.Qword(playDuration);
  body.Qword(sendDuration);
  body.Qword(prerollMs);
  body.Dword(flags);
  body.Dword(minPacketSize);
  body.Dword(maxPacketSize);
  body.Dword(maxBitrate);
}

QWORD FileProperties::DurationWithoutPreroll() const {
  // Compared in milliseconds first: a hostile preroll times 10000 could wrap around 64 bits.
  if (prerollMs >= playDuration / 10000 + 1) return 0;
  const QWORD preroll = prerollMs * 10000;
  return playDuration > preroll ? playDuration - preroll : 0;
}

// ---- Stream properties -------------------------------------------------------------------

std::optional<StreamProperties> StreamProperties::Parse(ByteReader& body) {
  StreamProperties p;
  p.streamType = body.Guid();
  p.errorCorrectionType = body.Guid();
  p.timeOffset = body.Qword();
  const DWORD typeSpecificBytes = body.Dword();
  const DWORD errorCorrectionBytes = body.Dword();
  p.flags = body.Word();
  p.reserved = body.Dword();
  const auto typeSpecific = body.Take(typeSpecificBytes);
  const auto errorCorrection = body.Take(errorCorrectionBytes);
  if (!body.ok()) return std::nullopt;
  p.typeSpecific.assign(typeSpecific.begin(), typeSpecific.end());
  p.errorCorrection.assign(errorCorrection.begin(), errorCorrection.end());
  return p;
}

void StreamProperties::Render(ByteWriter& body) const {
  body.Guid(streamType);
  body.Guid(errorCorrectionType);
  body.Qword(timeOffset);
  body.Dword(static_cast<DWORD>(typeSpecific.size()));
  body.Dword(static_cast<DWORD>(errorCorrection.size()));
  body.Word(flags);
  body.Dword(reserved);
  body.Append(typeSpecific);
  body.Append(errorCorrection);
}

// ---- Content description -----------------------------------------------------------------

std::optional<ContentDescription> ContentDescription::Parse(ByteReader& body) {
  WORD lengths[5];
  for (WORD& length : lengths) length = body.Word();
  ContentDescription c;
  c.title = ReadCountedText(body, lengths[0]);
  c.author = ReadCountedText(body, lengths[1]);
  c.copyright = ReadCountedText(body, lengths[2]);
  c.description = ReadCountedText(body, lengths[3]);
  c.rating = ReadCountedText(body, lengths[4]);
  if (!body.ok()) return std::nullopt;
  return c;
}

void ContentDescription::Render(ByteWriter& body) const {
  const std::optional<WideString>* fields[] = {&title, &author, &copyright, &description, &rating};
  for (const auto* field : fields) body.Word(CountedTextBytes(*field));
  for (const auto* field : fields)
    if (*field) body.Text(**field);
}

bool ContentDescription::Empty() const {
  return !title && !author && !copyright && !description && !rating;
}

// ---- Extended content description --------------------------------------------------------

std::optional<ExtendedContentDescription> ExtendedContentDescription::Parse(ByteReader& body) {
  ExtendedContentDescription e;
  const WORD count = body.Word();
  for (WORD i = 0; i < count && body.ok(); ++i) {
    Descriptor d;
    d.name = body.Text(body.Word());
    d.type = static_cast<ValueType>(body.Word());
    const auto value = body.Take(body.Word());
    d.value.assign(value.begin(), value.end());
    if (body.ok()) e.descriptors.push_back(std::move(d));
  }
  if (!body.ok()) return std::nullopt;
  return e;
}

void ExtendedContentDescription::Render(ByteWriter& body) const {
  body.Word(static_cast<WORD>(descriptors.size()));
  for (const auto& d : descriptors) {
    body.Word(static_cast<WORD>(TextBytes(d.name)));
    body.Text(d.name);
    body.Word(static_cast<WORD>(d.type));
    body.Word(static_cast<WORD>(d.value.size()));
    body.Append(d.value);
  }
}

// ---- Metadata and metadata library -------------------------------------------------------

std::optional<std::vector<Descriptor>> MetadataRecords::ParseRecords(ByteReader& body) {
  std::vector<Descriptor> records;
  const WORD count = body.Word();
  for (WORD i = 0; i < count && body.ok(); ++i) {
    Descriptor d;
    d.language = body.Word();
    d.stream = body.Word();
    const WORD nameBytes = body.Word();
    d.type = static_cast<ValueType>(body.Word());
    const DWORD valueBytes = body.Dword();
    d.name = body.Text(nameBytes);
    const auto value = body.Take(valueBytes);
    d.value.assign(value.begin(), value.end());
    if (body.ok()) records.push_back(std::move(d));
  }
  if (!body.ok()) return std::nullopt;
  return records;
}

void MetadataRecords::Render(ByteWriter& body) const {
  body.Word(static_cast<WORD>(records.size()));
  for (const auto& d : records) {
    body.Word(d.language);
    body.Word(d.stream);
    body.Word(static_cast<WORD>(TextBytes(d.name)));
    body.Word(static_cast<WORD>(d.type));
    body.Dword(static_cast<DWORD>(d.value.size()));
    body.Text(d.name);
    body.Append(d.value);
  }
}

// ---- Codec list --------------------------------------------------------------------------

std::optional<CodecList> CodecList::Parse(ByteReader& body) {
  CodecList list;
  body.Guid();  // reserved
  const DWORD count = body.Dword();
  for (DWORD i = 0; i < count && body.ok(); ++i) {
    CodecEntry entry;
    entry.type = body.Word();
    entry.name = body.Text(2 * std::size_t{body.Word()});
    entry.description = body.Text(2 * std::size_t{body.Word()});
    const auto information = body.Take(body.Word());
    entry.information.assign(information.begin(), information.end());
    if (body.ok()) list.entries.push_back(std::move(entry));
  }
  if (!body.ok()) return std::nullopt;
  return list;
}

void CodecList::Render(ByteWriter& body) const {
  body.Guid(kCodecListReserved);
  body.Dword(static_cast<DWORD>(entries.size()));
  for (const auto& entry : entries) {
    body.Word(entry.type);
    body.Word(static_cast<WORD>(entry.name.size() + 1));  // counted in units here
    body.Text(entry.name);
    body.Word(static_cast<WORD>(entry.description.size() + 1));
    body.Text(entry.description);
    body.Word(static_cast<WORD>(entry.information.size()));
    body.Append(entry.information);
  }
}

// ---- Header extension --------------------------------------------------------------------

std::optional<HeaderExtension> HeaderExtension::Parse(ByteReader& body) {
  HeaderExtension extension;
  extension.reserved1 = body.Guid();
  extension.reserved2 = body.Word();
  const DWORD dataBytes = body.Dword();
  ByteReader data(body.Take(dataBytes));
  if (!body.ok()) return std::nullopt;
  const bool whole =
      ParseObjects(data, extension.objects,
                   [](const ObjectHead& head, std::span<const BYTE> raw) -> ExtensionObject {
                     if (head.id == kMetadataObject || head.id == kMetadataLibraryObject) {
                       ByteReader reader(raw);
                       if (auto records = MetadataRecords::ParseRecords(reader)) {
                         if (head.id == kMetadataObject) return Metadata{{std::move(*records)}};
                         return MetadataLibrary{{std::move(*records)}};
                       }
                     }
                     return UnknownObject{head.id, Bytes(raw.begin(), raw.end())};
                   });
  if (!whole) return std::nullopt;
  return extension;
}

void HeaderExtension::Render(ByteWriter& body) const {
  body.Guid(reserved1);
  body.Word(reserved2);
  ByteWriter data;
  for (const auto& object : objects) {
    if (const auto* metadata = std::get_if<Metadata>(&object)) {
      RenderObject(data, kMetadataObject, [&](ByteWriter& out) { metadata->Render(out); });
    } else if (const auto* library = std::get_if<MetadataLibrary>(&object)) {
      RenderObject(data, kMetadataLibraryObject, [&](ByteWriter& out) { library->Render(out); });
    } else {
      RenderUnknown(data, std::get<UnknownObject>(object));
    }
  }
  body.Dword(static_cast<DWORD>(data.size()));
  body.Append(data.bytes());
}

// ---- Header ------------------------------------------------------------------------------

std::optional<Header> Header::Parse(std::span<const BYTE> bytes) {
  ByteReader reader(bytes);
  const auto head = ReadObjectHead(reader);
  if (!head || head->id != kHeaderObject) return std::nullopt;
  ByteReader body(reader.Take(head->size - kObjectHeaderBytes));
  Header header;
  body.Dword();  // object count: the objects themselves are counted by their sizes
  header.reserved1 = body.Byte();
  header.reserved2 = body.Byte();
  if (!body.ok()) return std::nullopt;
  const bool whole = ParseObjects(
      body, header.objects, [](const ObjectHead& head, std::span<const BYTE> raw) -> HeaderObject {
        const ByteReader reader(raw);
        if (head.id == kFilePropertiesObject) return ParseOr<FileProperties>(reader, head, raw);
        if (head.id == kStreamPropertiesObject) return ParseOr<StreamProperties>(reader, head, raw);
        if (head.id == kHeaderExtensionObject) return ParseOr<HeaderExtension>(reader, head, raw);
        if (head.id == kContentDescriptionObject)
          return ParseOr<ContentDescription>(reader, head, raw);
        if (head.id == kExtendedContentDescriptionObject)
          return ParseOr<ExtendedContentDescription>(reader, head, raw);
        if (head.id == kCodecListObject) return ParseOr<CodecList>(reader, head, raw);
        return UnknownObject{head.id, Bytes(raw.begin(), raw.end())};
      });
  if (!whole) return std::nullopt;
  return header;
}

Bytes Header::Render() const {
  ByteWriter out;
  RenderObject(out, kHeaderObject, [&](ByteWriter& body) {
    body.Dword(static_cast<DWORD>(objects.size()));
    body.Byte(reserved1);
    body.Byte(reserved2);
    for (const auto& object : objects) {
      std::visit(
          [&](const auto& o) {
            using T = std::decay_t<decltype(o)>;
            if constexpr (std::is_same_v<T, UnknownObject>) {
              RenderUnknown(body, o);
            } else {
              const GUID* id = &kHeaderExtensionObject;
              if constexpr (std::is_same_v<T, FileProperties>) id = &kFilePropertiesObject;
              if constexpr (std::is_same_v<T, StreamProperties>) id = &kStreamPropertiesObject;
              if constexpr (std::is_same_v<T, ContentDescription>) id = &kContentDescriptionObject;
              if constexpr (std::is_same_v<T, ExtendedContentDescription>)
                id = &kExtendedContentDescriptionObject;
              if constexpr (std::is_same_v<T, CodecList>) id = &kCodecListObject;
              RenderObject(body, *id, [&](ByteWriter& out) { o.Render(out); });
            }
          },
          object);
    }
  });
  return std::move(out.bytes());
}

bool Header::IsProtected() const {
  return std::any_of(objects.begin(), objects.end(), [](const HeaderObject& object) {
    const auto* unknown = std::get_if<UnknownObject>(&object);
    return unknown != nullptr && (unknown->id == kContentEncryptionObject ||
                                  unknown->id == kExtendedContentEncryptionObject);
  });
}

HeaderExtension& Header::Extension() {
  if (auto* extension = Find<HeaderExtension>()) return *extension;
  HeaderExtension extension;
  extension.reserved1 = kHeaderExtensionReserved;
  objects.push_back(std::move(extension));
  return std::get<HeaderExtension>(objects.back());
}

}  // namespace wmvcore::asf
