// MD5 as RFC 1321 gives it, and the table-driven CRC-32.
#include "set/digests.h"

#include <cstring>

namespace {
const uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
const uint8_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                             5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                             4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                             6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t rotate(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

// Eight tables: eight bytes a step ("slicing by eight"), several times the speed of one byte a step.
struct CrcTable {
    uint32_t entries[8][256];
    CrcTable() {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; i++)
            for (int t = 1; t < 8; t++) entries[t][i] = (entries[t - 1][i] >> 8) ^ entries[0][entries[t - 1][i] & 0xFF];
    }
};
}  // namespace

bool Md5Digest::operator==(const Md5Digest& other) const { return std::memcmp(bytes, other.bytes, 16) == 0; }

bool Md5Digest::operator<(const Md5Digest& other) const {
    for (int i = 15; i >= 0; i--)
        if (bytes[i] != other.bytes[i]) return bytes[i] < other.bytes[i];
    return false;
}

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::block(const uint8_t* p) {
    uint32_t m[16];
    for (int i = 0; i < 16; i++)
        m[i] = static_cast<uint32_t>(p[4 * i]) | static_cast<uint32_t>(p[4 * i + 1]) << 8 |
               static_cast<uint32_t>(p[4 * i + 2]) << 16 | static_cast<uint32_t>(p[4 * i + 3]) << 24;
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int i = 0; i < 64; i++) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = d;
        d = c;
        c = b;
        b = b + rotate(a + f + kSines[i] + m[g], kShifts[i]);
        a = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void Md5::add(const void* bytes, size_t count) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    length_ += count;
    if (held_ > 0) {
        const size_t take = count < 64 - held_ ? count : 64 - held_;
        std::memcpy(pending_ + held_, p, take);
        held_ += take;
        p += take;
        count -= take;
        if (held_ < 64) return;
        block(pending_);
        held_ = 0;
    }
    for (; count >= 64; p += 64, count -= 64) block(p);
    std::memcpy(pending_, p, count);
    held_ = count;
}

Md5Digest Md5::finish() {
    const uint64_t bits = length_ * 8;
    const uint8_t one = 0x80;
    add(&one, 1);
    const uint8_t zero = 0;
    while (held_ != 56) add(&zero, 1);
    uint8_t tail[8];
    for (int i = 0; i < 8; i++) tail[i] = static_cast<uint8_t>(bits >> (8 * i));
    add(tail, 8);
    Md5Digest digest;
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 4; k++) digest.bytes[4 * i + k] = static_cast<uint8_t>(state_[i] >> (8 * k));
    return digest;
}

Md5Digest md5Of(const void* bytes, size_t count) {
    Md5 md5;
    md5.add(bytes, count);
    return md5.finish();
}

uint32_t crc32Of(const void* bytes, size_t count, uint32_t crc) {
    static const CrcTable table;
    const auto* p = static_cast<const uint8_t*>(bytes);
    const auto& t = table.entries;
    crc = ~crc;
    for (; count >= 8; p += 8, count -= 8) {
        const uint32_t low = crc ^ (static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                    static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][p[4]] ^
              t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; count > 0; p++, count--) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
