#include "progress.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define IsTerminal(fd) _isatty(fd)
#else
#include <unistd.h>
#define IsTerminal(fd) isatty(fd)
#endif

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::string label, std::uint64_t total)
    : label_(std::move(label)), total_(total), visible_(total > 0 && IsTerminal(2)) {}

ProgressBar::~ProgressBar() {
  if (visible_ && shownPercent_ >= 0) std::fprintf(stderr, "\r%*s\r", kBarWidth + 40, "");
}

void ProgressBar::Update(std::uint64_t done) {
  if (!visible_) return;
  // The total may be an estimate; the bar never runs past its end.
  const int percent = static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total_));
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  const int filled = percent * kBarWidth / 100;
  std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled,
               "##############################", kBarWidth - filled, "", percent);
  std::fflush(stderr);
}
