// What the dynamic loader said when LoadLibraryA last failed on the calling thread: the words
// that FormatMessageA gives ERROR_MOD_NOT_FOUND, as Windows gives its loader's reason.
#pragma once

// Empty when no load has failed on the thread.
const char* LastLoaderWords();
