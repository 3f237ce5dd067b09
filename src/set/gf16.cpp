// GF(2^16) by logarithm tables, and the multiply-add of a region by split byte tables.
#include "set/gf16.h"

#include <cstring>
#include <vector>

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

void gfMultiplyAdd(uint16_t factor, const uint8_t* in, uint8_t* out, size_t bytes) {
    if (factor == 0) return;
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
