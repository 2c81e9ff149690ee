// The ASF header as objects: one small class per header object this runtime understands, each
// parsing its body from bytes and rendering it back. Objects it does not understand are kept
// as they are and written back unchanged, so that a header can be parsed, changed and rendered
// without losing anything. The reader and the writer share these classes.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/wide_text.h"

#include "asf/byte_io.h"

namespace wmvcore::asf {

// Object identifiers.
inline constexpr GUID kHeaderObject = {
    0x75b22630, 0x668e, 0x11cf, {0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c}};
inline constexpr GUID kDataObject = {
    0x75b22636, 0x668e, 0x11cf, {0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c}};
inline constexpr GUID kFilePropertiesObject = {
    0x8cabdca1, 0xa947, 0x11cf, {0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
inline constexpr GUID kStreamPropertiesObject = {
    0xb7dc0791, 0xa9b7, 0x11cf, {0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
inline constexpr GUID kHeaderExtensionObject = {
    0x5fbf03b5, 0xa92e, 0x11cf, {0x8e, 0xe3, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
inline constexpr GUID kContentDescriptionObject = {
    0x75b22633, 0x668e, 0x11cf, {0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c}};
inline constexpr GUID kExtendedContentDescriptionObject = {
    0xd2d0a440, 0xe307, 0x11d2, {0x97, 0xf0, 0x00, 0xa0, 0xc9, 0x5e, 0xa8, 0x50}};
inline constexpr GUID kCodecListObject = {
    0x86d15240, 0x311d, 0x11d0, {0xa3, 0xa4, 0x00, 0xa0, 0xc9, 0x03, 0x48, 0xf6}};
inline constexpr GUID kMetadataObject = {
    0xc5f8cbea, 0x5baf, 0x4877, {0x84, 0x67, 0xaa, 0x8c, 0x44, 0xfa, 0x4c, 0xca}};
inline constexpr GUID kExtendedStreamPropertiesObject = {
    0x14e6a5cb, 0xc672, 0x4332, {0x83, 0x99, 0xa9, 0x69, 0x52, 0x06, 0x5b, 0x5a}};
inline constexpr GUID kStreamBitratePropertiesObject = {
    0x7bf875ce, 0x468d, 0x11d1, {0x8d, 0x82, 0x00, 0x60, 0x97, 0xc9, 0xa2, 0xb2}};
inline constexpr GUID kMetadataLibraryObject = {
    0x44231c94, 0x9498, 0x49d1, {0xa1, 0x41, 0x1d, 0x13, 0x4e, 0x45, 0x70, 0x54}};
// Either object says that the file's content is encrypted; their bodies (key, licence
// address, rights data) are kept unread.
inline constexpr GUID kContentEncryptionObject = {
    0x2211b3fb, 0xbd23, 0x11d2, {0xb4, 0xb7, 0x00, 0xa0, 0xc9, 0x55, 0xfc, 0x6e}};
inline constexpr GUID kExtendedContentEncryptionObject = {
    0x298ae614, 0x2622, 0x4c17, {0xb9, 0x35, 0xda, 0xe0, 0x7e, 0xe9, 0x28, 0x9c}};
// Stream types.
inline constexpr GUID kAudioMedia = {
    0xf8699e40, 0x5b4d, 0x11cf, {0xa8, 0xfd, 0x00, 0x80, 0x5f, 0x5c, 0x44, 0x2b}};
inline constexpr GUID kVideoMedia = {
    0xbc19efc0, 0x5b4d, 0x11cf, {0xa8, 0xfd, 0x00, 0x80, 0x5f, 0x5c, 0x44, 0x2b}};

// Value types of the extended content description and the metadata objects.
enum class ValueType : WORD {
  kText = 0,
  kBytes = 1,
  kBool = 2,
  kDword = 3,
  kQword = 4,
  kWord = 5,
  kGuid = 6
};

// Limits against hostile files: a header larger than this is refused before it is read.
inline constexpr std::size_t kMaxHeaderBytes = 64u << 20;
inline constexpr std::size_t kObjectHeaderBytes = 24;  // identifier and 64-bit size

struct UnknownObject {
  GUID id{};
  Bytes body;
};

class FileProperties {
 public:
  static std::optional<FileProperties> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;

  // Play duration without the preroll, in 100 ns units.
  QWORD DurationWithoutPreroll() const;
  bool IsBroadcast() const { return (flags & 0x1) != 0; }
  bool IsSeekable() const { return (flags & 0x2) != 0; }

  GUID fileId{};
  QWORD fileSize = 0;
  QWORD creationTime = 0;
  QWORD dataPackets = 0;
  QWORD playDuration = 0;  // 100 ns units, preroll included
  QWORD sendDuration = 0;
  QWORD prerollMs = 0;
  DWORD flags = 0;
  DWORD minPacketSize = 0;
  DWORD maxPacketSize = 0;
  DWORD maxBitrate = 0;
};

class StreamProperties {
 public:
  static std::optional<StreamProperties> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;

  WORD StreamNumber() const { return flags & 0x7f; }

  GUID streamType{};
  GUID errorCorrectionType{};
  QWORD timeOffset = 0;
  WORD flags = 0;
  DWORD reserved = 0;
  Bytes typeSpecific;  // a WAVEFORMATEX for audio
  Bytes errorCorrection;
};

class ContentDescription {
 public:
  static std::optional<ContentDescription> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;
  bool Empty() const;

  // The five fields; an absent one is stored with length 0 and reads back as absent.
  std::optional<WideString> title, author, copyright, description, rating;
};

// One name-value pair of the extended content description or the metadata objects, value in
// the file's own encoding (a text without its terminator is read as it stands).
struct Descriptor {
  WORD language = 0;
  WORD stream = 0;
  WideString name;
  ValueType type = ValueType::kText;
  Bytes value;
};

class ExtendedContentDescription {
 public:
  static std::optional<ExtendedContentDescription> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;

  std::vector<Descriptor> descriptors;
};

// The metadata object and the metadata library share one record layout.
class MetadataRecords {
 public:
  static std::optional<std::vector<Descriptor>> ParseRecords(ByteReader& body);
  void Render(ByteWriter& body) const;

  std::vector<Descriptor> records;
};
class Metadata : public MetadataRecords {};
class MetadataLibrary : public MetadataRecords {};

struct CodecEntry {
  WORD type = 0;  // 1 video, 2 audio, 0xffff unknown
  WideString name;
  WideString description;
  Bytes information;
};

class CodecList {
 public:
  static std::optional<CodecList> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;

  std::vector<CodecEntry> entries;
};

using ExtensionObject = std::variant<Metadata, MetadataLibrary, UnknownObject>;

class HeaderExtension {
 public:
  static std::optional<HeaderExtension> Parse(ByteReader& body);
  void Render(ByteWriter& body) const;

  GUID reserved1{};
  WORD reserved2 = 6;
  std::vector<ExtensionObject> objects;
};

using HeaderObject =
    std::variant<FileProperties, StreamProperties, HeaderExtension, ContentDescription,
                 ExtendedContentDescription, CodecList, UnknownObject>;

class Header {
 public:
  // Parses a whole header object, identifier and size included. Fails on anything that is not
  // one, or whose objects run past its end; a known object whose body does not parse is kept
  // unknown.
  static std::optional<Header> Parse(std::span<const BYTE> bytes);
  Bytes Render() const;

  template <class T>
  T* Find() {
    for (auto& object : objects)
      if (auto* found = std::get_if<T>(&object)) return found;
    return nullptr;
  }
  template <class T>
  const T* Find() const {
    return const_cast<Header*>(this)->Find<T>();
  }
  // The header extension, added when there is none.
  HeaderExtension& Extension();
  // Whether a content encryption object of either kind says that the packets are encrypted.
  bool IsProtected() const;

  std::vector<HeaderObject> objects;
  BYTE reserved1 = 0x01;
  BYTE reserved2 = 0x02;
};

// Reads the identifier and size of the object at the reader's position; false when what is
// left cannot hold it.
struct ObjectHead {
  GUID id{};
  QWORD size = 0;
};
std::optional<ObjectHead> ReadObjectHead(ByteReader& reader);

}  // namespace wmvcore::asf
