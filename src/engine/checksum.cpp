// The job's checksum of a whole file through the transfer buffer, and the key of the job record.
#include "engine/checksum.h"

#include <cstring>

#include "engine/jobstate.h"
#include "os/os.h"
#include "engine/transferbuffer.h"
#include "text/textops.h"

uint32_t fileChecksum(const char* path) {
    ensureTransferBuffer();
    FileHandle file = osOpenExisting(path, true);
    if (file == kNoFile) return 0;
    uint64_t size = osFileSize(file);
    uint64_t offset = 0;
    uint32_t total = 0;
    uint32_t step = jobState.ioBufferSize < kTransferChunk ? jobState.ioBufferSize : kTransferChunk;
    while (offset < size) {
        uint64_t left = size - offset;
        uint32_t want = left < step ? static_cast<uint32_t>(left) : step;
        uint32_t got = 0;
        if (!osRead(file, jobState.ioBuffer, want, &got) || got == 0) break;
        total = addToChecksum(total, offset, jobState.ioBuffer, got);
        offset += got;
    }
    osClose(file);
    return total;
}

void expandKey() {
    char unit[kTextBufferSize];
    copyText(jobState.keyText, unit);
    if (jobState.keyText[0] == 0) {
        copyText(kDefaultKey, jobState.keyText);
        copyText(kDefaultKey, unit);
    }
    while (textLength(jobState.keyText) < 32) appendText(jobState.keyText, unit);
}
