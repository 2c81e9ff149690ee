// The lossless table's measuring program: encodes a 16- or 24-bit PCM WAVE file with the
// runtime's lossless encoder (on one thread, its check off) and decodes the packets again with
// libavcodec, each timed in CPU time of this process, and prints "bytes encode_cpu_s decode_cpu_s
// seconds_of_audio". The encode is not checked here (the tests check it); the decode compares
// nothing and only runs.
//   lossless_table FILE.wav
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "codecs/lossless/lossless_encoder.h"
#include "codecs/lossless/stream_format.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using wmvcore::lossless::StreamFormat;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

uint32_t Le(const std::vector<uint8_t>& b, std::size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | b[at + static_cast<std::size_t>(i)];
  return value;
}

class Keep final : public wmvcore::PayloadSink {
 public:
  HRESULT Write(const wmvcore::Payload& payload) override {
    packets.emplace_back(payload.data, payload.data + payload.size);
    return S_OK;
  }
  std::vector<std::vector<uint8_t>> packets;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<uint8_t> wave((std::istreambuf_iterator<char>(file)), {});
  StreamFormat format;
  std::size_t data = 0, dataBytes = 0;
  for (std::size_t at = 12; at + 8 <= wave.size();) {
    const uint32_t size = Le(wave, at + 4, 4);
    if (wave[at] == 'f' && wave[at + 1] == 'm') {
      format.channels = static_cast<int>(Le(wave, at + 10, 2));
      format.sampleRate = static_cast<int>(Le(wave, at + 12, 4));
      format.bitsPerSample = static_cast<int>(Le(wave, at + 22, 2));
    } else if (wave[at] == 'd' && wave[at + 1] == 'a') {
      data = at + 8;
      dataBytes = std::min<std::size_t>(size, wave.size() - data);
      break;
    }
    at += 8 + size + (size & 1);
  }
  const int bytes = format.bitsPerSample / 8;
  const std::size_t count = dataBytes / static_cast<std::size_t>(bytes);
  std::vector<int32_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint32_t raw = Le(wave, data + i * static_cast<std::size_t>(bytes), bytes);
    samples[i] =
        static_cast<int32_t>(raw << (32 - format.bitsPerSample)) >> (32 - format.bitsPerSample);
  }
  wmvcore::WaveFormat stream;
  stream.formatTag = wmvcore::kLosslessTag;
  stream.channels = static_cast<WORD>(format.channels);
  stream.samplesPerSec = static_cast<DWORD>(format.sampleRate);
  stream.bitsPerSample = static_cast<WORD>(format.bitsPerSample);
  const auto encoder = wmvcore::OpenLosslessEncoder(stream, false);
  if (!encoder) return 1;
  Keep out;
  const double start = CpuSeconds();
  if (FAILED(wmvcore::EncodeLossless(*encoder, samples.data(),
                                     count / static_cast<std::size_t>(format.channels), out)))
    return 1;
  const double encoded = CpuSeconds();

  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_WMALOSSLESS);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  decoder->sample_rate = format.sampleRate;
  av_channel_layout_default(&decoder->ch_layout, format.channels);
  decoder->block_align = wmvcore::lossless::PacketBytes(format);
  const auto extra = wmvcore::lossless::CodecData(format);
  decoder->extradata =
      static_cast<uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::copy(extra.begin(), extra.end(), decoder->extradata);
  decoder->extradata_size = static_cast<int>(extra.size());
  avcodec_open2(decoder, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const double decodeStart = CpuSeconds();
  for (const auto& bytesOfPacket : out.packets) {
    av_new_packet(packet, static_cast<int>(bytesOfPacket.size()));
    std::copy(bytesOfPacket.begin(), bytesOfPacket.end(), packet->data);
    avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    while (avcodec_receive_frame(decoder, frame) == 0) av_frame_unref(frame);
  }
  avcodec_send_packet(decoder, nullptr);
  while (avcodec_receive_frame(decoder, frame) == 0) av_frame_unref(frame);
  const double decoded = CpuSeconds();
  std::size_t total = 0;
  for (const auto& p : out.packets) total += p.size();
  std::printf(
      "%zu %.3f %.3f %.2f\n", total, encoded - start, decoded - decodeStart,
      static_cast<double>(count / static_cast<std::size_t>(format.channels)) / format.sampleRate);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  return 0;
}
