// Numbers given as option values (--options, --word, --width).
#pragma once

#include <string>

#include <windows.h>

// A 32-bit number in decimal or in hex after "0x" or "0X", as `formats` prints words. One rule
// for spaces: blanks (spaces, tabs, line ends) around the number are passed over, and none may
// stand inside it. No sign, and no leading zeros in decimal, where they would once have meant
// octal: such a value is refused rather than read as another number. False when the text is not
// such a number or the number needs more than 32 bits.
bool ParseOptionNumber(const std::string& text, DWORD& value);
