// The one transfer buffer all file data passes through, sized from the piece size and the memory mode.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/window.h"

// Makes sure jobState.ioBuffer exists; ends the process with the memory exit code when none can be had.
void ensureTransferBuffer();
void releaseTransferBuffer();

// Data moves through the buffer at most this much at a time: a block that stays in the processor's cache
// is copied in and out far faster than one as large as a whole piece.
constexpr uint32_t kTransferChunk = 1024 * 1024;

// The allocator the buffer uses; tests replace it to make allocations fail.
extern void* (*transferAllocate)(size_t size);
