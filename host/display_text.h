// Text for the terminal and for JSON: the filter's host text is in the ANSI code page, the
// terminal and JSON want UTF-8.
#pragma once

#include <string>

#include <windows.h>

std::string AnsiToUtf8(const std::string& ansi);
// Characters the ANSI code page cannot show become its default character.
std::string Utf8ToAnsi(const std::string& utf8);

// The system's words for a Win32 error code, without the full stop and line break that
// Windows ends them with; empty for a code it has no words for.
std::string SystemErrorText(DWORD code);

// ": " and the system's words for the thread's last error, which the filter and the runtime
// leave as a Win32 code or as an HRESULT; the HRESULT in hex when it has no words; nothing when
// it names no error.
std::string LastErrorCause();

// The text with its control characters shown escaped ("\n", "\x1b"), so that a file name
// cannot break a message across lines or drive the terminal.
std::string OneLine(const std::string& text);

// The text as a JSON string literal, quotes included.
std::string JsonString(const std::string& utf8);

// A 32-bit word as the host prints options words and flags: 0x and eight hex digits.
std::string HexWord(DWORD value);

// UTF-16 text up to its terminator as UTF-8; empty when it cannot be converted.
std::string WideToUtf8(const WCHAR* text);
