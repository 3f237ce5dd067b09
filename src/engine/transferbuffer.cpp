// Allocates the transfer buffer, halving its size under allocation failure down to a floor of 100 bytes.
#include "engine/transferbuffer.h"

#include <cstdint>

#include "engine/jobstate.h"
#include "engine/messages.h"
#include "os/exitcodes.h"
#include "os/os.h"

void* (*transferAllocate)(size_t size) = osAllocateZeroed;

namespace {
constexpr uint64_t kLargestBuffer = 4000000000ULL;
constexpr uint64_t kSmallestBuffer = 100;
// A raw join of a first piece under 1 KiB has pieceSizeKB 0; it still needs room to move data.
constexpr uint64_t kRawJoinBuffer = 64 * 1024;
}  // namespace

void ensureTransferBuffer() {
    if (jobState.ioBuffer != nullptr) return;
    uint64_t size = static_cast<uint64_t>(jobState.pieceSizeKB) * 1025;
    if (size > kLargestBuffer) size = kLargestBuffer;
    if (size == 0) size = kRawJoinBuffer;
    if (settings.memoryMode == 1 || settings.memoryMode == 2) {
        uint64_t limit = osPhysicalMemory();
        if (settings.memoryMode == 2) limit >>= 1;
        if (limit != 0 && size > limit) size = limit;
    }
    // The block must also be addressable in this process.
    if (size + 64 > static_cast<uint64_t>(SIZE_MAX)) size = static_cast<uint64_t>(SIZE_MAX) - 64;
    while (size >= kSmallestBuffer) {
        void* block = transferAllocate(static_cast<size_t>(size + 64));
        if (block != nullptr) {
            jobState.ioBuffer = static_cast<uint8_t*>(block);
            jobState.ioBufferSize = static_cast<uint32_t>(size);
            return;
        }
        size >>= 1;
    }
    if (!jobState.quietMode) showPlainMessage(mainWindowHandle, "内存分配错误");  // a script never waits on a window
    osExitProcess(kExitNoMemory);
}

void releaseTransferBuffer() {
    if (jobState.ioBuffer == nullptr) return;
    osFree(jobState.ioBuffer);
    jobState.ioBuffer = nullptr;
    jobState.ioBufferSize = 0;
}
