#include "codecs/lossless/tile_coder.h"

#include <algorithm>
#include <bit>

namespace wmvcore::lossless {

namespace {

constexpr int kHighSpeed = 16;   // the update speed of a seekable tile
constexpr int kNormalSpeed = 8;  // and of the tiles after it

}  // namespace

template <typename History>
TileCoder<History>::TileCoder(const StreamFormat& format)
    : format_(format),
      channels_(static_cast<std::size_t>(format.channels)),
      work_(static_cast<std::size_t>(format.channels)),
      shifted_(static_cast<std::size_t>(format.channels)),
      shiftedPlanes_(static_cast<std::size_t>(format.channels)),
      coded_(static_cast<std::size_t>(format.channels)) {}

template <typename History>
const int32_t* const* TileCoder<History>::DropZeroBits(const int32_t* const* samples, int length) {
  uint32_t any = 0;
  for (int c = 0; c < format_.channels; ++c)
    for (int i = 0; i < length; ++i) any |= static_cast<uint32_t>(samples[c][i]);
  zeroBits_ = any == 0 ? 0 : std::min(std::countr_zero(any), format_.bitsPerSample - 1);
  if (zeroBits_ == 0) return samples;
  for (int c = 0; c < format_.channels; ++c) {
    auto& shifted = shifted_[static_cast<std::size_t>(c)];
    shifted.resize(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
      shifted[static_cast<std::size_t>(i)] = samples[c][i] >> zeroBits_;
    shiftedPlanes_[static_cast<std::size_t>(c)] = shifted.data();
  }
  return shiftedPlanes_.data();
}

template <typename History>
void TileCoder<History>::StartAfresh(const Tools& tools) {
  tools_ = tools;
  if (format_.channels != 2) tools_.midSide = false;
  for (Channel& channel : channels_) {
    for (std::size_t i = 0; i < tools_.cascade.size(); ++i) {
      channel.filters[i].Clear();
      channel.filters[i].Restart(tools_.cascade[i].order, tools_.cascade[i].scaling);
    }
    channel.rice.Reset(tools_.averageScaling);
    channel.fixedHistory.fill(0);
  }
}

template <typename History>
void TileCoder<History>::Decorrelate(const int32_t* const* samples, int length) {
  for (int c = 0; c < format_.channels; ++c) {
    auto& work = work_[static_cast<std::size_t>(c)];
    work.resize(static_cast<std::size_t>(length));
    const int32_t* x = samples[c];
    const auto& history = channels_[static_cast<std::size_t>(c)].fixedHistory;
    for (int i = 0; i < length; ++i) {
      uint32_t sum = 0;
      for (int j = 0; j < tools_.fixedOrder; ++j) {
        const int back = i - j - 1;
        const int32_t past = back >= 0 ? x[back] : history[static_cast<std::size_t>(-back - 1)];
        sum += static_cast<uint32_t>(tools_.fixedCoefs[static_cast<std::size_t>(j)]) *
               static_cast<uint32_t>(past);
      }
      const int32_t prediction = static_cast<int32_t>(sum) >> tools_.fixedScaling;
      work[static_cast<std::size_t>(i)] = x[i] - prediction;
    }
  }
  if (tools_.midSide) {
    // The decoder turns (mid, side) back into (mid - side / 2, that + side).
    auto& left = work_[0];
    auto& right = work_[1];
    for (int i = 0; i < length; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const int32_t side = right[k] - left[k];
      left[k] = left[k] + (side >> 1);
      right[k] = side;
    }
  }
}

template <typename History>
void TileCoder<History>::RememberFixed(const int32_t* const* samples, int length) {
  for (int c = 0; c < format_.channels; ++c) {
    auto& history = channels_[static_cast<std::size_t>(c)].fixedHistory;
    for (int j = tools_.fixedOrder - 1; j >= 0; --j) {
      const auto k = static_cast<std::size_t>(j);
      history[k] =
          length <= j ? history[k - static_cast<std::size_t>(length)] : samples[c][length - j - 1];
    }
  }
}

template <typename History>
void TileCoder<History>::Predict(Channel& channel, int32_t* values, int length, bool seekable) {
  const int speed = seekable ? kHighSpeed : kNormalSpeed;
  if (channel.speed != speed) {
    for (std::size_t i = 0; i < tools_.cascade.size(); ++i)
      channel.filters[i].ScaleUpdates(speed == kHighSpeed);
    channel.speed = speed;
  }
  for (std::size_t i = 0; i < tools_.cascade.size(); ++i)
    channel.filters[i].Run(values, length, format_.bitsPerSample, speed);
}

template <typename History>
int TileCoder<History>::ChooseAverageScaling(int length) const {
  int best = tools_.averageScaling;
  uint64_t bestCost = UINT64_MAX;
  for (int scaling = 0; scaling < 8; ++scaling) {
    uint64_t cost = 0;
    for (int c = 0; c < format_.channels; ++c) {
      if (!coded_[static_cast<std::size_t>(c)]) continue;
      const int32_t* residuals = work_[static_cast<std::size_t>(c)].data();
      RiceCoder rice;
      rice.Start(scaling, StartingAverage(residuals + 1, length - 1, format_.bitsPerSample));
      for (int i = 1; i < length; ++i) cost += rice.Cost(residuals[i]);
    }
    if (cost < bestCost) {
      bestCost = cost;
      best = scaling;
    }
  }
  return best;
}

template <typename History>
void TileCoder<History>::PutHeader(const Tools* seekable, bool raw, BitWriter& out) const {
  out.Put(seekable ? 1 : 0, 1);
  if (seekable) {
    out.Put(0, 1);  // no arithmetic coding
    out.Put(tools_.fixedOrder > 0 ? 1 : 0, 1);
    out.Put(tools_.midSide ? 1 : 0, 1);
    out.Put(0, 1);  // no multichannel filter
    if (tools_.fixedOrder > 0) {
      out.Put(static_cast<uint32_t>(tools_.fixedOrder - 1), 4);
      out.Put(static_cast<uint32_t>(tools_.fixedScaling), 4);
      for (int j = 0; j < tools_.fixedOrder; ++j)
        out.Put(static_cast<uint32_t>(tools_.fixedCoefs[static_cast<std::size_t>(j)] - 1),
                tools_.fixedScaling);
    }
    out.Put(0, 1);  // the cascades start from zero coefficients
    for (int c = 0; c < format_.channels; ++c) {
      out.Put(static_cast<uint32_t>(tools_.cascade.size() - 1), 3);
      for (const LmsSetting& filter : tools_.cascade)
        out.Put(static_cast<uint32_t>(filter.order / 8 - 1), 7);
      for (const LmsSetting& filter : tools_.cascade)
        out.Put(static_cast<uint32_t>(filter.scaling), 4);
    }
    out.Put(static_cast<uint32_t>(tools_.averageScaling), 3);
    out.Put(0, 8);  // no quantisation: a step of 1
  }
  out.Put(raw ? 1 : 0, 1);
  if (!raw) {
    for (int c = 0; c < format_.channels; ++c) out.Put(coded_[static_cast<std::size_t>(c)], 1);
    out.Put(0, 1);  // no linear prediction
  }
  out.Put(zeroBits_ > 0 ? 1 : 0, 1);
  if (zeroBits_ > 0) out.Put(static_cast<uint32_t>(zeroBits_), 5);
}

template <typename History>
void TileCoder<History>::PutResiduals(Channel& channel, const int32_t* residuals, int length,
                                      bool seekable, BitWriter& out) const {
  out.Put(0, 1);  // no transient
  int first = 0;
  if (seekable) {
    const uint32_t average = StartingAverage(residuals + 1, length - 1, format_.bitsPerSample);
    out.Put(average, format_.bitsPerSample);
    channel.rice.Start(tools_.averageScaling, average);
    out.Put(static_cast<uint32_t>(residuals[0]), format_.bitsPerSample + (tools_.midSide ? 1 : 0));
    first = 1;
  }
  for (int i = first; i < length; ++i) channel.rice.Put(residuals[i], out);
}

template <typename History>
void TileCoder<History>::Code(const int32_t* const* samples, int length, const Tools* seekable,
                              BitWriter& out) {
  if (seekable) StartAfresh(*seekable);
  samples = DropZeroBits(samples, length);
  saved_ = channels_;  // copied into storage kept from tile to tile
  Decorrelate(samples, length);
  for (int c = 0; c < format_.channels; ++c) {
    auto& work = work_[static_cast<std::size_t>(c)];
    const bool coded = std::any_of(work.begin(), work.end(), [](int32_t v) { return v != 0; });
    coded_[static_cast<std::size_t>(c)] = coded;
    if (coded) Predict(channels_[static_cast<std::size_t>(c)], work.data(), length, seekable);
  }
  if (seekable) {
    tools_.averageScaling = ChooseAverageScaling(length);
    for (std::size_t c = 0; c < channels_.size(); ++c) {
      channels_[c].rice.Reset(tools_.averageScaling);
      saved_[c].rice.Reset(tools_.averageScaling);
    }
  }
  body_.Clear();
  for (int c = 0; c < format_.channels; ++c) {
    if (!coded_[static_cast<std::size_t>(c)]) continue;
    Channel& channel = channels_[static_cast<std::size_t>(c)];
    PutResiduals(channel, work_[static_cast<std::size_t>(c)].data(), length, seekable != nullptr,
                 body_);
  }
  const int rawWidth = format_.bitsPerSample - zeroBits_;
  const std::size_t rawBits = static_cast<std::size_t>(length) *
                              static_cast<std::size_t>(format_.channels) *
                              static_cast<std::size_t>(rawWidth);
  if (body_.bits() > rawBits + static_cast<std::size_t>(format_.channels) + 1) {
    // Raw: the decoder runs no filter and moves no average over it.
    channels_ = saved_;
    PutHeader(seekable, true, out);
    for (int c = 0; c < format_.channels; ++c)
      for (int i = 0; i < length; ++i) out.Put(static_cast<uint32_t>(samples[c][i]), rawWidth);
    return;
  }
  PutHeader(seekable, false, out);
  out.Append(body_, 0, body_.bits());
  RememberFixed(samples, length);
}

template class TileCoder<int16_t>;
template class TileCoder<int32_t>;

}  // namespace wmvcore::lossless
