// A progress bar on the terminal for long work; silent when stderr is not a terminal.
#pragma once

#include <cstdint>
#include <string>

class ProgressBar {
 public:
  ProgressBar(std::string label, std::uint64_t total);
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar();  // clears the bar

  void Update(std::uint64_t done);

 private:
  std::string label_;
  std::uint64_t total_;
  bool visible_;
  int shownPercent_ = -1;
};
