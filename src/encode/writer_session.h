// Setting up and tearing down an output file's writer.
#pragma once

#include "encode/output_context.h"
#include "filter/filter_api.h"

// Configures a new writer for the context: COM initialised on this thread, a profile of one
// audio stream from the options word (a word of 0 replaced by the default), the writer's input
// declared as the host's PCM layout and the output file named. Returns 1 with the writer in the
// context and COM left initialised; 0 with everything given back in reverse order.
BOOL OpenWriter(OutputContext& context);

// Ends writing if it began, releases the writer and undoes the open's COM initialisation.
void CloseWriter(OutputContext& context);

inline OutputContext* AsOutputContext(FilterHandle handle) {
  return reinterpret_cast<OutputContext*>(handle);
}
