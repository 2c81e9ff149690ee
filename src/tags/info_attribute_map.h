// InfoAttributeMap: the eight tags carried between the host's RIFF chunks and the file's header
// attributes. Rows 1-7 are chunks of an "INFO" list; "DISP" is the display chunk, filed under
// "WAVE", whose data starts with a 32-bit format code ahead of the text.
#pragma once

#include <windows.h>

struct InfoAttribute {
  char chunkId[5];
  const WCHAR* attributeName;
};

inline constexpr char kDisplayChunkId[] = "DISP";

// The row whose chunk identifier equals chunkId exactly (case-sensitive), or null.
const InfoAttribute* FindInfoAttributeByChunkId(LPCSTR chunkId);

// The row whose attribute name equals name, ASCII letters compared without regard to case and
// every other unit by value, or null.
const InfoAttribute* FindInfoAttributeByName(const WCHAR* name);
