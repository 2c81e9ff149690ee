// Setting the host's tags as header attributes of the file being written.
#pragma once

#include "encode/output_context.h"

// Sets a string attribute of the whole file on the writer's header. Text too long for
// SetAttribute's 16-bit length is cut to 32766 units (one fewer when the cut would split a
// surrogate pair), in place. Returns 1 if the runtime accepted the attribute, else 0.
BOOL SetTagAttribute(OutputContext& context, const WCHAR* name, WCHAR* value);
