// The name of a scratch file beside a target, the same on every system.
#pragma once

#include <cstdint>
#include <string>

namespace wmvcore {

// Names tried before a scratch file is given up, each taken by another file.
constexpr unsigned kScratchAttempts = 100;

// A short name, so that it fits wherever the target's name fits, and hidden where a leading dot
// hides: ".wmvcore-" and six letters and digits that differ from call to call in this process
// (a counter) and, very likely, from those of other processes (the clock and `processId`).
std::string ScratchLeafName(std::uint64_t processId);

}  // namespace wmvcore
