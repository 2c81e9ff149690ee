// A media type held by value: the fields of WM_MEDIA_TYPE and a copy of its format block. It
// is handed out under the size protocol as one block, the WM_MEDIA_TYPE followed by the
// format that its pbFormat points to.
#pragma once

#include <optional>

#include <windows.h>
#include <wmsdk.h>

#include "asf/byte_io.h"

namespace wmvcore {

// The audio numbers of a format block: tag, rate, channels, width and the rest.
struct WaveFormat {
  WORD formatTag = 0;
  WORD channels = 0;
  DWORD samplesPerSec = 0;
  DWORD avgBytesPerSec = 0;
  WORD blockAlign = 0;
  WORD bitsPerSample = 0;
  Bytes extra;  // what follows the 18 bytes of WAVEFORMATEX, as cbSize counts it
};

class MediaType {
 public:
  // Interleaved integer PCM; WAVEFORMATEXTENSIBLE above two channels or 16 bits, as Windows
  // describes such audio.
  static MediaType Pcm(DWORD rate, WORD channels, WORD bits);
  // An audio type whose format block is `format` (a compressed stream's WAVEFORMATEX).
  static MediaType Audio(const GUID& subtype, const WaveFormat& format);
  // A caller's type; nothing when it is malformed (no format block where its size says one).
  static std::optional<MediaType> From(const WM_MEDIA_TYPE* type);
  // The type of media properties of any origin, read through the size protocol.
  static std::optional<MediaType> Read(IWMMediaProps* props);

  // The size protocol: with no `type`, the size of the block; otherwise the block, if it fits.
  HRESULT CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const;

  // The WAVEFORMATEX numbers of an audio type with a wave format block.
  std::optional<WaveFormat> Wave() const;
  bool IsPcm() const;
  // The speakers that a WAVEFORMATEXTENSIBLE names; 0 for any other format.
  DWORD ChannelMask() const;

  GUID majortype{};
  GUID subtype{};
  BOOL fixedSizeSamples = FALSE;
  BOOL temporalCompression = FALSE;
  ULONG sampleSize = 0;
  GUID formattype{};
  Bytes format;
};

// The media subtype of an audio format tag: the tag in the base identifier.
GUID SubtypeForTag(WORD tag);

// A WAVEFORMATEX in bytes, with cbSize and its extra bytes.
Bytes RenderWaveFormat(const WaveFormat& format);
std::optional<WaveFormat> ParseWaveFormat(std::span<const BYTE> bytes);

}  // namespace wmvcore
