// Piece sizing: the count leads, the size is evened out, and a job's count always matches its size.
#include <gtest/gtest.h>

#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/sizing.h"
#include "fake_ui.h"

namespace {
struct Sized {
    uint32_t count;
    uint32_t size;
};

Sized sizeWithoutWindow(uint64_t bytes, uint32_t askedKB) {
    resetProcessRecords();
    setWide(jobState.sourceSize, bytes);
    jobState.pieceSizeKB = askedKB;
    countFromSize(nullptr);
    return {jobState.pieceCount, jobState.pieceSizeKB};
}

uint64_t piecesNeeded() {
    uint64_t piece = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    return (wideValue(jobState.sourceSize) + piece - 1) / piece;
}
}  // namespace

TEST(Sizing, CountFromSizeFollowsTheTable) {
    struct Row {
        uint64_t bytes;
        uint32_t asked, count, size;
    } rows[] = {
        {1000000, 899, 2, 489},       {1000000, 900, 2, 489},  {10000000, 900, 11, 888},
        {2097152, 1024, 3, 683},      {1048576, 1024, 1, 1025}, {1000, 900, 1, 1},
        {20480000, 2, 5001, 4},       {5368709120ULL, 900, 5826, 900},
        {5000, 0, 3, 2},  // a size below 2 becomes 2 first
    };
    for (const Row& r : rows) {
        Sized s = sizeWithoutWindow(r.bytes, r.asked);
        EXPECT_EQ(s.count, r.count) << r.bytes << " @ " << r.asked;
        EXPECT_EQ(s.size, r.size) << r.bytes << " @ " << r.asked;
    }
}

TEST(Sizing, SettledCountMatchesTheFinalSize) {
    // The steps leave 5001 for a file that 5000 pieces of 4 KiB already hold.
    sizeWithoutWindow(20480000, 2);
    ASSERT_TRUE(settlePieceCount());
    EXPECT_EQ(jobState.pieceCount, 5000u);
    EXPECT_EQ(jobState.pieceCount, piecesNeeded());

    // 1,000,000 bytes in 600 pieces gives 2 KiB, which holds the file in 489 pieces.
    resetProcessRecords();
    setWide(jobState.sourceSize, 1000000);
    jobState.pieceCount = 600;
    sizeFromCount(nullptr);
    EXPECT_EQ(jobState.pieceSizeKB, 2u);
    ASSERT_TRUE(settlePieceCount());
    EXPECT_EQ(jobState.pieceCount, 489u);

    // More than 9999 pieces would need a fifth digit: the pieces grow instead.
    resetProcessRecords();
    setWide(jobState.sourceSize, 100000000);
    jobState.pieceSizeKB = 2;
    ASSERT_TRUE(settlePieceCount());
    EXPECT_LE(jobState.pieceCount, 9999u);
    EXPECT_EQ(jobState.pieceCount, piecesNeeded());
    EXPECT_EQ(jobState.pieceSizeKB, 10u);

    // Whatever is asked, the invariant holds after settling.
    for (uint64_t bytes : {1ULL, 1023ULL, 1024ULL, 777777ULL, 123456789ULL, 6000000000ULL})
        for (uint32_t kb : {1u, 2u, 3u, 899u, 65536u, 4927999u}) {
            sizeWithoutWindow(bytes, kb);
            ASSERT_TRUE(settlePieceCount());
            EXPECT_EQ(jobState.pieceCount, piecesNeeded()) << bytes << " @ " << kb;
            EXPECT_GE(jobState.pieceCount, 1u);
            EXPECT_LE(jobState.pieceCount, 9999u);
        }
}

