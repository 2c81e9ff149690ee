// wavetool: makes WAVE files for demonstrations, tests and benchmarks: two sine tones
// (440 and 660 Hz), white noise or silence, with the editor's tag chunks. Streams its output,
// so a file of any length takes the same memory.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display_text.h"
#include "host_samples.h"
#include "wave_writer.h"

namespace {

constexpr char kUsage[] =
    "usage: wavetool OUT.wav [--seconds S] [--rate R] [--channels C] [--format s16|s24|f32]\n"
    "                [--signal tones|noise|silence] [--tag LIST/ID=TEXT]...\n"
    "  --tag INFO/IART=Someone   an INFO list item;  --tag WAVE/DISP=Title   the display chunk\n";
constexpr double kAmplitude = 0.35;
constexpr double kPi = 3.14159265358979323846;

int Fail(const std::string& message) {
  std::fprintf(stderr, "wavetool: %s\n", message.c_str());
  return 1;
}

// "LIST/ID=TEXT", the text given in UTF-8 and stored in the ANSI code page, as the editor does.
bool ParseTag(const std::string& argument, WaveTag& tag) {
  const std::size_t slash = argument.find('/');
  const std::size_t equals = argument.find('=');
  if (slash != 4 || equals != 9) return false;
  tag.listType = argument.substr(0, 4);
  tag.chunkId = argument.substr(5, 4);
  const std::string text = Utf8ToAnsi(argument.substr(10));
  tag.data.clear();
  if (tag.chunkId == "DISP") tag.data = {1, 0, 0, 0};
  tag.data.insert(tag.data.end(), text.begin(), text.end());
  tag.data.push_back(0);
  return true;
}

class Signal {
 public:
  Signal(std::string kind, std::uint32_t rate) : kind_(std::move(kind)), rate_(rate) {}

  double Next(std::uint64_t frame, unsigned channel) {
    if (kind_ == "silence") return 0.0;
    if (kind_ == "noise") {
      state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
      return kAmplitude * (static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0);
    }
    const double frequency = channel % 2 == 0 ? 440.0 : 660.0;
    return kAmplitude * std::sin(2.0 * kPi * frequency * static_cast<double>(frame) / rate_);
  }

 private:
  std::string kind_;
  std::uint32_t rate_;
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

void Store(double value, const WaveFormat& format, std::uint8_t* out) {
  if (format.encoding == SampleEncoding::kFloat) {
    const float sample = static_cast<float>(value);
    std::memcpy(out, &sample, sizeof(sample));
    return;
  }
  const double scale = format.bitsPerSample == 16 ? 32767.0 : 8388607.0;
  const auto sample = static_cast<std::int32_t>(std::lrint(value * scale));
  for (unsigned byte = 0; byte < format.bitsPerSample / 8u; ++byte) {
    out[byte] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(sample) >> (8 * byte));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  double seconds = 1.0;
  WaveFormat format{SampleEncoding::kPcm, 2, 44100, 16};
  std::string signal = "tones";
  std::vector<WaveTag> tags;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (optionsEnded || option.rfind("--", 0) != 0) {
      if (!output.empty()) return Fail(kUsage);
      output = option;
      continue;
    }
    if (option == "--") {
      optionsEnded = true;
      continue;
    }
    if (option == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return Fail(kUsage);
    const std::string value = argv[++i];
    if (option == "--seconds") {
      seconds = std::atof(value.c_str());
    } else if (option == "--rate") {
      format.sampleRate = static_cast<std::uint32_t>(std::atol(value.c_str()));
    } else if (option == "--channels") {
      format.channels = static_cast<std::uint16_t>(std::atoi(value.c_str()));
    } else if (option == "--format" && (value == "s16" || value == "s24" || value == "f32")) {
      format.encoding = value == "f32" ? SampleEncoding::kFloat : SampleEncoding::kPcm;
      format.bitsPerSample = value == "s16" ? 16 : value == "s24" ? 24 : 32;
    } else if (option == "--signal" &&
               (value == "tones" || value == "noise" || value == "silence")) {
      signal = value;
    } else if (option == "--tag") {
      WaveTag tag;
      if (!ParseTag(value, tag)) return Fail("not a tag: " + value + "\n" + kUsage);
      tags.push_back(std::move(tag));
    } else {
      return Fail(kUsage);
    }
  }
  if (output.empty() || format.channels == 0 || format.sampleRate == 0 || seconds < 0)
    return Fail(kUsage);

  std::string error;
  WaveWriter writer;
  if (!writer.Create(output, format, tags, error)) return Fail(error);
  Signal source(signal, format.sampleRate);
  const auto frames = static_cast<std::uint64_t>(std::llround(seconds * format.sampleRate));
  constexpr std::uint64_t kBlockFrames = 4096;
  std::vector<std::uint8_t> block(kBlockFrames * format.frameBytes());
  const unsigned sampleBytes = format.bitsPerSample / 8u;
  for (std::uint64_t first = 0; first < frames; first += kBlockFrames) {
    const std::uint64_t count = std::min(kBlockFrames, frames - first);
    for (std::uint64_t frame = 0; frame < count; ++frame) {
      for (unsigned channel = 0; channel < format.channels; ++channel) {
        Store(source.Next(first + frame, channel), format,
              block.data() + frame * format.frameBytes() + channel * sampleBytes);
      }
    }
    if (!writer.Write(block.data(), count * format.frameBytes(), error)) return Fail(error);
  }
  return writer.Finish(error) ? 0 : Fail(error);
}
