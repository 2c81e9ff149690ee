// The short names that `encode --codec` takes for the runtime's codecs, the words a person
// types for what a codec is rather than for how the runtime names it.
#pragma once

#include <string>

// The short name of the codec of this name: "lossless", "pro", "voice", "v1", or "v2" for the
// standard codec under any of its names ("Windows Media Audio V8", "... 9.2"); empty when the
// name says none of them.
std::string CodecShortName(const std::string& codecName);

// Whether the text that a person gave names the codec of this name and short name: either of
// them, in any case.
bool NamesCodec(const std::string& text, const std::string& codecName,
                const std::string& shortName);
