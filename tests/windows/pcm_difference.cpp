// pcm_difference: how far one decode of a file is from another. Reads two WAVE files of the
// same rate and channel count, finds the shift that lines the second up with the first (decoders
// differ in how much start-up delay they keep), and prints the difference over the frames that
// overlap on the 16-bit scale: the largest, its RMS and the signal-to-noise ratio. With
// --max-abs it fails when any sample differs by more than that.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host_samples.h"
#include "wave_reader.h"

namespace {

constexpr char kUsage[] =
    "usage: pcm_difference REFERENCE.wav DECODED.wav [--max-shift FRAMES] [--max-abs LIMIT]\n"
    "  fails when the files differ in rate or channels, or a sample by more than LIMIT\n";
// Frames compared for each candidate shift: enough signal to rule out a wrong alignment.
constexpr std::size_t kAlignmentWindow = 4096;

struct Audio {
  WaveFormat format;
  std::vector<float> samples;  // interleaved, 16-bit scale
  std::size_t frames() const { return samples.size() / format.channels; }
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "pcm_difference: %s\n", message.c_str());
  return 2;
}

bool Load(const std::string& path, Audio& audio, std::string& error) {
  WaveReader reader;
  if (!reader.Open(path, error)) return false;
  audio.format = reader.format();
  const WaveFormat& format = audio.format;
  if (format.channels == 0 || format.bitsPerSample % 8 != 0 || format.bitsPerSample == 0) {
    error = path + ": unsupported sample format";
    return false;
  }
  const std::size_t width = format.bitsPerSample / 8u;
  std::vector<std::uint8_t> block(65536 / format.frameBytes() * format.frameBytes());
  for (std::size_t got; (got = reader.Read(block.data(), block.size())) > 0;) {
    const std::size_t count = got / width;
    const std::size_t first = audio.samples.size();
    audio.samples.resize(first + count);
    float* out = audio.samples.data() + first;
    if (format.encoding == SampleEncoding::kPcm && width == 1) {
      for (std::size_t i = 0; i < count; ++i) out[i] = (block[i] - 128.0f) * 256.0f;
    } else if (format.encoding == SampleEncoding::kPcm && width == 2) {
      for (std::size_t i = 0; i < count; ++i) {
        std::int16_t value;
        std::memcpy(&value, block.data() + 2 * i, sizeof(value));
        out[i] = value;
      }
    } else {
      WaveToHostFloats(block.data(), format, count, out);
    }
  }
  if (reader.failed()) {
    error = path + ": read error";
    return false;
  }
  return true;
}

// Mean squared difference between reference frames [start, start + length) and the decoded
// frames `shift` later, or a negative value when those decoded frames do not all exist.
double MeanSquaredDifference(const Audio& reference, const Audio& decoded, std::size_t start,
                             std::size_t length, long shift) {
  const long first = static_cast<long>(start) + shift;
  if (first < 0 || static_cast<std::size_t>(first) + length > decoded.frames()) return -1.0;
  const std::size_t channels = reference.format.channels;
  const float* a = reference.samples.data() + start * channels;
  const float* b = decoded.samples.data() + static_cast<std::size_t>(first) * channels;
  double sum = 0.0;
  for (std::size_t i = 0; i < length * channels; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  return sum / static_cast<double>(length * channels);
}

// The reference window with the most energy: silence aligns with any shift.
std::size_t LoudestWindow(const Audio& reference, std::size_t length, double& energy) {
  std::size_t best = 0;
  energy = 0.0;
  const std::size_t channels = reference.format.channels;
  for (std::size_t start = 0; start + length <= reference.frames(); start += length / 2) {
    double sum = 0.0;
    for (std::size_t i = start * channels; i < (start + length) * channels; ++i) {
      sum += static_cast<double>(reference.samples[i]) * reference.samples[i];
    }
    if (sum > energy) {
      energy = sum;
      best = start;
    }
  }
  return best;
}

// The shift of the decoded audio against the reference, tried from 0 outwards so that among
// equally good shifts the smallest wins.
long FindShift(const Audio& reference, const Audio& decoded, long maxShift) {
  const std::size_t length = std::min(kAlignmentWindow, reference.frames());
  double energy = 0.0;
  const std::size_t start = LoudestWindow(reference, length, energy);
  if (energy == 0.0 || length == 0) return 0;
  long best = 0;
  double bestError = -1.0;
  for (long step = 0; step <= 2 * maxShift; ++step) {
    const long shift = step % 2 == 0 ? step / 2 : -(step + 1) / 2;
    const double error = MeanSquaredDifference(reference, decoded, start, length, shift);
    if (error >= 0.0 && (bestError < 0.0 || error < bestError)) {
      bestError = error;
      best = shift;
    }
  }
  return best;
}

struct Difference {
  std::size_t compared = 0;
  double largest = 0.0;
  double rms = 0.0;
  double signalRms = 0.0;
};

Difference Compare(const Audio& reference, const Audio& decoded, long shift) {
  const long channels = reference.format.channels;
  const long begin = std::max(0L, -shift);
  const long end =
      std::min(static_cast<long>(reference.frames()), static_cast<long>(decoded.frames()) - shift);
  Difference result;
  if (end <= begin) return result;
  double noise = 0.0;
  double signal = 0.0;
  for (long i = begin * channels; i < end * channels; ++i) {
    const double a = reference.samples[static_cast<std::size_t>(i)];
    const double d = a - decoded.samples[static_cast<std::size_t>(i + shift * channels)];
    noise += d * d;
    signal += a * a;
    result.largest = std::max(result.largest, std::fabs(d));
  }
  result.compared = static_cast<std::size_t>(end - begin);
  const double count = static_cast<double>(result.compared) * static_cast<double>(channels);
  result.rms = std::sqrt(noise / count);
  result.signalRms = std::sqrt(signal / count);
  return result;
}

// The ratio of signal to difference in dB, or why there is none.
std::string SignalToNoise(const Difference& difference) {
  if (difference.rms == 0.0) return "exact";
  if (difference.signalRms == 0.0) return "silent reference";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f dB",
                20.0 * std::log10(difference.signalRms / difference.rms));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  long maxShift = 8192;
  double maxAbs = INFINITY;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--max-shift" && i + 1 < argc) {
      maxShift = std::atol(argv[++i]);
    } else if (argument == "--max-abs" && i + 1 < argc) {
      maxAbs = std::atof(argv[++i]);
    } else {
      paths.push_back(argument);
    }
  }
  if (paths.size() != 2 || maxShift < 0) return Fail(kUsage);

  Audio reference;
  Audio decoded;
  std::string error;
  if (!Load(paths[0], reference, error) || !Load(paths[1], decoded, error)) return Fail(error);
  if (reference.format.sampleRate != decoded.format.sampleRate ||
      reference.format.channels != decoded.format.channels) {
    return Fail("the files differ in rate or channels");
  }

  const long shift = FindShift(reference, decoded, maxShift);
  const Difference difference = Compare(reference, decoded, shift);
  std::printf(
      "frames %zu and %zu, shift %ld, compared %zu, max abs %g, rms %.3f, signal rms %.1f, "
      "snr %s\n",
      reference.frames(), decoded.frames(), shift, difference.compared, difference.largest,
      difference.rms, difference.signalRms, SignalToNoise(difference).c_str());
  if (difference.compared == 0) return Fail("no frames overlap");
  if (difference.largest > maxAbs) {
    char limit[32];
    std::snprintf(limit, sizeof(limit), "%g", maxAbs);
    return Fail(std::string("a sample differs by more than ") + limit);
  }
  return 0;
}
