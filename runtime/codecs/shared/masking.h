// The lossy codecs' ear model: what a block's transform coefficients can carry unheard. Bands
// are given as their widths in coefficients, in any layout a codec uses (a WMA v2 block's
// exponent bands, a Professional one's scale factor bands); the coefficients in the units of
// the Windows Media Audio decoders' transforms, samples at full scale 32768.
#pragma once

#include <span>
#include <vector>

namespace wmvcore {

// Whether `count` samples (from `samples`) hold an attack: a stretch much louder, in its high
// frequencies, than what came before it. Such a stretch wants short blocks, whose noise the
// attack masks, where a long block would spread its noise over the quiet before it.
bool HasAttack(const float* samples, int count);

// Mean energy a coefficient of each band.
void BandEnergies(const float* coefficients, std::span<const int> widths,
                  std::vector<float>& energies);

// The masking threshold of each band (mean noise energy a coefficient) of a block of `length`
// coefficients at `rate`, from the bands' energies: each band masks its neighbours through a
// spreading slope, less than itself by an offset, and no threshold falls below the threshold
// in quiet.
void MaskingThresholds(const std::vector<float>& energies, std::span<const int> widths, int length,
                       int rate, std::vector<float>& thresholds);

}  // namespace wmvcore
