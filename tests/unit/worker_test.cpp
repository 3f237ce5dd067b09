// Split and join workers run in-process: pieces on disk, cipher coverage, questions, cancels and fatal ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/analysis.h"
#include "engine/checksum.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "engine/sizing.h"
#include "engine/transferbuffer.h"
#include "engine/worker.h"
#include "fake_ui.h"
#include "jobfiles.h"
#include "os/exitcodes.h"

namespace {
struct WorkerTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override { fresh(); }
    void TearDown() override { releaseTransferBuffer(); }
    void fresh() {
        releaseTransferBuffer();
        resetProcessRecords();
        resetFakeUi();
        settings.useChecksum = 1;
        settings.outputLocation = 2;
        settings.memoryMode = 0;
    }
    // Analyses and sizes like batch mode, then runs the worker on this thread.
    void run(const std::string& input, const std::string& output, uint32_t pieceKB = 512, WindowRef w = nullptr) {
        std::strcpy(jobState.sourcePath, input.c_str());
        std::strcpy(jobState.outputFolder, output.c_str());
        jobState.inputLoaded = 0;
        analyseInput(nullptr);
        ASSERT_EQ(jobState.inputLoaded, 1u) << input;
        // The analysis without a window put a subfolder below; these tests name the folder exactly.
        std::strcpy(jobState.outputFolder, output.c_str());
        if (jobState.isSplit) {
            jobState.pieceSizeKB = pieceKB;
            countFromSize(nullptr);
            settlePieceCount();
        }
        jobState.jobPhase.store(kPhaseStartRequested);
        jobWorker(w);
    }
    void startExact(const std::string& input, const std::string& output, uint32_t pieceKB, uint32_t count) {
        std::strcpy(jobState.sourcePath, input.c_str());
        jobState.inputLoaded = 0;
        analyseInput(nullptr);
        std::strcpy(jobState.outputFolder, output.c_str());
        jobState.pieceSizeKB = pieceKB;
        jobState.pieceCount = count;
        jobState.jobPhase.store(kPhaseStartRequested);
        jobWorker(nullptr);
    }
    Bytes pieceData(const std::string& path, uint32_t offset) {
        Bytes b = readBytes(path);
        return Bytes(b.begin() + offset, b.end());
    }
};
}  // namespace

