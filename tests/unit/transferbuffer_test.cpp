// Sizing of the transfer buffer, its reuse, halving under allocation failure and the exit when none can be had.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/jobstate.h"
#include "engine/transferbuffer.h"
#include "fake_ui.h"
#include "os/os.h"

namespace {
std::vector<size_t> requests;
size_t failAbove = SIZE_MAX;

// Records every request and refuses those larger than failAbove.
void* recordingAllocate(size_t size) {
    requests.push_back(size);
    return size > failAbove ? nullptr : osAllocateZeroed(size);
}

struct TransferBufferTest : ::testing::Test {
    void SetUp() override {
        resetProcessRecords();
        resetFakeUi();
        releaseTransferBuffer();
        requests.clear();
        failAbove = SIZE_MAX;
        transferAllocate = recordingAllocate;
    }
    void TearDown() override {
        releaseTransferBuffer();
        transferAllocate = osAllocateZeroed;
        resetProcessRecords();
    }
};

// In the dying child: leave on stderr what was asked for and whether the right message was shown.
void reportMessage(const ShownMessage& m) {
    std::string sizes;
    for (size_t s : requests) sizes += std::to_string(s) + ",";
    std::fprintf(stderr, "tried:%s;%s;mode%d\n", sizes.c_str(), m.line2 == "内存分配错误" ? "memory-message" : "other",
                 m.mode);
    std::fflush(stderr);
}
}  // namespace

TEST_F(TransferBufferTest, SizedFromThePieceSize) {
    jobState.pieceSizeKB = 900;
    ensureTransferBuffer();
    ASSERT_NE(jobState.ioBuffer, nullptr);
    EXPECT_EQ(jobState.ioBufferSize, 922500u);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], 922564u);
    bool zero = true;
    for (uint32_t i = 0; i < jobState.ioBufferSize + 64; i += 997) zero = zero && jobState.ioBuffer[i] == 0;
    EXPECT_TRUE(zero);

    // An existing block stays, whatever changed since.
    uint8_t* block = jobState.ioBuffer;
    jobState.pieceSizeKB = 5;
    settings.memoryMode = 2;
    ensureTransferBuffer();
    EXPECT_EQ(jobState.ioBuffer, block);
    EXPECT_EQ(jobState.ioBufferSize, 922500u);
    EXPECT_EQ(requests.size(), 1u);

    releaseTransferBuffer();
    EXPECT_EQ(jobState.ioBuffer, nullptr);
    EXPECT_EQ(jobState.ioBufferSize, 0u);
    ensureTransferBuffer();
    EXPECT_EQ(jobState.ioBufferSize, 5u * 1025u);

    releaseTransferBuffer();
    jobState.pieceSizeKB = 0;  // a raw join of a tiny first piece still gets room to move data
    ensureTransferBuffer();
    EXPECT_EQ(jobState.ioBufferSize, 64u * 1024u);
}

TEST_F(TransferBufferTest, HalvesUnderAllocationFailure) {
    jobState.pieceSizeKB = 900;
    failAbove = 300000;
    ensureTransferBuffer();
    EXPECT_EQ(requests, (std::vector<size_t>{922564, 461314, 230689}));
    EXPECT_EQ(jobState.ioBufferSize, 230625u);

    // Huge piece sizes start at 4,000,000,000 bytes, without overflow.
    for (uint32_t kb : {3902439u, 3902440u, 4194304u, 0xFFFFFFFFu}) {
        releaseTransferBuffer();
        requests.clear();
        jobState.pieceSizeKB = kb;
        failAbove = 1000064;
        ensureTransferBuffer();
        ASSERT_FALSE(requests.empty());
        if (kb == 3902439u)
            EXPECT_EQ(requests[0], 3902439ull * 1025 + 64) << kb;  // the largest size below the cap
        else
            EXPECT_EQ(requests[0], 4000000064u) << kb;
        EXPECT_EQ(jobState.ioBufferSize, requests.back() - 64);
        EXPECT_LE(requests.back(), failAbove);
        EXPECT_GT((requests.back() - 64) * 2 + 64, failAbove);  // the first size that fits, by halving
    }
}

TEST_F(TransferBufferTest, MemoryModesLimitTheStartSize) {
    const uint64_t physical = osPhysicalMemory();
    ASSERT_GT(physical, 0u);
    failAbove = 1 << 20;
    const std::pair<uint32_t, uint64_t> modes[] = {{0, 4000000000ull},
                                                   {1, std::min<uint64_t>(4000000000ull, physical)},
                                                   {2, std::min<uint64_t>(4000000000ull, physical >> 1)}};
    for (auto& mode : modes) {
        releaseTransferBuffer();
        requests.clear();
        settings.memoryMode = mode.first;
        jobState.pieceSizeKB = 4194304;
        ensureTransferBuffer();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0], mode.second + 64) << "mode " << mode.first;
    }
    // Below the limit the piece size alone decides.
    releaseTransferBuffer();
    requests.clear();
    settings.memoryMode = 2;
    jobState.pieceSizeKB = 900;
    ensureTransferBuffer();
    EXPECT_EQ(jobState.ioBufferSize, 922500u);
}

TEST_F(TransferBufferTest, NoBlockEndsTheProcessWithCode5) {
    jobState.pieceSizeKB = 1;
    failAbove = 0;
    messageHook = reportMessage;
    // 1025 halves to 512, 256 and 128; 64 is below the floor and never tried.
    EXPECT_EXIT(ensureTransferBuffer(), ::testing::ExitedWithCode(5), "tried:1089,576,320,192,;memory-message;mode0");
    jobState.pieceSizeKB = 4194304;
    EXPECT_EXIT(ensureTransferBuffer(), ::testing::ExitedWithCode(5), "memory-message");
}
