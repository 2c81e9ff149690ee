// What this runtime encodes as Windows Media Audio: its own v2 encoder (with quality-based
// variable-rate formats) and libavcodec's v1 encoder, the best first, then its lossless
// encoder, then its Professional encoder, each with its formats in a fixed order (the options
// word of the plug-in stores positions in these lists, so the order never changes). Every format is
// a real WAVEFORMATEX, its block alignment and codec data taken from the encoder itself, and every
// one encodes.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/wide_text.h"

#include "codecs/stream_encoder.h"
#include "com/media_type.h"

namespace wmvcore {

struct CatalogueFormat {
  DWORD bitrate = 0;  // bits per second
  WaveFormat wave;
  WideString description;  // "128 kbps, 44 kHz, stereo CBR"
};

struct CatalogueCodec {
  WideString name;
  OpenStreamEncoder open = nullptr;
  GUID subtype{};
  std::vector<CatalogueFormat> constantRate;
  std::vector<CatalogueFormat> variableRate;  // empty: no encoder has such a mode for them
};

// The catalogue, built once on first use.
const std::vector<CatalogueCodec>& CodecCatalogue();

// The codec with this WAVEFORMATEX tag, or null.
const CatalogueCodec* FindCodecByTag(WORD formatTag);
// The codec's constant-rate format with the rate, channels and bit rate of `wave`, or null.
const CatalogueFormat* FindCatalogueFormat(const CatalogueCodec& codec, const WaveFormat& wave);

// The codec's variable-rate format with the rate, channels and width of `wave` (and its
// quality, for a quality-based one), or null.
const CatalogueFormat* FindVariableRateFormat(const CatalogueCodec& codec, const WaveFormat& wave);
// The runtime's description of a variable-rate format: "VBR Quality 100, 44 kHz, 2 channel 16
// bit VBR".
WideString DescribeVariableFormat(int quality, DWORD sampleRate, WORD channels, WORD bits);

// The runtime's description of a constant-rate format: the rate in kbps padded to three places
// so that sorted text is rate order, the sample rate in whole kHz, and the channels.
WideString DescribeFormat(DWORD bitrate, DWORD sampleRate, WORD channels);

}  // namespace wmvcore