TEST_F(WorkerTest, EncipheredSplitCoversTheStartOfEveryPieceAndJoinRestoresIt) {
    std::string src = folder / "secret.bin";
    Bytes data = randomBytes(5000);
    writeBytes(src, data);
    std::string out = folder / "p";
    jobState.encryptEnabled = 1;
    std::strcpy(jobState.keyText, "abc");
    startExact(src, out, 2, 3);  // 2 KiB pieces: 2048, 2048 and 904 data bytes; 1 byte of each enciphered
    EXPECT_EQ(jobState.jobPhase.load(), kPhaseFinished);
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);
    EXPECT_EQ(jobState.ioBuffer, nullptr);
    const std::string key = "abcabcabcabcabcabcabcabcabcabcabc";
    const uint32_t offsets[] = {kHeaderSize, 8, 8};
    for (uint32_t i = 0; i < 3; i++) {
        Bytes d = pieceData(out + kPathSeparator + "secr000" + std::to_string(i + 1) + ".trn", offsets[i]);
        size_t start = i * 2048;
        ASSERT_EQ(d[0], data[start] ^ 'a') << "piece " << i + 1;
        for (size_t j = 1; j < d.size(); j++) ASSERT_EQ(d[j], data[start + j]) << "piece " << i + 1 << " byte " << j;
    }

    // 100 KiB pieces scramble their first 99 bytes (bytes, not KiB) with a 32-byte key cycle.
    fresh();
    Bytes big = randomBytes(250000, 3);
    writeBytes(src, big);
    jobState.encryptEnabled = 1;
    std::strcpy(jobState.keyText, "xyz");
    startExact(src, out, 100, 3);
    Bytes d3 = pieceData(out + kPathSeparator + "secr0003.trn", 8);
    ASSERT_EQ(d3.size(), 250000u - 2 * 102400u);
    for (size_t j = 0; j < d3.size(); j++) {
        uint8_t k = j < 99 ? static_cast<uint8_t>("xyz"[(j % 32) % 3]) : 0;
        ASSERT_EQ(d3[j], big[204800 + j] ^ k) << j;
    }
    Bytes d1 = pieceData(out + kPathSeparator + "secr0001.trn", kHeaderSize);
    EXPECT_EQ(d1[98], big[98] ^ static_cast<uint8_t>("xyz"[(98 % 32) % 3]));
    EXPECT_EQ(d1[99], big[99]);

    std::vector<Bytes> before;
    for (int i = 1; i <= 3; i++) before.push_back(readBytes(out + kPathSeparator + "secr000" + std::to_string(i) + ".trn"));
    fresh();
    jobState.encryptEnabled = 1;
    std::strcpy(jobState.keyText, "xyz");
    std::string dest = folder / "j";
    run(out + kPathSeparator + "secr0002.trn", dest);
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);
    EXPECT_EQ(readBytes(dest + kPathSeparator + "secret.bin"), big);
    for (int i = 1; i <= 3; i++)
        EXPECT_EQ(readBytes(out + kPathSeparator + "secr000" + std::to_string(i) + ".trn"), before[i - 1]);

    // The wrong key leaves scrambled bytes, which the checksum catches.
    fresh();
    jobState.encryptEnabled = 1;
    std::strcpy(jobState.keyText, "wrong");
    scriptedAnswers = {kAnswerContinue};  // overwrite the rebuilt file
    run(out + kPathSeparator + "secr0001.trn", dest);
    EXPECT_EQ(jobState.jobResult.load(), kResultChecksumMismatch);
    EXPECT_EQ(jobState.jobPhase.load(), kPhaseFinished);
}

TEST_F(WorkerTest, OnePieceEncipheredSetJoinsWhateverItsLengthBelowAKiBoundary) {
    // 4100 bytes: cut as one piece of 5 KiB (4 bytes scrambled); the piece is 4752 bytes, under 5 KiB.
    for (uint32_t size : {4100u, 4500u, 1023u, 100u}) {
        fresh();
        std::string src = folder / "lone.bin";
        Bytes data = randomBytes(size, size);
        writeBytes(src, data);
        std::string out = folder / ("p" + std::to_string(size));
        jobState.encryptEnabled = 1;
        std::strcpy(jobState.keyText, "k3y");
        run(src, out, 512);
        ASSERT_EQ(jobState.pieceCount, 1u);
        fresh();
        jobState.encryptEnabled = 1;
        std::strcpy(jobState.keyText, "k3y");
        std::string dest = folder / ("j" + std::to_string(size));
        run(out + kPathSeparator + "lone0001.trn", dest);
        EXPECT_EQ(jobState.jobResult.load(), kResultSuccess) << size;
        EXPECT_EQ(readBytes(dest + kPathSeparator + "lone.bin"), data) << size;
    }
}

TEST_F(WorkerTest, ExactMultipleGivesFullLastPieceAndProgressStopsBelow200) {
    std::string src = folder / "even.bin";
    writeBytes(src, randomBytes(30720));
    std::string out = folder / "p";
    FakeWindow w;
    jobState.removableTarget = 1;  // every piece after the first asks first: a place to watch the phase
    scriptedAnswers = {kAnswerContinue, kAnswerContinue, kAnswerContinue};
    std::strcpy(jobState.sourcePath, src.c_str());
    analyseInput(nullptr);
    std::strcpy(jobState.outputFolder, out.c_str());
    jobState.pieceSizeKB = 10;
    jobState.pieceCount = 3;
    jobState.jobPhase.store(kPhaseStartRequested);
    jobWorker(w.ref());
    EXPECT_EQ(readBytes(out + kPathSeparator + "even0003.trn").size(), 8u + 10240u);
    ASSERT_EQ(shownMessages.size(), 2u);
    EXPECT_EQ(shownMessages[0].line2, "可移动媒体就绪了吗?");
    EXPECT_EQ(shownMessages[0].line1, "");
    ASSERT_GE(w.captions.size(), 4u);
    EXPECT_EQ(w.captions[0], "正在检查CRC");
    EXPECT_EQ(w.captions[1], "正在劈分文件1");
    EXPECT_EQ(w.captions[3], "正在劈分文件3");
}

