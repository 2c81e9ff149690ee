// Header attributes as the runtime's header interfaces present them: a list in header order of
// named, typed values, each for the whole file (stream 0) or one stream, with a language
// index. Values are in the interfaces' form: text as UTF-16 with its terminator, BOOL as four
// bytes. The list is read from a parsed header and rendered back into one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <wmsdk.h>

#include "common/wide_text.h"

#include "asf/asf_header.h"
#include "asf/byte_io.h"

namespace wmvcore {

struct Attribute {
  WORD stream = 0;
  WideString name;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  WORD language = 0;
  Bytes value;
};

// The value bytes of a text attribute: UTF-16 with its terminator.
Bytes TextValue(const WideString& text);
// A value's text up to its terminator or its end.
WideString ValueText(const Bytes& value);

// Whether `value` has the width that `type` requires (4 bytes for DWORD and BOOL, and so on).
bool HasValidWidth(WMT_ATTR_DATATYPE type, std::size_t bytes);

// The attributes of a parsed file header: first those the runtime derives from the file and
// stream properties ("Duration" and the like), then the content description, the extended
// content description, the metadata and the metadata library, in the order of the file.
std::vector<Attribute> AttributesFromHeader(const asf::Header& header);

// Writes `attributes` into `header`: the five content-description names go to the content
// description, other file attributes that its format can hold to the extended content
// description, and the rest (stream attributes, languages, GUIDs, long values, repeated names)
// to the metadata library. Existing descriptive objects are replaced.
void RenderAttributes(const std::vector<Attribute>& attributes, asf::Header& header);

}  // namespace wmvcore
