#include "codecs/lossless/frame_coder.h"

#include <algorithm>
#include <cstdlib>

#include "codecs/lossless/tile_coder.h"

namespace wmvcore::lossless {

namespace {

template <typename History>
class FrameCoderOf final : public FrameCoder {
 public:
  explicit FrameCoderOf(const StreamFormat& format)
      : format_(format),
        frameLength_(SamplesPerFrame(format)),
        tiles_(format),
        padded_(static_cast<std::size_t>(format.channels)),
        pointers_(static_cast<std::size_t>(format.channels)) {}

  void CodeSegment(const int32_t* const* planar, int length,
                   std::vector<CodedFrame>& out) override {
    const int frames = (length + frameLength_ - 1) / frameLength_;
    out.resize(static_cast<std::size_t>(frames));
    const Tools tools = ChooseTools(format_, planar, length);
    for (int frame = 0; frame < frames; ++frame) {
      const int start = frame * frameLength_;
      const int count = std::min(frameLength_, length - start);
      for (int c = 0; c < format_.channels; ++c) {
        const auto k = static_cast<std::size_t>(c);
        if (count == frameLength_) {
          pointers_[k] = planar[c] + start;
        } else {
          // The last frame: zeros after the input, which the decoder drops.
          padded_[k].assign(static_cast<std::size_t>(frameLength_), 0);
          std::copy(planar[c] + start, planar[c] + start + count, padded_[k].begin());
          pointers_[k] = padded_[k].data();
        }
      }
      CodedFrame& coded = out[static_cast<std::size_t>(frame)];
      coded.bits.Clear();
      coded.seekable = frame == 0;
      content_.Clear();
      PutHeader(frameLength_ - count, content_);
      tiles_.Code(pointers_.data(), frameLength_, frame == 0 ? &tools : nullptr, content_);
      const int lengthField = CarriedBitsField(format_);
      coded.bits.Put(static_cast<uint32_t>(lengthField + content_.bits() + 2), lengthField);
      coded.bits.Append(content_, 0, content_.bits());
      coded.bits.Put(0, 1);
      coded.bits.Put(1, 1);
    }
  }

 private:
  void PutHeader(int dropped, BitWriter& out) const {
    out.Put(1, 1);  // every channel tiled alike (one tile a frame)
    if (dropped == 0) {
      out.Put(0, 1);  // no samples to drop
      return;
    }
    out.Put(1, 1);
    out.Put(0, 1);  // none at the start
    out.Put(1, 1);  // these at the end
    out.Put(static_cast<uint32_t>(dropped), SkipCountBits(format_));
  }

  StreamFormat format_;
  int frameLength_;
  TileCoder<History> tiles_;
  std::vector<std::vector<int32_t>> padded_;
  std::vector<const int32_t*> pointers_;
  BitWriter content_;
};

// Sum of absolute first differences: a cheap measure of how much is left to predict.
uint64_t Roughness(const int32_t* a, const int32_t* b, int length, int mode) {
  uint64_t total = 0;
  int32_t previous = 0;
  for (int i = 0; i < length; ++i) {
    int32_t value = 0;
    switch (mode) {
      case 0:
        value = a[i];
        break;
      case 1:
        value = b[i] - a[i];
        break;
      default:
        value = a[i] + ((b[i] - a[i]) >> 1);
        break;
    }
    total += static_cast<uint64_t>(std::abs(value - previous));
    previous = value;
  }
  return total;
}

}  // namespace

std::unique_ptr<FrameCoder> FrameCoder::Create(const StreamFormat& format) {
  if (format.bitsPerSample > 16) return std::make_unique<FrameCoderOf<int32_t>>(format);
  return std::make_unique<FrameCoderOf<int16_t>>(format);
}

Tools ChooseTools(const StreamFormat& format, const int32_t* const* planar, int length) {
  Tools tools;
  // Measured on music, speech and noise against flac: the first difference ahead of two short
  // filters compresses better than longer cascades (which adapt too slowly for a segment) and
  // costs less than the decoder's own work; orders 256 cost twice as much for little gain.
  tools.fixedOrder = 1;
  tools.fixedScaling = 0;
  tools.fixedCoefs[0] = 1;
  tools.cascade = {{32, 12}, {16, 10}};
  if (format.channels == 2) {
    const int probe = std::min(length, 8192);
    const uint64_t separate =
        Roughness(planar[0], planar[1], probe, 0) + Roughness(planar[1], planar[0], probe, 0);
    const uint64_t joint =
        Roughness(planar[0], planar[1], probe, 1) + Roughness(planar[0], planar[1], probe, 2);
    tools.midSide = joint < separate;
  }
  return tools;
}

}  // namespace wmvcore::lossless