TEST_F(WorkerTest, TheLargestStartSizeHalvesToWhatTheProcessCanHoldAndDataMovesThroughIt) {
    // Pieces of 4,194,304 KiB ask for the largest start size, 4,000,000,000 bytes, with no memory limit: a 32-bit
    // process cannot hold that, so the request halves until a block is had; a 64-bit one may take it whole.
    settings.memoryMode = 0;
    jobState.pieceSizeKB = 4194304;
    ensureTransferBuffer();
    ASSERT_NE(jobState.ioBuffer, nullptr);
    uint64_t size = jobState.ioBufferSize;
    uint32_t halvings = 0;
    while (size < 4000000000ULL && halvings < 40) {
        size <<= 1;
        halvings++;
    }
    EXPECT_EQ(size, 4000000000ULL) << jobState.ioBufferSize << " is no halving of the largest start size";
    if (sizeof(void*) == 4) {
        EXPECT_GE(halvings, 1u) << "a 32-bit process cannot hold 4,000,000,000 bytes";
    }
    // The block stays for the job (an existing buffer is kept), and the data moves through it.
    std::string src = folder / "whole.bin";
    Bytes data = randomBytes(3 * 1024 * 1024 + 17, 9);
    writeBytes(src, data);
    std::string out = folder / "p";
    startExact(src, out, 4194304, 1);
    ASSERT_EQ(jobState.jobResult.load(), kResultSuccess);
    EXPECT_EQ(jobState.ioBuffer, nullptr) << "released at the end of the job";
    EXPECT_TRUE(pieceData(out + kPathSeparator + "whol0001.trn", kHeaderSize) == data);
}

TEST_F(WorkerTest, PiecesLargerThanOneTransferMoveWhole) {
    // 2500 KiB pieces take several transfers each, the last of them short.
    std::string src = folder / "large.bin";
    const uint32_t pieceBytes = 2500 * 1024;
    ASSERT_GT(pieceBytes, 2 * kTransferChunk);
    Bytes data = randomBytes(2 * pieceBytes + 777, 11);
    writeBytes(src, data);
    std::string out = folder / "p";
    startExact(src, out, 2500, 3);
    ASSERT_EQ(jobState.jobResult.load(), kResultSuccess);
    const uint32_t offsets[] = {kHeaderSize, kMagicSize, kMagicSize};
    for (uint32_t i = 0; i < 3; i++) {
        Bytes d = pieceData(out + kPathSeparator + "larg000" + std::to_string(i + 1) + ".trn", offsets[i]);
        Bytes want(data.begin() + i * pieceBytes, data.begin() + std::min<size_t>(data.size(), (i + 1) * pieceBytes));
        EXPECT_TRUE(d == want) << "piece " << i + 1 << " holds " << d.size() << " bytes";
    }
    fresh();
    std::string dest = folder / "j";
    run(out + kPathSeparator + "larg0001.trn", dest);
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);  // the checksum over the chunked reads agrees too
    EXPECT_TRUE(readBytes(dest + kPathSeparator + "large.bin") == data);
}

