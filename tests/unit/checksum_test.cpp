// The whole-file checksum against a byte-by-byte reference, and the key expansion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/transferbuffer.h"
#include "fake_ui.h"
#include "jobfiles.h"
#include "os/os.h"

namespace {
uint32_t referenceSum(const Bytes& data) {
    uint32_t total = 0;
    for (size_t i = 0; i < data.size(); i++) total += static_cast<uint32_t>(data[i]) << (8 * (i % 4));
    return total;
}

struct ChecksumTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override {
        resetProcessRecords();
        resetFakeUi();
        releaseTransferBuffer();
        jobState.pieceSizeKB = 64;
    }
    void TearDown() override {
        releaseTransferBuffer();
        resetProcessRecords();
    }
    uint32_t sumOf(const Bytes& data) {
        std::string path = folder / "sum.bin";
        writeBytes(path, data);
        return fileChecksum(path.c_str());
    }
    // The checksum read through a buffer of our own of exactly this usable size, filled with junk first.
    uint32_t sumThrough(const std::string& path, uint32_t bufferSize) {
        releaseTransferBuffer();
        std::vector<uint8_t> own(bufferSize + 64, 0xA5);
        jobState.ioBuffer = own.data();
        jobState.ioBufferSize = bufferSize;
        uint32_t sum = fileChecksum(path.c_str());
        jobState.ioBuffer = nullptr;  // ours, not the allocator's
        jobState.ioBufferSize = 0;
        return sum;
    }
};

}  // namespace

TEST_F(ChecksumTest, KnownValues) {
    EXPECT_EQ(sumOf({'a', 'b', 'c'}), 6513249u);
    EXPECT_EQ(sumOf({1, 0, 0, 0, 2, 0, 0, 0}), 3u);
    EXPECT_EQ(sumOf({}), 0u);
    EXPECT_EQ(sumOf(Bytes(8, 0xFF)), 0xFFFFFFFEu);  // wraps
    EXPECT_EQ(sumOf({1, 2, 3, 4, 5}), 0x04030201u + 5u);
    EXPECT_EQ(sumOf({0, 0, 0, 0, 0, 0, 7}), 0x00070000u);
    EXPECT_NE(jobState.ioBuffer, nullptr);  // it made sure the transfer buffer exists
    EXPECT_EQ(fileChecksum((folder / "absent.bin").c_str()), 0u);
}

TEST_F(ChecksumTest, SameSumForAnyBufferSize) {
    const std::string path = folder / "random.bin";
    struct Case {
        size_t size;
        std::vector<uint32_t> buffers;
    };
    const Case cases[] = {{20001, {1, 2, 3, 5, 7, 100, 1025}},
                          {20002, {1, 3, 6, 4096}},
                          {20003, {2, 7, 1027}},
                          {300004, {1025, 4099, 65537, 400000}},
                          // Buffers larger than one transfer still read the file a transfer at a time.
                          {2 * kTransferChunk + 4097, {kTransferChunk - 1, kTransferChunk + 3, 3 * kTransferChunk}}};
    for (const Case& c : cases) {
        Bytes data = randomBytes(c.size, static_cast<uint32_t>(c.size));
        writeBytes(path, data);
        const uint32_t expected = referenceSum(data);
        for (uint32_t buffer : c.buffers)
            EXPECT_EQ(sumThrough(path, buffer), expected) << c.size << " through " << buffer;
        for (uint32_t kb : {1u, 3u, 900u}) {  // through the buffer the allocator sizes
            releaseTransferBuffer();
            jobState.pieceSizeKB = kb;
            EXPECT_EQ(fileChecksum(path.c_str()), expected) << c.size << " at " << kb << " KiB";
        }
    }
}

TEST_F(ChecksumTest, RunningSumAcrossMisalignedChunks) {
    Bytes data = randomBytes(100003, 9);
    const uint32_t expected = referenceSum(data);
    std::mt19937 gen(4);
    // Short chunks, and chunks long enough for the vector steps to start at any place in a word.
    for (int round = 0; round < 40; round++) {
        uint32_t total = 0;
        size_t at = 0;
        while (at < data.size()) {
            size_t count = std::min<size_t>(gen() % (round < 20 ? 37 : 301), data.size() - at);
            total = addToChecksum(total, at, data.data() + at, static_cast<uint32_t>(count));
            at += count;
        }
        ASSERT_EQ(total, expected) << round;
    }
    EXPECT_EQ(addToChecksum(10, 0, data.data(), 0), 10u);
    const uint8_t one = 0x7F;
    EXPECT_EQ(addToChecksum(0, 6, &one, 1), 0x007F0000u);  // its place in the word follows the file offset
    EXPECT_EQ(addToChecksum(0, 1ull << 40 | 3, &one, 1), 0x7F000000u);
}

TEST_F(ChecksumTest, ExpandKey) {
    std::strcpy(jobState.keyText, "abc");
    expandKey();
    std::string abc;
    for (int i = 0; i < 11; i++) abc += "abc";
    EXPECT_EQ(std::string(jobState.keyText), abc);

    jobState.keyText[0] = 0;
    expandKey();
    EXPECT_EQ(std::string(jobState.keyText), std::string(kDefaultKey) + kDefaultKey + kDefaultKey);
    EXPECT_EQ(std::string(kDefaultKey), "KestrelMoorland");

    std::strcpy(jobState.keyText, "z");
    expandKey();
    EXPECT_EQ(std::string(jobState.keyText), std::string(32, 'z'));

    const std::string k31(31, 'k');
    std::strcpy(jobState.keyText, k31.c_str());
    expandKey();
    EXPECT_EQ(std::string(jobState.keyText), k31 + k31);

    for (size_t n : {32, 40, 599}) {
        const std::string long_(n, 'L');
        std::strcpy(jobState.keyText, long_.c_str());
        expandKey();
        EXPECT_EQ(std::string(jobState.keyText), long_);
    }
}
