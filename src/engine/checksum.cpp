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

void cipherJobBytes(uint8_t* bytes, uint32_t count, uint64_t keyPosition) {
    const auto* key = reinterpret_cast<const uint8_t*>(jobState.keyText);
    for (uint32_t j = 0; j < count; j++) bytes[j] ^= key[(keyPosition + j) % 32];
}

void applyCipher(FileHandle file) {
    uint64_t length = osFileSize(file);
    uint64_t n = jobState.pieceSizeKB == 0 ? 0 : jobState.pieceSizeKB - 1;
    uint64_t available = length > jobState.dataOffset ? length - jobState.dataOffset : 0;
    if (n > available) n = available;
    // The covered range is read, scrambled and written back in blocks rather than byte by byte.
    static thread_local uint8_t block[64 * 1024];
    uint64_t done = 0;
    while (done < n) {
        uint32_t count = n - done < sizeof block ? static_cast<uint32_t>(n - done) : static_cast<uint32_t>(sizeof block);
        uint64_t at = jobState.dataOffset + done;
        uint32_t got = 0;
        if (!osSeek(file, at) || !osRead(file, block, count, &got) || got == 0) break;
        cipherJobBytes(block, got, done);
        uint32_t put = 0;
        osSeek(file, at);
        osWrite(file, block, got, &put);
        done += got;
    }
    osSeek(file, 0);
}
