// GF(2^16) by logarithm tables, and the multiply-add of a region by nibble tables or, with GFNI, bit matrices.
#include "set/gf16.h"

#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {
constexpr uint32_t kGenerator = 0x1100B;
constexpr uint32_t kOrder = 65535;

struct Tables {
    uint16_t exp[2 * kOrder];
    uint16_t log[65536];
    Tables() {
        uint32_t x = 1;
        for (uint32_t i = 0; i < kOrder; i++) {
            exp[i] = exp[i + kOrder] = static_cast<uint16_t>(x);
            log[x] = static_cast<uint16_t>(i);
            x <<= 1;
            if (x & 0x10000) x ^= kGenerator;
        }
        log[0] = 0;
    }
};
const Tables& tables() {
    static const Tables built;
    return built;
}
}  // namespace

uint16_t gfMultiply(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = tables();
    return t.exp[t.log[a] + t.log[b]];
}

uint16_t gfPower(uint16_t base, uint32_t exponent) {
    if (exponent == 0) return 1;
    if (base == 0) return 0;
    const Tables& t = tables();
    return t.exp[static_cast<uint64_t>(t.log[base]) * exponent % kOrder];
}

uint16_t gfInverse(uint16_t a) {
    const Tables& t = tables();
    return t.exp[(kOrder - t.log[a]) % kOrder];
}

uint16_t inputSliceConstant(uint32_t n) {
    static const std::vector<uint16_t> constants = [] {
        std::vector<uint16_t> list;
        for (uint32_t k = 1; k < kOrder && list.size() < 32768; k++)
            if (k % 3 != 0 && k % 5 != 0 && k % 17 != 0 && k % 257 != 0) list.push_back(tables().exp[k]);
        return list;
    }();
    return constants.at(n);
}

namespace {
void portable(uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes) {
    // factor × word is factor × low byte + factor × (high byte << 8): two lookups a word.
    uint16_t low[256], high[256];
    for (uint32_t x = 0; x < 256; x++) {
        low[x] = gfMultiply(factor, static_cast<uint16_t>(x));
        high[x] = gfMultiply(factor, static_cast<uint16_t>(x << 8));
    }
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const uint16_t product = low[in[i]] ^ high[in[i + 1]];
        out[i] ^= static_cast<uint8_t>(product);
        out[i + 1] ^= static_cast<uint8_t>(product >> 8);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// factor × word is the sum of factor × each of its four nibbles in place: 16-entry tables, one for the low and
// one for the high byte of each product, looked up sixteen or thirty-two at a time by a byte shuffle.
struct NibbleTables {
    alignas(16) uint8_t bytes[8][16];
    explicit NibbleTables(uint16_t factor) {
        for (int k = 0; k < 4; k++)
            for (uint32_t n = 0; n < 16; n++) {
                const uint16_t product = gfMultiply(factor, static_cast<uint16_t>(n << (4 * k)));
                bytes[2 * k][n] = static_cast<uint8_t>(product);
                bytes[2 * k + 1][n] = static_cast<uint8_t>(product >> 8);
            }
    }
};

__attribute__((target("avx2"))) size_t avx2(const NibbleTables& t, const uint8_t* in, uint8_t* out, size_t bytes) {
    __m256i table[8];
    for (int k = 0; k < 8; k++)
        table[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t.bytes[k])));
    const __m256i mask = _mm256_set1_epi16(0x000F);
    size_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i n[4] = {_mm256_and_si256(v, mask), _mm256_and_si256(_mm256_srli_epi16(v, 4), mask),
                              _mm256_and_si256(_mm256_srli_epi16(v, 8), mask), _mm256_srli_epi16(v, 12)};
        __m256i low = _mm256_setzero_si256(), high = _mm256_setzero_si256();
        for (int k = 0; k < 4; k++) {
            low = _mm256_xor_si256(low, _mm256_shuffle_epi8(table[2 * k], n[k]));
            high = _mm256_xor_si256(high, _mm256_shuffle_epi8(table[2 * k + 1], n[k]));
        }
        const __m256i product = _mm256_or_si256(low, _mm256_slli_epi16(high, 8));
        __m256i* target = reinterpret_cast<__m256i*>(out + i);
        _mm256_storeu_si256(target, _mm256_xor_si256(_mm256_loadu_si256(target), product));
    }
    return i;
}

// factor × word is a linear map of its 16 bits: four 8×8 bit matrices, from the low and the high byte to the low
// and the high byte of the product, each applied to 64 bytes at once by the affine instruction of GFNI.
struct ByteMatrices {
    uint64_t m[4] = {0, 0, 0, 0};  // low to low, high to low, low to high, high to high
    // The map is linear in the factor too: the sum of the maps of its bits, each made once.
    explicit ByteMatrices(uint16_t factor) {
        static const std::vector<ByteMatrices> bits = [] {
            std::vector<ByteMatrices> list;
            for (int b = 0; b < 16; b++) list.push_back(ByteMatrices(static_cast<uint16_t>(1u << b), true));
            return list;
        }();
        for (int b = 0; b < 16; b++) {
            const uint64_t take = 0 - static_cast<uint64_t>((factor >> b) & 1);
            for (int k = 0; k < 4; k++) m[k] ^= bits[b].m[k] & take;
        }
    }
    ByteMatrices(uint16_t factor, bool) {
        uint16_t bit[16];  // factor × each input bit: the map's columns
        for (int j = 0; j < 16; j++) bit[j] = gfMultiply(factor, static_cast<uint16_t>(1u << j));
        m[0] = of(bit, 0, 0);
        m[1] = of(bit, 8, 0);
        m[2] = of(bit, 0, 8);
        m[3] = of(bit, 8, 8);
    }
    // Row i (byte 7 - i of the matrix) holds the input bits that make output bit i.
    static uint64_t of(const uint16_t* bit, int from, int to) {
        uint64_t matrix = 0;
        for (int i = 0; i < 8; i++) {
            uint64_t row = 0;
            for (int j = 0; j < 8; j++) row |= static_cast<uint64_t>((bit[j + from] >> (i + to)) & 1) << j;
            matrix |= row << (8 * (7 - i));
        }
        return matrix;
    }
};