TEST_F(WorkerTest, DecliningQuestionsStopsWithoutTouchingWhatExists) {
    std::string src = folder / "keep.bin";
    writeBytes(src, randomBytes(5000));
    std::string out = folder / "p";
    std::filesystem::create_directories(out);
    std::string first = out + kPathSeparator + "keep0001.trn";
    writeBytes(first, {1, 2, 3});
    scriptedAnswers = {kAnswerCancel};
    startExact(src, out, 2, 3);
    EXPECT_EQ(jobState.jobPhase.load(), kPhaseRunning);
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    EXPECT_EQ(readBytes(first), (Bytes{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(out + kPathSeparator + "keep0002.trn"));
    EXPECT_EQ(shownMessages.at(0).line1, "文件已存在.");
    EXPECT_EQ(shownMessages.at(0).line4, first);

    // Declined at piece 3: every question comes first, so nothing of the set is written.
    fresh();
    std::filesystem::remove(first);
    std::string third = out + kPathSeparator + "keep0003.trn";
    writeBytes(third, {9});
    scriptedAnswers = {kAnswerCancel};
    startExact(src, out, 2, 3);
    EXPECT_EQ(jobState.jobPhase.load(), kPhaseRunning);
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    EXPECT_EQ(folderNames(out), (std::vector<std::string>{"keep0003.trn"}));
    EXPECT_EQ(readBytes(third), (Bytes{9}));

    // Quiet mode to removable media: the first piece, then a silent stop.
    fresh();
    std::filesystem::remove_all(out);
    jobState.quietMode = 1;
    jobState.removableTarget = 1;
    startExact(src, out, 2, 3);
    EXPECT_TRUE(shownMessages.empty());
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    EXPECT_TRUE(std::filesystem::exists(out + kPathSeparator + "keep0001.trn"));
    EXPECT_FALSE(std::filesystem::exists(out + kPathSeparator + "keep0002.trn"));

    // A worker that finds no start request changes nothing.
    fresh();
    jobState.jobPhase.store(kPhaseIdle);
    jobState.jobResult.store(kResultChecksumMismatch);
    jobWorker(nullptr);
    EXPECT_EQ(jobState.jobPhase.load(), kPhaseIdle);
    EXPECT_EQ(jobState.jobResult.load(), kResultChecksumMismatch);
}

TEST_F(WorkerTest, MissingPieceOfAHeaderSetIsAskedForAgain) {
    std::string src = folder / "gaps.bin";
    Bytes data = randomBytes(6000);
    writeBytes(src, data);
    std::string out = folder / "p";
    startExact(src, out, 2, 3);
    std::filesystem::remove(out + kPathSeparator + "gaps0002.trn");
    fresh();
    scriptedAnswers = {kAnswerContinue, kAnswerContinue, kAnswerCancel};
    std::string dest = folder / "j";
    run(out + kPathSeparator + "gaps0001.trn", dest);
    ASSERT_EQ(shownMessages.size(), 3u);
    for (const auto& m : shownMessages) {
        EXPECT_EQ(m.line1, "文件读取错误");
        EXPECT_EQ(m.line2, "可移动媒体就绪了吗?");
    }
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    // Given up: nothing under the file's name, nothing half-made beside it, not even the folder made for it.
    EXPECT_FALSE(std::filesystem::exists(dest));

    fresh();
    jobState.quietMode = 1;
    scriptedAnswers = {kAnswerContinue};
    run(out + kPathSeparator + "gaps0003.trn", folder / "j2");
    EXPECT_TRUE(shownMessages.empty());
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
}

TEST_F(WorkerTest, DescriptionIsShownBeforeTheJoinUnlessQuiet) {
    std::string src = folder / "d.txt";
    writeBytes(src, randomBytes(3000));
    std::string out = folder / "p";
    settings.useDescription = 1;
    std::strcpy(jobState.description, "for the archive");
    startExact(src, out, 4, 1);
    fresh();
    run(out + kPathSeparator + "d.tx0001.trn", folder / "j");
    ASSERT_FALSE(shownMessages.empty());
    EXPECT_EQ(shownMessages[0].mode, kMessageDescription);
    EXPECT_EQ(shownMessages[0].line1, "for the archive");
    fresh();
    jobState.quietMode = 1;
    run(out + kPathSeparator + "d.tx0001.trn", folder / "k");
    EXPECT_TRUE(shownMessages.empty());
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);
}

TEST_F(WorkerTest, ChecksumOffAtSplitMeansMismatchAtAJoinThatChecks) {
    std::string src = folder / "c.bin";
    writeBytes(src, randomBytes(4000, 9));
    std::string out = folder / "p";
    settings.useChecksum = 0;
    startExact(src, out, 4, 1);
    EXPECT_EQ(readBytes(out + kPathSeparator + "c.bi0001.trn")[622], 0);
    fresh();
    run(out + kPathSeparator + "c.bi0001.trn", folder / "j");
    EXPECT_EQ(jobState.jobResult.load(), kResultChecksumMismatch);
    fresh();
    settings.useChecksum = 0;
    run(out + kPathSeparator + "c.bi0001.trn", folder / "k");
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);
}

