// Text between the host and the runtime: the host's NUL-terminated 8-bit text in the ANSI code
// page, the runtime's NUL-terminated UTF-16. Every buffer produced here comes from the process
// heap and belongs to the caller; an empty buffer means that the conversion failed.
#pragma once

#include "media/heap_memory.h"

// Host text to UTF-16, precomposed. Returns 1 on success; 0 when the text cannot be measured
// (wide left as it was) or the buffer cannot be allocated (wide left empty).
BOOL AnsiToWideText(LPCSTR text, HeapBuffer<WCHAR>& wide);

// UTF-16 to host text, with every line break made a CR LF pair first. The argument is not
// changed. Characters the code page cannot show become its default character. Returns 1 on
// success, 0 on failure with nothing left allocated (ansi empty if its allocation failed).
BOOL WideToAnsiText(const WCHAR* text, HeapBuffer<char>& ansi);

// Makes every line break of the text exactly one CR LF pair: a CR LF pair, a lone CR and a lone
// LF each count as one break. May replace the buffer by a longer one. If that allocation fails,
// the text keeps each pair collapsed to a single CR and each lone break as it was.
void NormalizeLineBreaks(HeapBuffer<WCHAR>& text);
