#include "filter_files.h"

#include <cstring>

FilterInput::~FilterInput() {
  if (handle_ != nullptr) exports_.closeFilterInput(handle_);
}

bool FilterInput::Open(const std::string& path) {
  handle_ = exports_.openFilterInput(path.c_str(), &sampleRate_, &bitsPerSample_, &channels_, 0,
                                     &chunkSize_);
  return handle_ != nullptr;
}

std::vector<WaveTag> FilterInput::ReadTags() const {
  std::vector<WaveTag> tags;
  SpecialDataItem item{};
  for (LONG produced = exports_.filterGetFirstSpecialData(handle_, &item); produced;
       produced = exports_.filterGetNextSpecialData(handle_, &item)) {
    WaveTag tag{std::string(item.szListType, strnlen(item.szListType, sizeof(item.szListType))),
                std::string(item.szChunkId, strnlen(item.szChunkId, sizeof(item.szChunkId))),
                {}};
    if (const auto* data = static_cast<const std::uint8_t*>(GlobalLock(item.hData))) {
      const SIZE_T blockSize = GlobalSize(item.hData);
      tag.data.assign(data, data + std::min<SIZE_T>(item.dwDataSize, blockSize));
      GlobalUnlock(item.hData);
    }
    GlobalFree(item.hData);
    item.hData = nullptr;
    tags.push_back(std::move(tag));
  }
  return tags;
}

std::string FilterInput::CodecText() const {
  char text[128] = {};
  exports_.filterOptionsString(handle_, text);
  return std::string(text, strnlen(text, sizeof(text)));
}

bool FilterOutput::Open(const std::string& path, LONG sampleRate, WORD bitsPerSample, WORD channels,
                        DWORD options) {
  handle_ = exports_.openFilterOutput(path.c_str(), sampleRate, bitsPerSample, channels, 0,
                                      &chunkSize_, options);
  return handle_ != nullptr;
}

void FilterOutput::Close() {
  if (handle_ != nullptr) exports_.closeFilterOutput(handle_);
  handle_ = nullptr;
}
