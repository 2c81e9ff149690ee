// Observation and fault-injection hooks of the platform stand-ins, for tests. They let a test
// fail a chosen allocation, and check that nothing is left allocated, locked, initialised or
// alive once the code under test has returned. Counters and failure plans are per thread, so
// concurrent tests do not disturb each other; the live-object counts are process-wide.
#pragma once

#include <cstddef>

#include <windows.h>

namespace platform_testing {

// The nth HeapAlloc on this thread from now on (1 = the next one) returns null; 0 cancels.
void FailHeapAllocation(unsigned nth);
// The nth GlobalAlloc on this thread from now on returns null; 0 cancels.
void FailGlobalAllocation(unsigned nth);
// The nth GlobalLock on this thread from now on returns null; 0 cancels.
void FailGlobalLock(unsigned nth);
// HeapAlloc calls made on this thread so far, failed ones included.
unsigned HeapAllocationCalls();

std::size_t LiveHeapBlocks();
std::size_t LiveGlobalBlocks();

enum class ApartmentModel { kNone, kSingleThreaded, kMultiThreaded };
struct ApartmentState {
  ApartmentModel model;
  unsigned initializations;  // successful CoInitializeEx calls not yet undone
};
ApartmentState CurrentApartment();

// Stand-in COM objects (the runtime's and the test double's) report their lifetime here.
void NoteComObjectCreated();
void NoteComObjectDestroyed();
std::size_t LiveComObjects();

}  // namespace platform_testing
