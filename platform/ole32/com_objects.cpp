// The count of live stand-in COM objects, which tests read to prove nothing outlives its
// last release.
#include <platform_testing.h>

#include "kernel32/live_count.h"

namespace {
kernel32::LiveCount liveComObjects;
}

namespace platform_testing {

void NoteComObjectCreated() { liveComObjects.Increment(); }
void NoteComObjectDestroyed() { liveComObjects.Decrement(); }
std::size_t LiveComObjects() { return liveComObjects.value(); }

}  // namespace platform_testing
