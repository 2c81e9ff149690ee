#include "encode/writer_session.h"

#include "common/com_ptr.h"
#include "common/com_apartment.h"
#include "media/media_type.h"
#include "media/text_conversion.h"
#include "options/codec_enumeration.h"
#include "options/encoder_options.h"

namespace {

constexpr WORD kStreamNumber = 1;

// The writer's input as the host delivers it: integer PCM, 24-bit when the host sends floats.
// cbSize is 18 on purpose: the writer is told of a WAVEFORMATEX-sized extension.
void DescribeHostInput(const OutputContext& context, WAVEFORMATEX& format) {
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = context.channels;
  format.nSamplesPerSec = static_cast<DWORD>(context.sampleRate);
  format.wBitsPerSample = context.bitsPerSample;
  format.nBlockAlign = static_cast<WORD>(format.nChannels * (format.wBitsPerSample / 8));
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  format.cbSize = 18;
}

// Names the file. The name is converted without a length limit, so the writer never receives a
// name cut short or left without its terminator.
bool NameOutputFile(IWMWriter* writer, LPCSTR fileName) {
  HeapBuffer<WCHAR> wideName;
  return AnsiToWideText(fileName, wideName) && SUCCEEDED(writer->SetOutputFilename(wideName.get()));
}

}  // namespace

BOOL OpenWriter(OutputContext& context) {
  // Declared in the order of acquisition: leaving early gives back media type, input props,
  // stream configuration, codec information, profile, profile manager, writer, then COM.
  ScopedComApartment apartment;
  if (!apartment.entered()) return FALSE;
  ComPtr<IWMWriter> writer;
  if (FAILED(WMCreateWriter(nullptr, writer.put()))) return FALSE;
  ComPtr<IWMProfileManager> profileManager;
  if (FAILED(WMCreateProfileManager(profileManager.put()))) return FALSE;
  ComPtr<IWMProfile> profile;
  if (FAILED(profileManager->CreateEmptyProfile(WMT_VER_9_0, profile.put()))) return FALSE;
  ComPtr<IWMCodecInfo3> codecInfo;
  if (FAILED(profileManager.query_to(IID_IWMCodecInfo3, codecInfo))) return FALSE;

  context.options = ResolveEncoderOptions(context.options);
  const EncoderChoice choice = ReadEncoderOptions(context.options);
  if (FAILED(SelectBitRateMode(codecInfo.get(), choice.codecIndex, choice.variableBitRate))) {
    return FALSE;
  }
  ComPtr<IWMStreamConfig> config;
  if (FAILED(codecInfo->GetCodecFormat(WMMEDIATYPE_Audio, choice.codecIndex, choice.formatIndex,
                                       config.put())) ||
      FAILED(config->SetStreamNumber(kStreamNumber)) || FAILED(profile->AddStream(config.get())) ||
      FAILED(writer->SetProfile(profile.get()))) {
    return FALSE;
  }

  ComPtr<IWMInputMediaProps> inputProps;
  if (FAILED(writer->GetInputProps(0, inputProps.put()))) return FALSE;
  DWORD size = 0;
  HeapBuffer<WM_MEDIA_TYPE> mediaType = FetchMediaType(inputProps.get(), size);
  // The host's layout is written with its cbSize, so the input's block must hold a whole
  // WAVEFORMATEX; a shorter one is refused rather than written past.
  WAVEFORMATEX* format = FindWaveFormat(mediaType.get(), size, sizeof(WAVEFORMATEX));
  if (format == nullptr) return FALSE;
  DescribeHostInput(context, *format);
  if (FAILED(inputProps->SetMediaType(mediaType.get())) ||
      FAILED(writer->SetInputProps(0, inputProps.get())) ||
      !NameOutputFile(writer.get(), context.fileName)) {
    return FALSE;
  }

  context.writer = writer.detach();
  apartment.Keep();
  return TRUE;
}

void CloseWriter(OutputContext& context) {
  if (context.writer != nullptr) {
    // A failing EndWriting changes nothing here: the writer goes and COM is undone regardless.
    if (context.writingStarted) context.writer->EndWriting();
    context.writer->Release();
  }
  LeaveComApartment();
}
