// Turns a piece size into a piece count and back, evening the pieces out, and the media presets.
#include "engine/sizing.h"

#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"

const uint32_t kPresetTable[kPresetCount + 1] = {
    0,      900,    1400,   122000, 102000, 255000, 766000, 660480, 716800, 3584,
    7680,   15360,  30720,  61440,  122880, 245760, 491520, 972800, 4928000,
};

uint32_t divide64by32(uint32_t low, uint32_t high, uint32_t divisor) {
    while (divisor > 65535) {
        jobState.divScale++;
        divisor >>= 2;
    }
    uint32_t remainder;
    if (high == 0) {
        jobState.divQuotient.low = low / divisor;
        jobState.divQuotient.high = 0;
        remainder = low % divisor;
    } else {
        // Long division in 16-bit digits keeps every partial value within 32 bits.
        jobState.divQuotient.high = high / divisor;
        uint32_t r1 = high % divisor;
        uint32_t t = r1 * 65536u + (low >> 16);
        uint32_t q1 = t / divisor;
        uint32_t r2 = t % divisor;
        t = r2 * 65536u + (low & 65535u);
        uint32_t q0 = t / divisor;
        remainder = t % divisor;
        jobState.divQuotient.low = q1 * 65536u + q0;
    }
    return remainder;
}

namespace {
uint64_t sizeInKB() { return wideValue(jobState.sourceSize) >> 10; }
}  // namespace

uint32_t presetSize(WindowRef window, uint32_t entry) {
    if (entry == 0 || entry > kPresetCount) return 0;
    uint32_t v = kPresetTable[entry] - 1;
    if (static_cast<uint64_t>(v) * 1024 > wideValue(jobState.sourceSize)) {
        setControlNumber(window, kIdCount, 1);
        return static_cast<uint32_t>(sizeInKB());
    }
    return v;
}

void countFromSize(WindowRef window) {
    uint32_t size = window ? getControlNumber(window, kIdSize) : jobState.pieceSizeKB;
    uint32_t typed = size;
    if (size < 2) size = 2;
    jobState.pieceSizeKB = size;
    // Only a corrected value goes back into the box, so typing is never overwritten with itself; and not
    // while the box is being typed in (a first digit 1 would become 2 under the caret): it goes back when
    // the box is left, whose notification runs this again.
    if (window && size != typed && !controlHasFocus(window, kIdSize)) setControlNumber(window, kIdSize, size);
    for (;;) {
        jobState.divScale = 0;
        divide64by32(jobState.sourceSize.low, jobState.sourceSize.high, jobState.pieceSizeKB);
        uint32_t whole = static_cast<uint32_t>(wideValue(jobState.divQuotient) >> 10);
        while (jobState.divScale > 0) {
            whole >>= 2;
            jobState.divScale--;
        }
        jobState.pieceCount = whole;
        jobState.divQuotient = {0, 0};
        if (jobState.pieceCount < 10000 || jobState.pieceSizeKB >= 0x80000000u) break;
        jobState.pieceSizeKB *= 2;
    }
    uint64_t kb = sizeInKB();
    if (jobState.pieceCount == 0)
        jobState.pieceCount = 1;
    else if (kb <= 0xFFFFFFFFu && kb > jobState.pieceSizeKB)
        jobState.pieceCount++;
    setControlNumber(window, kIdCount, jobState.pieceCount);
    sizeFromCount(window);
}

uint32_t sizeFromCount(WindowRef window) {
    uint32_t count = window ? getControlNumber(window, kIdCount) : jobState.pieceCount;
    uint32_t typed = count;
    if (count == 0) count = 2;
    if (count > 10000) count = 10000;
    jobState.pieceCount = count;
    if (window && count != typed && !controlHasFocus(window, kIdCount)) setControlNumber(window, kIdCount, count);
    uint64_t kb = sizeInKB();
    if (jobState.pieceCount == 1) {
        jobState.pieceSizeKB = static_cast<uint32_t>(kb) + 1;
    } else {
        jobState.divScale = 0;
        divide64by32(static_cast<uint32_t>(kb), static_cast<uint32_t>(kb >> 32), jobState.pieceCount);
        uint32_t share = jobState.divQuotient.low;
        jobState.divQuotient = {0, 0};
        jobState.pieceSizeKB = share + 1;
    }
    return jobState.pieceSizeKB;
}

bool settlePieceCount() {
    uint64_t size = wideValue(jobState.sourceSize);
    if (jobState.pieceSizeKB == 0) jobState.pieceSizeKB = 1;
    uint64_t piece = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    uint64_t count = size == 0 ? 1 : (size + piece - 1) / piece;
    if (count > kMaxPieces) {
        // Four-digit names allow 9999 pieces: grow the pieces rather than invent a fifth digit.
        uint64_t least = (size + kMaxPieces * 1024ULL - 1) / (kMaxPieces * 1024ULL);
        if (least > 0xFFFFFFFFu) return false;
        jobState.pieceSizeKB = static_cast<uint32_t>(least);
        piece = least * 1024;
        count = (size + piece - 1) / piece;
    }
    jobState.pieceCount = static_cast<uint32_t>(count);
    return count >= 1 && count <= kMaxPieces;
}