TEST(Sizing, SizeFromCountLimitsAndEvensOut) {
    resetProcessRecords();
    setWide(jobState.sourceSize, 1000000);
    jobState.pieceCount = 2;
    EXPECT_EQ(sizeFromCount(nullptr), 489u);
    setWide(jobState.sourceSize, 10ULL << 30);
    jobState.pieceCount = 10000;
    EXPECT_EQ(sizeFromCount(nullptr), 1049u);

    FakeWindow w;
    w.add(kIdCount);
    setWide(jobState.sourceSize, 1000000);
    const struct {
        const char* typed;
        const char* shown;
        uint32_t count;
    } boxes[] = {{"0", "2", 2}, {"1", "1", 1}, {"12000", "10000", 10000}};
    for (const auto& b : boxes) {
        w.at(kIdCount).text = b.typed;
        sizeFromCount(w.ref());
        EXPECT_EQ(jobState.pieceCount, b.count);
        EXPECT_EQ(w.at(kIdCount).text, b.shown);
    }
}

TEST(Sizing, CountFromSizeWithAWindowWritesTheCountAndCorrectsOnlyABadSize) {
    resetProcessRecords();
    FakeWindow w;
    w.add(kIdSize);
    w.add(kIdCount);
    setWide(jobState.sourceSize, 2500000);
    w.at(kIdSize).text = "899";
    countFromSize(w.ref());
    EXPECT_EQ(w.at(kIdCount).text, "3");
    EXPECT_EQ(jobState.pieceSizeKB, 814u);
    EXPECT_EQ(w.at(kIdSize).text, "899") << "the size box keeps what was typed";
    EXPECT_EQ(w.at(kIdSize).writes, 0);
    w.at(kIdSize).text = "1";
    countFromSize(w.ref());
    EXPECT_EQ(w.at(kIdSize).text, "2");
}

TEST(Sizing, PresetsAndSmallFiles) {
    resetProcessRecords();
    FakeWindow w;
    w.add(kIdCount);
    setWide(jobState.sourceSize, 700ULL << 20);
    EXPECT_EQ(presetSize(w.ref(), 7), 660479u);
    EXPECT_EQ(w.at(kIdCount).writes, 0);
    setWide(jobState.sourceSize, 600ULL << 20);
    EXPECT_EQ(presetSize(w.ref(), 7), 614400u);
    EXPECT_EQ(w.at(kIdCount).text, "1");
    EXPECT_EQ(presetSize(w.ref(), 0), 0u);
    setWide(jobState.sourceSize, 899 * 1024);  // exactly one piece of the preset is not smaller
    EXPECT_EQ(presetSize(nullptr, 1), 899u);
    setWide(jobState.sourceSize, 500);
    EXPECT_EQ(presetSize(nullptr, 18), 0u);
    const uint32_t handedOut[] = {0, 899, 1399, 121999, 101999, 254999, 765999, 660479, 716799, 3583,
                                  7679, 15359, 30719, 61439, 122879, 245759, 491519, 972799, 4927999};
    setWide(jobState.sourceSize, 1ULL << 40);
    for (uint32_t e = 0; e <= kPresetCount; e++) EXPECT_EQ(presetSize(nullptr, e), handedOut[e]) << e;
}

TEST(Sizing, DivisionScalesLargeDivisors) {
    resetProcessRecords();
    EXPECT_EQ(divide64by32(1000000, 0, 100000), 1000000u % 25000u);
    EXPECT_EQ(jobState.divScale, 1u);
    EXPECT_EQ(jobState.divQuotient.low, 40u);
    jobState.divScale = 0;
    divide64by32(0xFFFFFFFFu, 0, 65537);
    EXPECT_EQ(jobState.divScale, 1u);
    EXPECT_EQ(jobState.divQuotient.low, 0xFFFFFFFFu / 16384u);
    jobState.divScale = 0;
    const uint64_t value = 0x0123456789ABCDEFULL;
    uint32_t remainder = divide64by32(static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32), 60000);
    EXPECT_EQ(wideValue(jobState.divQuotient), value / 60000);
    EXPECT_EQ(remainder, value % 60000);
}
