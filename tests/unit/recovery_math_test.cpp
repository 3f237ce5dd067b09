// The arithmetic of recovery volumes against published values: GF(2^16) with its input-slice constants, MD5 and
// CRC-32 test vectors, and the region multiply-add against word-by-word products.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "set/digests.h"
#include "set/gf16.h"

namespace {
std::string hex(const Md5Digest& d) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : d.bytes) out += std::string{digits[b >> 4], digits[b & 15]};
    return out;
}
}  // namespace

TEST(RecoveryMath, FieldAndConstantsAsTheFormatGivesThem) {
    const uint16_t first[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (uint32_t n = 0; n < 11; n++) EXPECT_EQ(inputSliceConstant(n), first[n]) << n;
    EXPECT_EQ(gfMultiply(0x8000, 2), 0x100B);  // x^16 is the generator less its top bit
    EXPECT_EQ(gfPower(2, 65535), 1);
    std::mt19937 random(3);
    for (int i = 0; i < 1000; i++) {
        const auto a = static_cast<uint16_t>(random() | 1), b = static_cast<uint16_t>(random()),
                   c = static_cast<uint16_t>(random());
        ASSERT_EQ(gfMultiply(a, gfInverse(a)), 1);
        ASSERT_EQ(gfMultiply(a, b ^ c), gfMultiply(a, b) ^ gfMultiply(a, c));  // multiplication spreads over xor
        ASSERT_EQ(gfPower(a, 3), gfMultiply(a, gfMultiply(a, a)));
    }
    // The multiply-add of a region gives the word-by-word products, little-endian words.
    std::vector<uint8_t> in(1000), out(1000), expected(1000);
    for (auto& byte : in) byte = static_cast<uint8_t>(random());
    for (auto& byte : out) byte = static_cast<uint8_t>(random());
    expected = out;
    for (size_t i = 0; i < in.size(); i += 2) {
        const uint16_t word = static_cast<uint16_t>(in[i] | in[i + 1] << 8);
        const uint16_t sum = static_cast<uint16_t>((expected[i] | expected[i + 1] << 8) ^ gfMultiply(0x1234, word));
        expected[i] = static_cast<uint8_t>(sum);
        expected[i + 1] = static_cast<uint8_t>(sum >> 8);
    }
    gfMultiplyAdd(0x1234, in.data(), out.data(), out.size());
    EXPECT_EQ(out, expected);
}

TEST(RecoveryMath, EveryVectorPathGivesThePortableBytes) {
    std::mt19937 random(9);
    for (GfPath path : {GfPath::Ssse3, GfPath::Avx2, GfPath::Avx512}) {
        if (!gfPathAvailable(path)) continue;  // this processor lacks it: nothing would choose it
        for (size_t bytes : {2u, 62u, 64u, 66u, 1000u, 4096u + 34u})
            for (uint16_t factor : {static_cast<uint16_t>(random() | 1), uint16_t{1}, uint16_t{0x8001}, uint16_t{0xFFFF}}) {
                std::vector<uint8_t> in(bytes), a(bytes), b;
                for (auto& byte : in) byte = static_cast<uint8_t>(random());
                for (auto& byte : a) byte = static_cast<uint8_t>(random());
                b = a;
                gfMultiplyAddWith(GfPath::Portable, factor, in.data(), a.data(), bytes);
                gfMultiplyAddWith(path, factor, in.data(), b.data(), bytes);
                ASSERT_EQ(a, b) << static_cast<int>(path) << " × " << factor << " over " << bytes << " bytes";
            }
    }
}

TEST(RecoveryMath, DigestsMatchTheirPublishedTestVectors) {
    // RFC 1321, appendix A.5.
    const std::pair<std::string, std::string> md5[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (const auto& vector : md5) EXPECT_EQ(hex(md5Of(vector.first.data(), vector.first.size())), vector.second);
    // Fed in uneven parts across block boundaries, the same digest.
    const std::string long_(1000, 'q');
    Md5 parts;
    for (size_t at = 0; at < long_.size(); at += 37) parts.add(long_.data() + at, std::min<size_t>(37, long_.size() - at));
    EXPECT_EQ(hex(parts.finish()), hex(md5Of(long_.data(), long_.size())));
    // CRC-32's check value, whole and continued.
    EXPECT_EQ(crc32Of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32Of("56789", 5, crc32Of("1234", 4)), 0xCBF43926u);
    EXPECT_EQ(crc32Of("", 0), 0u);
}
