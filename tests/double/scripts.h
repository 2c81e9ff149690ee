// What a test scripts the runtime double with: plain data, filled in a few lines before the code
// under test runs, and the small builders that keep those lines short. Every member has an
// initialiser, so that a test may leave out any trailing ones of a braced list.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

namespace runtime_double {

// A value as the runtime passes it: a data type and exactly the bytes given or held.
struct TypedValue {
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
  std::vector<BYTE> bytes{};

  DWORD AsDword() const;          // the first four bytes, little-endian; 0 when fewer
  QWORD AsQword() const;          // the first eight bytes, little-endian; 0 when fewer
  std::u16string AsText() const;  // UTF-16 units up to the terminator or the end

  bool operator==(const TypedValue&) const = default;
};

// A media type: the fields of WM_MEDIA_TYPE and its format block, which for audio is a
// WAVEFORMATEX followed by its extra bytes.
struct MediaFormat {
  GUID majorType = WMMEDIATYPE_Audio;
  GUID subtype = WMMEDIASUBTYPE_PCM;
  GUID formatType = WMFORMAT_WaveFormatEx;
  BOOL fixedSizeSamples = TRUE;
  BOOL temporalCompression = FALSE;
  ULONG sampleSize = 0;
  std::vector<BYTE> format{};
  // The size that GetMediaType reports once it has filled a buffer, when not the type's own: a
  // runtime that says it wrote less than the record.
  std::optional<DWORD> reportedSize{};

  // The WAVEFORMATEX at the start of the format block; the missing bytes read as zero.
  WAVEFORMATEX wave() const;

  bool operator==(const MediaFormat&) const = default;
};

// Integer PCM; block alignment and byte rate follow from the three numbers.
MediaFormat PcmFormat(DWORD rate, WORD channels, WORD bits);
// A Windows Media Audio stream format, with the codec's ten extra bytes.
MediaFormat WmaMediaFormat(DWORD rate, WORD channels, WORD bits, DWORD bytesPerSecond = 16000);
// A media type whose major type is video.
MediaFormat VideoFormat();
// The format with its block cut to the 16 bytes of a PCMWAVEFORMAT: no cbSize, no extra bytes.
MediaFormat PcmWaveFormatBlock(MediaFormat format);

// One sample buffer that the reader hands out. Samples of outputs other than 0 and empty
// buffers are scripted like any other.
struct Sample {
  std::vector<BYTE> bytes{};
  DWORD outputNumber = 0;
  WORD streamNumber = 1;
  QWORD time = 0;
  QWORD duration = 0;
  DWORD flags = 0;
  HRESULT result = S_OK;   // what GetNextSample answers as it hands this sample out
  bool withBuffer = true;  // false: GetNextSample answers `result` and hands out no buffer
};
using Samples = std::vector<Sample>;

// Little-endian sample bytes: 16-bit and packed 24-bit integers.
std::vector<BYTE> Bytes16(std::initializer_list<std::int16_t> values);
std::vector<BYTE> Bytes24(std::initializer_list<std::int32_t> values);

// One header attribute, as GetAttributeByIndexEx reports it.
struct Attribute {
  std::u16string name{};
  TypedValue value{};
  WORD language = 0;
  WORD stream = 0;  // 0: the whole file
  // The value length that the size query reports, when it is not the value's own: a runtime
  // that asks for more than it then gives. The value call reports the value's own length and
  // fills the rest of the claimed length with 'Z' units, which the caller must not read.
  std::optional<DWORD> claimedLength{};
  // For its name: see OverclaimedText.
  WORD claimedNameExtraUnits = 0;
};

// UTF-16 bytes of the text; with its terminator unless told otherwise.
std::vector<BYTE> Utf16Bytes(std::u16string_view text, bool terminated = true);
Attribute StringAttribute(std::u16string_view name, std::u16string_view text);
Attribute QwordAttribute(std::u16string_view name, QWORD value);
Attribute DwordAttribute(std::u16string_view name, DWORD value);
Attribute BoolAttribute(std::u16string_view name, bool value);

// One entry of the codec list in a file's header.
struct CodecEntry {
  std::u16string name{};
  std::u16string description{};
  WMT_CODEC_INFO_TYPE type = WMT_CODECINFO_AUDIO;
  std::vector<BYTE> info{};
  // A runtime that asks for more room than it then fills: see OverclaimedText.
  WORD claimedExtraUnits = 0;
};

// The file a reader opens: the formats offered for output 0 under whatever output settings, in
// order; the samples that GetNextSample hands out, in order; the header.
struct ReaderScript {
  std::vector<MediaFormat> outputFormats = {PcmFormat(44100, 2, 16)};
  Samples samples{};
  std::vector<Attribute> attributes{};
  std::vector<CodecEntry> codecs{};
};

// The default judges of the writer: consistent integer PCM of 1 to 8 channels and 8 to 32 bits;
// any name that is not empty.
bool IsConsistentPcm(const WAVEFORMATEX& format);
bool IsNonEmptyName(std::u16string_view name);

// What the writer accepts. Its input properties offer `inputFormat`, or by default 16-bit PCM at
// the rate and channel count of the profile's audio stream; SetInputProps judges the format set
// on them with `acceptsInput`, SetOutputFilename the name with `acceptsFileName`; an empty judge
// accepts anything.
// WriteSample logs a copy of each sample's bytes unless `keepsSampleBytes` is false, as for a
// benchmark that writes many large samples. AllocateSample hands out `sampleSizeChange` bytes
// more than asked (fewer below 0), and reports that length, as a runtime that rounds its buffers
// up may.
struct WriterScript {
  std::optional<MediaFormat> inputFormat{};
  std::function<bool(const WAVEFORMATEX&)> acceptsInput = IsConsistentPcm;
  std::function<bool(std::u16string_view)> acceptsFileName = IsNonEmptyName;
  bool keepsSampleBytes = true;
  int sampleSizeChange = 0;
};

// One format of a codec in the profile manager's catalogue.
struct CodecFormat {
  MediaFormat format{};
  std::u16string description{};
  bool withConfig = true;  // false: the description comes with S_OK and no configuration
};
// A Windows Media Audio codec format with its description, e.g.
// WmaFormat(u"128 kbps, 44 kHz, stereo CBR", 44100, 2, 16).
CodecFormat WmaFormat(std::u16string_view description, DWORD rate, WORD channels, WORD bits);

// One audio codec of the catalogue, with its constant- and variable-bit-rate format lists; which
// one GetCodecFormatCount, GetCodecFormat and GetCodecFormatDesc read is chosen by the codec's
// "_VBRENABLED" enumeration setting (constant until set).
struct Codec {
  std::u16string name{};
  std::vector<CodecFormat> cbr{};
  std::vector<CodecFormat> vbr{};
  // For its name and format descriptions: see OverclaimedText.
  DWORD claimedExtraUnits = 0;
};

// A text of a runtime that overclaims: with `extra` units, its size query (no target) reports
// that many more than the text and terminator need, and the filling call writes the text
// unterminated, 'Z' units in the rest of the room, and reports the text's own length. Returns
// the length reported; with 0 extra the text is written terminated, its length counting it.
std::size_t OverclaimedText(std::u16string_view text, std::size_t extra, WCHAR* target);

}  // namespace runtime_double
