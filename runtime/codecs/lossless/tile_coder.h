// Codes tiles: each tile is a frame's samples of every channel, predicted with the tools of the
// last seekable tile and Rice-coded, or stored raw where that is smaller. The coder keeps the
// state the decoder keeps between tiles (filter histories and coefficients, update speeds,
// Rice averages), so a tile is coded against exactly what the decoder will know.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codecs/lossless/lms_filter.h"
#include "codecs/lossless/rice_coder.h"
#include "codecs/lossless/stream_format.h"
#include "codecs/lossless/tools.h"
#include "codecs/shared/bit_writer.h"

namespace wmvcore::lossless {

inline constexpr int kMaxCascade = 8;

template <typename History>
class TileCoder {
 public:
  explicit TileCoder(const StreamFormat& format);

  // Codes `length` samples of each channel (`samples[c]`). With `seekable`, the tile starts the
  // decoder afresh with those tools; a stream's first tile must be seekable.
  void Code(const int32_t* const* samples, int length, const Tools* seekable, BitWriter& out);

 private:
  struct Channel {
    std::array<LmsFilter<History>, kMaxCascade> filters;
    int speed = 0;  // the decoder's update speed: 0 before the first coded tile, then 8 or 16
    RiceCoder rice;
    std::array<int32_t, 16>
        fixedHistory{};  // the last samples of the last coded tile, newest first
  };

  void StartAfresh(const Tools& tools);
  // The samples without the low bits that are zero in all of them (sent as a count: the
  // decoder shifts them back in), in shifted_ when there are any.
  const int32_t* const* DropZeroBits(const int32_t* const* samples, int length);
  // Fixed filter and mid/side into work_.
  void Decorrelate(const int32_t* const* samples, int length);
  void RememberFixed(const int32_t* const* samples, int length);
  // The cascade over a coded channel's work_, at the tile's update speed.
  void Predict(Channel& channel, int32_t* values, int length, bool seekable);
  int ChooseAverageScaling(int length) const;
  void PutHeader(const Tools* seekable, bool raw, BitWriter& out) const;
  void PutResiduals(Channel& channel, const int32_t* residuals, int length, bool seekable,
                    BitWriter& out) const;

  StreamFormat format_;
  Tools tools_;
  std::vector<Channel> channels_;
  std::vector<Channel> saved_;  // the state before the tile, for a tile stored raw
  std::vector<std::vector<int32_t>> work_;
  std::vector<std::vector<int32_t>> shifted_;
  std::vector<const int32_t*> shiftedPlanes_;
  int zeroBits_ = 0;
  std::vector<bool> coded_;
  BitWriter body_;
};

extern template class TileCoder<int16_t>;
extern template class TileCoder<int32_t>;

}  // namespace wmvcore::lossless
