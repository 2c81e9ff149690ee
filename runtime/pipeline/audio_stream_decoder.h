// Decodes one audio stream of a demuxed file with libavcodec and converts each decoded frame
// with libswresample straight into a new sample buffer of interleaved PCM (8, 16 or 24 bits,
// any rate and channel count). The reader owns one per audio output and feeds it packets.
// With more than one coding thread the packets are decoded ahead on worker threads
// (segmented_decoder.h), which also convert, into the buffers handed out, what they can
// convert without changing the outcome; the rest is converted here, in order.
// Codecs decode whole frames, so the final frame overhangs the audio that was encoded, and an
// encoder may code frames past it (silence that makes up a short stream). When the file's
// header says where the stream ends, the sample that point falls inside is cut there and what
// decodes after it goes: a file hands back the length it was saved with.
#pragma once

#include <memory>

#include <windows.h>
#include <wmsdk.h>

#include "common/com_ptr.h"
#include "ffmpeg/ffmpeg_handles.h"
#include "pipeline/pcm_converter.h"
#include "pipeline/pcm_format.h"

namespace wmvcore {

class SampleBuffer;
class SegmentedDecoder;

struct DecodedSample {
  ComPtr<INSSBuffer> buffer;
  QWORD time = 0;  // 100 ns units from the start of the output
  QWORD duration = 0;
};

class AudioStreamDecoder {
 public:
  // A decoder for `stream`, or null when libavcodec has none for its codec. `length` is how
  // long the file's header says the stream plays, in 100 ns units; 0 when it does not say.
  static std::unique_ptr<AudioStreamDecoder> Open(const AVStream& stream, QWORD length);
  ~AudioStreamDecoder();
  AudioStreamDecoder(const AudioStreamDecoder&) = delete;
  AudioStreamDecoder& operator=(const AudioStreamDecoder&) = delete;

  // The format this stream decodes to by itself: its own rate, its channels (all of them when
  // `discrete`, else folded to stereo above two), and 24 bits when the stream declares more
  // than 16, else 16.
  PcmFormat NativeFormat(bool discrete) const;
  // The format of the samples from now on.
  void SetFormat(const PcmFormat& format);

  // Hands a packet to the decoder, which may take its reference and leave it empty; null
  // marks the end of the stream. A packet the decoder refuses as damaged is dropped: decoding
  // goes on with the next.
  void Send(AVPacket* packet);
  // The next converted sample: S_OK with one, S_FALSE when more packets are needed,
  // NS_E_NO_MORE_SAMPLES once the end has been sent and everything delivered, E_OUTOFMEMORY.
  HRESULT Receive(DecodedSample& sample);

 private:
  explicit AudioStreamDecoder(CodecContextHandle codec);
  // The next converted sample as decoded, uncut; results as Receive's.
  HRESULT Produce(DecodedSample& sample);
  // Whether the header's end falls inside `sample`, just stamped, or at its first frame; if so,
  // notes its length and duration cut there.
  bool EndsInside(const DecodedSample& sample);
  // The next decoded frame into frame_: S_OK, S_FALSE when more packets are needed,
  // NS_E_NO_MORE_SAMPLES at the end. `converted` is set when a worker has already converted
  // the frame's samples to format_.
  HRESULT NextFrame(ComPtr<SampleBuffer>& converted);
  // Converts `frame` (null: what the converter still holds) into a sample; S_FALSE when that
  // gives no audio.
  HRESULT Convert(const AVFrame* frame, DecodedSample& sample);
  // The samples a worker converted from `frame` as the sample.
  HRESULT Deliver(const AVFrame& frame, ComPtr<SampleBuffer> converted, DecodedSample& sample);
  // Stamps `buffer` with its time and makes it the sample.
  void Stamp(ComPtr<SampleBuffer> buffer, DecodedSample& sample);

  SharedCodecContext codec_;  // shared with the workers decoding ahead
  // The stream's own numbers, taken at the open: workers may decode with codec_ meanwhile.
  int streamRate_ = 0;
  int streamChannels_ = 0;
  int codedBits_ = 0;
  FrameHandle frame_{av_frame_alloc()};
  PcmConverter converter_;
  PcmFormat format_;
  QWORD samplesDelivered_ = 0;
  bool endSent_ = false;
  bool converterFlushed_ = false;
  bool started_ = false;      // a packet has been sent
  bool outOfMemory_ = false;  // the decoder could not take a packet
  QWORD length_ = 0;          // by the header, 100 ns units; 0: not known
  // The sample the header's end falls inside, held until the stream ends (then it is cut to
  // cutBytes_ and cutDuration_; what decodes after it goes).
  DecodedSample held_;
  DWORD cutBytes_ = 0;
  QWORD cutDuration_ = 0;
  // Null: decoded here, on the reader's thread. Last: its workers end before codec_ goes.
  std::unique_ptr<SegmentedDecoder> ahead_;
};

}  // namespace wmvcore
