// FindDefaultEncoderOptions: the default format, looked up in the runtime's codecs each time.
#include "common/wide_text.h"
#include "common/com_apartment.h"
#include "options/codec_enumeration.h"
#include "options/encoder_options.h"

namespace {

bool QualifiesAsDefault(const CodecFormatDetails& details) {
  const WAVEFORMATEX& format = *details.format;
  return QualifiesAsDefaultFormat(format.nChannels, format.wBitsPerSample, format.nSamplesPerSec,
                                  details.description.get());
}

// The word of the codec's first qualifying format, or 0.
DWORD SearchCodec(IWMCodecInfo3* codecInfo, DWORD codecIndex) {
  if (FAILED(SelectBitRateMode(codecInfo, codecIndex, FALSE))) return 0;
  DWORD formats = 0;
  if (FAILED(codecInfo->GetCodecFormatCount(WMMEDIATYPE_Audio, codecIndex, &formats))) return 0;
  // Only the indices that the word can hold are searched, as the dialog's OK accepts only them.
  for (DWORD formatIndex = 0; formatIndex < formats && formatIndex <= kMaxFormatIndex;
       ++formatIndex) {
    CodecFormatDetails details;
    if (!details.Read(codecInfo, codecIndex, formatIndex) || !QualifiesAsDefault(details)) continue;
    // Codec 0, format 0 builds the word 0, the request for the default itself, so the search
    // goes on past it.
    const DWORD options = BuildEncoderOptions(codecIndex, formatIndex, FALSE);
    if (options != 0) return options;
  }
  return 0;
}

}  // namespace

DWORD FindDefaultEncoderOptions() {
  ScopedComApartment apartment;
  if (!apartment.entered()) return 0;
  CodecEnumeration enumeration;
  if (!enumeration.Open()) return 0;
  DWORD codecs = 0;
  if (FAILED(enumeration.codecInfo->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs))) return 0;
  for (DWORD codecIndex = 0; codecIndex < codecs && codecIndex <= kMaxCodecIndex; ++codecIndex) {
    const DWORD options = SearchCodec(enumeration.codecInfo.get(), codecIndex);
    if (options != 0) return options;
  }
  return 0;
}
