#include "pipeline/pcm_converter.h"

#include "com/sample_buffer.h"

namespace wmvcore {
namespace {

// Bytes a sample frame of `output` takes while converted, before 24-bit samples are packed.
std::size_t ConvertedFrameBytes(const PcmFormat& output) {
  return static_cast<std::size_t>(output.bits == 24 ? 4 : output.bits / 8) * output.channels;
}

// Packs 32-bit samples in place to their top three bytes: an arithmetic shift right by 8,
// stored little-endian. Writing sample i at 3i never overtakes the read of sample i at 4i.
void PackTo24Bits(BYTE* data, std::size_t samples) {
  for (std::size_t i = 0; i < samples; ++i) {
    const BYTE* wide = data + 4 * i;
    BYTE* packed = data + 3 * i;
    const BYTE b1 = wide[1], b2 = wide[2], b3 = wide[3];
    packed[0] = b1;
    packed[1] = b2;
    packed[2] = b3;
  }
}

}  // namespace

PcmConverter::~PcmConverter() { av_channel_layout_uninit(&inputLayout_); }

bool PcmConverter::Configure(const AVFrame& frame, const PcmFormat& output) {
  const AVSampleFormat inputFormat = static_cast<AVSampleFormat>(frame.format);
  if (converter_ && inputFormat == inputFormat_ && frame.sample_rate == inputRate_ &&
      av_channel_layout_compare(&frame.ch_layout, &inputLayout_) == 0 && output == output_)
    return true;

  AVChannelLayout inputLayout = UsableLayout(frame.ch_layout);
  AVChannelLayout outputLayout{};
  if (output.channels == inputLayout.nb_channels)
    av_channel_layout_copy(&outputLayout, &inputLayout);
  else
    av_channel_layout_default(&outputLayout, output.channels);
  SwrContext* converter = nullptr;
  const int allocated = swr_alloc_set_opts2(
      &converter, &outputLayout, ConverterSampleFormat(output.bits), static_cast<int>(output.rate),
      &inputLayout, inputFormat, frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inputLayout);
  av_channel_layout_uninit(&outputLayout);
  ResamplerHandle handle(converter);
  if (allocated < 0 || swr_init(converter) < 0) return false;

  converter_ = std::move(handle);
  inputFormat_ = inputFormat;
  inputRate_ = frame.sample_rate;
  av_channel_layout_uninit(&inputLayout_);
  av_channel_layout_copy(&inputLayout_, &frame.ch_layout);
  output_ = output;
  return true;
}

HRESULT PcmConverter::Convert(const AVFrame* frame, ComPtr<SampleBuffer>& sample,
                              const std::shared_ptr<RecycledBlocks>& blocks) {
  if (!converter_) return S_FALSE;
  const int capacity =
      swr_get_out_samples(converter_.get(), frame != nullptr ? frame->nb_samples : 0);
  if (capacity <= 0) return S_FALSE;
  const std::size_t room = ConvertedFrameBytes(output_) * static_cast<std::size_t>(capacity);
  sample =
      ComPtr<SampleBuffer>::Adopt(blocks ? SampleBuffer::Create(static_cast<DWORD>(room), 0, blocks)
                                         : SampleBuffer::Create(static_cast<DWORD>(room), 0));
  if (!sample) return E_OUTOFMEMORY;
  BYTE* out = sample->data();
  const int converted =
      frame != nullptr
          ? swr_convert(converter_.get(), &out, capacity,
                        const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples)
          : swr_convert(converter_.get(), &out, capacity, nullptr, 0);
  if (converted <= 0) {
    sample.reset();
    return converted == AVERROR(ENOMEM) ? E_OUTOFMEMORY : S_FALSE;
  }
  if (output_.bits == 24) PackTo24Bits(out, static_cast<std::size_t>(converted) * output_.channels);
  sample->SetLength(static_cast<DWORD>(output_.FrameBytes() * static_cast<std::size_t>(converted)));
  return S_OK;
}

}  // namespace wmvcore
