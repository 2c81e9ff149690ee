#include "decode/reader_session.h"

#include "common/com_ptr.h"
#include "common/wide_text.h"
#include "common/com_apartment.h"
#include "media/media_type.h"
#include "media/text_conversion.h"

namespace {

// The UTF-16 name is freed right after Open, whatever Open answered.
bool OpenFile(IWMSyncReader* reader, LPCSTR fileName) {
  if (fileName == nullptr) return false;  // no name opens nothing, rather than being read through
  HeapBuffer<WCHAR> wideName;
  if (!AnsiToWideText(fileName, wideName)) return false;
  return SUCCEEDED(reader->Open(wideName.get()));
}

// Asks for every channel as it is and for stereo speakers. The runtime may refuse either
// setting; the open goes on with whatever format it then offers.
void RequestOutputSettings(IWMSyncReader* reader) {
  const BOOL discreteOutput = TRUE;
  reader->SetOutputSetting(0, WSTR("EnableDiscreteOutput"), WMT_TYPE_BOOL,
                           reinterpret_cast<const BYTE*>(&discreteOutput), sizeof(discreteOutput));
  const DWORD speakerConfig = 2;
  reader->SetOutputSetting(0, WSTR("SpeakerConfig"), WMT_TYPE_DWORD,
                           reinterpret_cast<const BYTE*>(&speakerConfig), sizeof(speakerConfig));
}

// Takes the sample format from output 0's media type. Only 8-, 16- and 24-bit PCM reach the
// host correctly: 8 and 16 bits are copied, 24 bits become floats. Any other width, a 32-bit
// one included, would be misread as packed 24-bit samples, so the open refuses it.
bool AcceptAudioFormat(WM_MEDIA_TYPE* type, DWORD size, InputContext& context) {
  // A type shorter than its record, or without a whole WAVEFORMATEX, is refused, not read past.
  const WAVEFORMATEX* format = FindWaveFormat(type, size);
  if (format == nullptr || !IsEqualGUID(type->majortype, WMMEDIATYPE_Audio)) return false;
  const WORD width = format->wBitsPerSample;
  if (width != 8 && width != 16 && width != 24) return false;
  context.channels = format->nChannels;
  context.sampleRate = static_cast<LONG>(format->nSamplesPerSec);
  context.bitsPerSample = width == 24 ? 32 : width;
  return context.channels != 0 && context.sampleRate != 0;
}

}  // namespace

BOOL OpenReader(InputContext& context) {
  // Declared in the order of acquisition, so that leaving early gives back in reverse order:
  // media type, props, reader, then COM.
  ScopedComApartment apartment;
  if (!apartment.entered()) return FALSE;

  ComPtr<IWMSyncReader> reader;
  if (FAILED(WMCreateSyncReader(nullptr, kPlaybackRights, reader.put()))) return FALSE;
  if (!OpenFile(reader.get(), context.fileName)) return FALSE;
  RequestOutputSettings(reader.get());

  ComPtr<IWMOutputMediaProps> props;
  if (FAILED(reader->GetOutputFormat(0, 0, props.put()))) return FALSE;
  DWORD size = 0;
  HeapBuffer<WM_MEDIA_TYPE> mediaType = FetchMediaType(props.get(), size);
  if (!mediaType || !AcceptAudioFormat(mediaType.get(), size, context)) return FALSE;
  if (FAILED(reader->SetOutputProps(0, props.get()))) return FALSE;

  context.reader = reader.detach();
  apartment.Keep();
  return TRUE;
}

void CloseReader(InputContext& context) {
  if (context.sample != nullptr) context.sample->Release();
  if (context.reader != nullptr) {
    context.reader->Close();
    context.reader->Release();
  }
  LeaveComApartment();
}
