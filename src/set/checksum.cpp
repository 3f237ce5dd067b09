// The whole-file additive checksum ("CRC" to the user) over blocks in memory, and the XOR cipher of piece data.
#include "set/checksum.h"

#include <cstring>

const char kDefaultKey[] = "KestrelMoorland";

namespace {
inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

namespace {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
typedef uint32_t Lanes4 __attribute__((vector_size(16)));
typedef uint32_t Lanes8 __attribute__((vector_size(32)));

// Whole words added in two vector registers a step: words in memory are the file's little-endian words here, and
// the sum is the same in any order. Adds into lanes; returns the words used.
template <typename Lanes>
__attribute__((always_inline)) inline uint32_t sumLanes(const uint8_t* p, uint32_t words, uint32_t* lanes) {
    constexpr uint32_t kStep = 2 * sizeof(Lanes) / 4;
    Lanes low = {}, high = {};
    uint32_t w = 0;
    for (; w + kStep <= words; w += kStep) {
        Lanes x, y;
        std::memcpy(&x, p + 4 * w, sizeof x);
        std::memcpy(&y, p + 4 * w + sizeof x, sizeof y);
        low += x;
        high += y;
    }
    low += high;
    for (uint32_t lane = 0; lane < sizeof(Lanes) / 4; lane++) lanes[lane % 4] += low[lane];
    return w;
}

#if defined(TARN_WIDE_SUM)
// Twice the words a step where the processor has AVX2 (asked at run time): join and verify sum every byte they move.
__attribute__((target("avx2"))) uint32_t sumWordsWide(const uint8_t* p, uint32_t words, uint32_t* lanes) {
    return sumLanes<Lanes8>(p, words, lanes);
}
#endif

// SSE2 on every x86 build.
uint32_t sumWords(const uint8_t* p, uint32_t words, uint32_t* lanes) {
#if defined(TARN_WIDE_SUM)
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide) return sumWordsWide(p, words, lanes);
#endif
    return sumLanes<Lanes4>(p, words, lanes);
}
#else
uint32_t sumWords(const uint8_t*, uint32_t, uint32_t*) { return 0; }
#endif
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
    uint32_t lanes[4] = {0, 0, 0, 0};
    uint32_t w = sumWords(p, words, lanes);
    uint32_t a = lanes[0], b = lanes[1], c = lanes[2], d = lanes[3];
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

CipherKey cipherKeyOf(const std::string& text) {
    // The key repeats until it has 32 bytes; an empty key is the default one.
    const std::string unit = text.empty() ? std::string(kDefaultKey) : text.substr(0, text.find('\0'));
    std::string repeated = unit;
    while (repeated.size() < 32) repeated += unit;
    CipherKey key;
    std::memcpy(key.bytes, repeated.data(), 32);
    return key;
}

void cipherBytes(const CipherKey& key, uint8_t* bytes, uint32_t count, uint64_t keyPosition) {
    for (uint32_t j = 0; j < count; j++) bytes[j] ^= key.bytes[(keyPosition + j) % 32];
}
