// The one transfer buffer all file data passes through, sized from the piece size and the memory mode.
#pragma once
#include <cstddef>

#include "engine/window.h"

// Makes sure jobState.ioBuffer exists; ends the process with the memory exit code when none can be had.
void ensureTransferBuffer();
void releaseTransferBuffer();

// The allocator the buffer uses; tests replace it to make allocations fail.
extern void* (*transferAllocate)(size_t size);