__attribute__((target("avx512f,avx512bw,gfni"))) size_t avx512(const ByteMatrices& m, const uint8_t* in, uint8_t* out,
                                                               size_t bytes) {
    const __m512i lowToLow = _mm512_set1_epi64(static_cast<long long>(m.m[0]));
    const __m512i highToLow = _mm512_set1_epi64(static_cast<long long>(m.m[1]));
    const __m512i lowToHigh = _mm512_set1_epi64(static_cast<long long>(m.m[2]));
    const __m512i highToHigh = _mm512_set1_epi64(static_cast<long long>(m.m[3]));
    // Each word's bytes swapped, so that every byte meets its word's other byte in place.
    const __m512i swap = _mm512_set_epi8(62, 63, 60, 61, 58, 59, 56, 57, 54, 55, 52, 53, 50, 51, 48, 49, 46, 47, 44, 45,
                                         42, 43, 40, 41, 38, 39, 36, 37, 34, 35, 32, 33, 30, 31, 28, 29, 26, 27, 24, 25,
                                         22, 23, 20, 21, 18, 19, 16, 17, 14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3,
                                         0, 1);
    constexpr __mmask64 kHighBytes = 0xAAAAAAAAAAAAAAAAull;
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __m512i swapped = _mm512_shuffle_epi8(v, swap);
        const __m512i low = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(v, lowToLow, 0),
                                             _mm512_gf2p8affine_epi64_epi8(swapped, highToLow, 0));
        const __m512i high = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(swapped, lowToHigh, 0),
                                              _mm512_gf2p8affine_epi64_epi8(v, highToHigh, 0));
        const __m512i product = _mm512_mask_blend_epi8(kHighBytes, low, high);
        _mm512_storeu_si512(out + i, _mm512_xor_si512(_mm512_loadu_si512(out + i), product));
    }
    return i;
}

__attribute__((target("ssse3"))) size_t ssse3(const NibbleTables& t, const uint8_t* in, uint8_t* out, size_t bytes) {
    __m128i table[8];
    for (int k = 0; k < 8; k++) table[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(t.bytes[k]));
    const __m128i mask = _mm_set1_epi16(0x000F);
    size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i n[4] = {_mm_and_si128(v, mask), _mm_and_si128(_mm_srli_epi16(v, 4), mask),
                              _mm_and_si128(_mm_srli_epi16(v, 8), mask), _mm_srli_epi16(v, 12)};
        __m128i low = _mm_setzero_si128(), high = _mm_setzero_si128();
        for (int k = 0; k < 4; k++) {
            low = _mm_xor_si128(low, _mm_shuffle_epi8(table[2 * k], n[k]));
            high = _mm_xor_si128(high, _mm_shuffle_epi8(table[2 * k + 1], n[k]));
        }
        const __m128i product = _mm_or_si128(low, _mm_slli_epi16(high, 8));
        __m128i* target = reinterpret_cast<__m128i*>(out + i);
        _mm_storeu_si128(target, _mm_xor_si128(_mm_loadu_si128(target), product));
    }
    return i;
}
#endif
}  // namespace

bool gfPathAvailable(GfPath path) {
#if defined(__x86_64__) || defined(__i386__)
    if (path == GfPath::Avx512)
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("gfni");
    if (path == GfPath::Avx2) return __builtin_cpu_supports("avx2");
    if (path == GfPath::Ssse3) return __builtin_cpu_supports("ssse3");
#else
    if (path != GfPath::Portable) return false;
#endif
    return true;
}

void gfMultiplyAddWith(GfPath path, uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes) {
    if (factor == 0) return;
    size_t done = 0;
#if defined(__x86_64__) || defined(__i386__)
    if (path == GfPath::Avx512 && bytes >= 64) {
        done = avx512(ByteMatrices(factor), in, out, bytes);
    } else if (path != GfPath::Portable && bytes >= 64) {
        const NibbleTables tables(factor);
        done = path == GfPath::Avx2 ? avx2(tables, in, out, bytes) : ssse3(tables, in, out, bytes);
    }
#else
    (void)path;
#endif
    if (done < bytes) portable(factor, in + done, out + done, bytes - done);
}

void gfMultiplyAdd(uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes) {
    static const GfPath best = gfPathAvailable(GfPath::Avx512)  ? GfPath::Avx512
                               : gfPathAvailable(GfPath::Avx2)  ? GfPath::Avx2
                               : gfPathAvailable(GfPath::Ssse3) ? GfPath::Ssse3
                                                                : GfPath::Portable;
    gfMultiplyAddWith(best, factor, in, out, bytes);
}
