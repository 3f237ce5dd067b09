// Checksum and cipher. Both work on blocks in memory: whole words for the sum, whole ranges for the cipher.
#include "engine/checksum.h"

#include <cstring>

#include "engine/jobstate.h"
#include "engine/transferbuffer.h"
#include "text/textops.h"

const char kDefaultKey[] = "KestrelMoorland";

namespace {
inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

uint32_t addToChecksum(uint32_t total, uint64_t offset, const uint8_t* bytes, uint32_t count) {
    uint32_t i = 0;
    // Bytes that finish a word begun before this block.
    while (i < count && (offset + i) % 4 != 0) {
        total += static_cast<uint32_t>(bytes[i]) << (8 * ((offset + i) % 4));
        i++;
    }
    uint32_t words = (count - i) / 4;
    const uint8_t* p = bytes + i;
    uint32_t a = 0, b = 0, c = 0, d = 0;
    uint32_t w = 0;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight words a step in two vector registers (SSE2 on every x86 build): words in memory are the file's
    // little-endian words here, and the sum is the same in any order.
    typedef uint32_t Lanes __attribute__((vector_size(16)));
    Lanes low = {0, 0, 0, 0}, high = {0, 0, 0, 0};
    for (; w + 8 <= words; w += 8) {
        Lanes x, y;
        std::memcpy(&x, p + 4 * w, sizeof x);
        std::memcpy(&y, p + 4 * w + 16, sizeof y);
        low += x;
        high += y;
    }
    low += high;
    a = low[0];
    b = low[1];
    c = low[2];
    d = low[3];
#endif
    for (; w + 4 <= words; w += 4) {
        a += load32(p + 4 * w);
        b += load32(p + 4 * w + 4);
        c += load32(p + 4 * w + 8);
        d += load32(p + 4 * w + 12);
    }
    for (; w < words; w++) a += load32(p + 4 * w);
    total += a + b + c + d;
    i += words * 4;
    // Bytes that begin a word finished by the next block (or padded with zeros at the end of the file).
    for (; i < count; i++) total += static_cast<uint32_t>(bytes[i]) << (8 * ((offset + i) % 4));
    return total;
}

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

void cipherBytes(uint8_t* bytes, uint32_t count, uint64_t keyPosition) {
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
        cipherBytes(block, got, done);
        uint32_t put = 0;
        osSeek(file, at);
        osWrite(file, block, got, &put);
        done += got;
    }
    osSeek(file, 0);
}