TEST_F(WorkerTest, RawJoinReadsEveryByteAndStopsAtTheFirstGap) {
    std::string set = folder / "raw";
    std::filesystem::create_directories(set);
    Bytes a = randomBytes(700, 1), b = randomBytes(700, 2), c = randomBytes(300, 3);
    writeBytes(set + kPathSeparator + "abcd0001.trn", a);
    writeBytes(set + kPathSeparator + "abcd0002.trn", b);
    writeBytes(set + kPathSeparator + "abcd0003.trn", c);
    // An earlier job's times, attributes and checksum must not reach the rebuilt file.
    jobState.lastWriteTime = 116444736000000000ULL;
    jobState.fileAttributes = 1;
    scriptedAnswers = {kAnswerContinue};
    std::string dest = folder / "j";
    run(set + kPathSeparator + "abcd0002.trn", dest);
    EXPECT_EQ(jobState.rawJoin, 1u);
    EXPECT_EQ(jobState.pieceSizeKB, 0u);
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    Bytes all = a;
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
    std::string rebuilt = dest + kPathSeparator + "abcd";
    EXPECT_EQ(readBytes(rebuilt), all);
    auto age = std::filesystem::file_time_type::clock::now() - std::filesystem::last_write_time(rebuilt);
    EXPECT_LT(age, std::chrono::hours(1)) << "not the 1970 time of an earlier job";
    auto perms = std::filesystem::status(rebuilt).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

TEST_F(WorkerTest, PiecesWithNoDataAddNothingAndDamagedPiecesEndTheProcess) {
    std::string src = folder / "z.bin";
    Bytes data = randomBytes(3000);
    writeBytes(src, data);
    std::string out = folder / "p";
    startExact(src, out, 2, 2);
    // A later piece holding only its magic adds nothing.
    std::string extra = folder / "q";
    std::filesystem::create_directories(extra);
    Bytes first = readBytes(out + kPathSeparator + "z.bi0001.trn");
    first[8] = 3;  // three pieces
    writeBytes(extra + kPathSeparator + "z.bi0001.trn", first);
    std::filesystem::copy(out + kPathSeparator + "z.bi0002.trn", extra + kPathSeparator + "z.bi0002.trn");
    writeBytes(extra + kPathSeparator + "z.bi0003.trn", Bytes(kPieceMagic, kPieceMagic + 8));
    fresh();
    run(extra + kPathSeparator + "z.bi0001.trn", folder / "j");
    EXPECT_EQ(jobState.jobResult.load(), kResultSuccess);
    EXPECT_EQ(readBytes(folder / "j" + kPathSeparator + "z.bin"), data);
    // A later piece shorter than its magic is damaged: said before anything is written, and nothing is.
    writeBytes(extra + kPathSeparator + "z.bi0003.trn", {'T', 'A'});
    fresh();
    settings.useChecksum = 0;
    run(extra + kPathSeparator + "z.bi0001.trn", folder / "k");
    EXPECT_EQ(jobState.jobResult.load(), kResultCancelled);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0].line4, extra + kPathSeparator + "z.bi0003.trn");
    EXPECT_FALSE(std::filesystem::exists(folder / "k"));
}
