#include "runtime/runtime_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

namespace runtime_testing {

std::filesystem::path TestFile(const std::string& name) {
  return std::filesystem::path(WMAFILTER_TESTDATA_DIR) / name;
}

namespace {

std::u16string Converted(const std::string& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  if (size == 0) return {};
  std::u16string wide(
      static_cast<std::size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)),
      u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

}  // namespace

std::u16string Wide(const std::string& text) { return Converted(text, CP_UTF8); }

std::u16string WidePath(const std::filesystem::path& path) {
  return Converted(path.string(), CP_ACP);
}

bool RunCommand(const std::string& command, Bytes& output) {
  output.clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  BYTE chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0)
    output.insert(output.end(), chunk, chunk + got);
  return pclose(pipe) == 0;
}

Bytes FfmpegDecode(const std::filesystem::path& path, const std::string& format) {
  Bytes output;
  RunCommand("ffmpeg -nostdin -v quiet -i '" + path.string() + "' -f " + format + " -", output);
  return output;
}

std::string FfmpegComplaints(const std::filesystem::path& path) {
  Bytes said;
  RunCommand("ffmpeg -nostdin -v error -i '" + path.string() + "' -f null - 2>&1", said);
  return std::string(said.begin(), said.end());
}

void FfmpegEncode(const std::string& source, const std::filesystem::path& target,
                  const std::string& codecOptions) {
  Bytes ignored;
  ASSERT_TRUE(RunCommand(
      "ffmpeg -nostdin -v error -y " + source + " " + codecOptions + " '" + target.string() + "'",
      ignored))
      << source;
}

ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("wmvcore-test-" + std::to_string(getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CodingThreadsSetting::CodingThreadsSetting(unsigned threads) {
  if (const char* previous = std::getenv("WMAFILTER_THREADS")) previous_ = previous;
  setenv("WMAFILTER_THREADS", std::to_string(threads).c_str(), 1);
}

CodingThreadsSetting::~CodingThreadsSetting() {
  if (previous_)
    setenv("WMAFILTER_THREADS", previous_->c_str(), 1);
  else
    unsetenv("WMAFILTER_THREADS");
}

std::size_t RunningThreads() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

HRESULT OpenReader(const std::filesystem::path& path, ComPtr<IWMSyncReader>& reader) {
  HRESULT result = WMCreateSyncReader(nullptr, 1, reader.put());
  if (FAILED(result)) return result;
  return reader->Open(WidePath(path).c_str());
}

HRESULT ReadMediaType(IWMMediaProps* props, MediaTypeBlock& block) {
  DWORD size = 0;
  RETURN_IF_FAILED(props->GetMediaType(nullptr, &size));
  block.storage.assign(size / sizeof(std::max_align_t) + 1, std::max_align_t{});
  block.type = reinterpret_cast<WM_MEDIA_TYPE*>(block.storage.data());
  return props->GetMediaType(block.type, &size);
}

HRESULT OutputFormat(IWMSyncReader* reader, DWORD output, WAVEFORMATEX& format, GUID& major) {
  ComPtr<IWMOutputMediaProps> props;
  HRESULT result = reader->GetOutputFormat(output, 0, props.put());
  if (FAILED(result)) return result;
  MediaTypeBlock block;
  result = ReadMediaType(props.get(), block);
  if (FAILED(result)) return result;
  const WM_MEDIA_TYPE* type = block.type;
  major = type->majortype;
  format = {};
  if (type->cbFormat >= sizeof(WAVEFORMATEX))
    std::memcpy(&format, type->pbFormat, sizeof(WAVEFORMATEX));
  return reader->SetOutputProps(output, props.get());
}

Pcm DecodeAll(IWMSyncReader* reader) {
  Pcm pcm;
  WAVEFORMATEX format{};
  GUID major{};
  EXPECT_EQ(OutputFormat(reader, 0, format, major), S_OK);
  pcm.rate = format.nSamplesPerSec;
  pcm.channels = format.nChannels;
  pcm.bits = format.wBitsPerSample;
  for (;;) {
    ComPtr<INSSBuffer> sample;
    QWORD time = 0, duration = 0;
    DWORD flags = 0, output = 99;
    const HRESULT result =
        reader->GetNextSample(0, sample.put(), &time, &duration, &flags, &output, nullptr);
    if (result == NS_E_NO_MORE_SAMPLES) break;
    EXPECT_EQ(result, S_OK);
    if (FAILED(result)) break;
    EXPECT_EQ(output, 0u);
    BYTE* data = nullptr;
    DWORD length = 0;
    EXPECT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
    pcm.bytes.insert(pcm.bytes.end(), data, data + length);
    pcm.times.push_back(time);
  }
  return pcm;
}

}  // namespace runtime_testing
