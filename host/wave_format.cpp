#include "wave_format.h"

#include <cstring>

std::string TagText(const WaveTag& tag) {
  const std::size_t start = tag.chunkId == "DISP" ? 4 : 0;
  if (tag.data.size() <= start) return {};
  const char* text = reinterpret_cast<const char*>(tag.data.data() + start);
  return std::string(text, strnlen(text, tag.data.size() - start));
}
