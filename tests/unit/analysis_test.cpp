// Input analysis: a file to split or a piece set to join, what it shows and what it leaves in the job record.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/analysis.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "fake_ui.h"
#include "jobfiles.h"
#include "os/files.h"
#include "os/os.h"

namespace {
const std::string sep(1, kPathSeparator);

struct AnalysisTest : ::testing::Test {
    TempFolder folder;
    FakeWindow window;
    void SetUp() override {
        resetProcessRecords();
        resetFakeUi();
        settings.outputLocation = 2;
        for (int id : {kIdPath, kIdSizeDisplay, kIdNameDisplay, kIdChecksumDisplay, kIdDescription, kIdUseDescription,
                       kIdEncrypt, kIdStart, kIdOutputFolder, kIdPresetList, kIdSize, kIdSlider, kIdCount,
                       kIdRebuildList, kIdKey, kIdUseChecksum, kIdOutputList, kIdCheckChecksum, kIdChooseOutput})
            window.add(id);
        window.at(kIdPresetList).selection = 1;
        window.at(kIdRebuildList).selection = 0;
    }
    void analyse(const std::string& path, WindowRef w) {
        std::strcpy(jobState.sourcePath, path.c_str());
        jobState.inputLoaded = 0;
        analyseInput(w);
    }
    // A first piece with a header of this version (or another magic), then data.
    std::string headerPiece(const std::string& prefix, uint32_t count, const char* name, const Bytes& data,
                            const char* magic = "TARN1500", uint32_t flag = 1, const char* description = "hello") {
        resetProcessRecords();
        jobState.pieceCount = count;
        settings.useDescription = flag;
        std::strcpy(jobState.description, description);
        std::strcpy(jobState.sourceName, name);
        setWide(jobState.sourceSize, 123456789012ULL);
        jobState.checksum = 4242;
        jobState.creationTime = 1;
        jobState.lastAccessTime = 2;
        jobState.lastWriteTime = 3;
        jobState.fileAttributes = 0x21;
        Bytes bytes(kHeaderSize);
        buildFirstPieceHeader(bytes.data());
        std::memcpy(bytes.data(), magic, 8);
        bytes.insert(bytes.end(), data.begin(), data.end());
        std::string path = prefix + "0001.trn";
        writeBytes(path, bytes);
        resetProcessRecords();
        settings.outputLocation = 2;
        return path;
    }
};
}  // namespace

TEST_F(AnalysisTest, FileToSplitFillsTheWindow) {
    std::string path = folder / "report.doc";
    writeBytes(path, randomBytes(2500000));
    analyse(path, window.ref());
    EXPECT_EQ(jobState.inputLoaded, 1u);
    EXPECT_EQ(jobState.isSplit, 1u);
    EXPECT_EQ(jobState.jobPhase.load(), 0u);
    EXPECT_EQ(window.at(kIdSizeDisplay).text, "2, 500, 000");
    EXPECT_EQ(window.at(kIdSize).text, "899");
    EXPECT_EQ(window.at(kIdSlider).rangeMin, 1u);
    EXPECT_EQ(window.at(kIdSlider).rangeMax, 2441u);
    EXPECT_EQ(settings.sliderMax, 2441u);
    EXPECT_STREQ(jobState.sourceName, "report.doc");
    EXPECT_EQ(window.at(kIdNameDisplay).text, "report.doc");
    EXPECT_EQ(window.at(kIdChecksumDisplay).text, "0");
    EXPECT_EQ(window.at(kIdStart).text, "开始劈分(&S)");
    char desktop[kTextBufferSize] = "";
    osReadDesktopFolder(desktop);
    EXPECT_EQ(window.at(kIdOutputFolder).text, std::string(desktop) + (std::strlen(desktop) > 3 ? sep : "") + "report");
    EXPECT_EQ(window.at(kIdStart).enabled, 1u);
    EXPECT_EQ(window.at(kIdSize).enabled, 1u);
}

TEST_F(AnalysisTest, SliderRangeFollowsTheFileSize) {
    const struct {
        size_t bytes;
        uint32_t max;
    } cases[] = {{1000000, 976}, {500, 1}};
    for (const auto& c : cases) {
        std::string path = folder / ("s" + std::to_string(c.bytes) + ".bin");
        writeBytes(path, randomBytes(c.bytes));
        analyse(path, window.ref());
        EXPECT_EQ(window.at(kIdSlider).rangeMax, c.max);
        jobState.inputLoaded = 0;
    }
}

TEST_F(AnalysisTest, RejectedInputsLoadNothing) {
    std::string empty = folder / "empty.txt";
    writeBytes(empty, {});
    window.at(kIdNameDisplay).text = "无文件";
    for (const std::string& path : {empty, folder / "missing.bin", std::string("abc"), folder.path.string()}) {
        analyse(path, window.ref());
        EXPECT_EQ(jobState.inputLoaded, 0u) << path;
        EXPECT_EQ(jobState.jobPhase.load(), 0u);
    }
    EXPECT_EQ(window.at(kIdSizeDisplay).text, "XXX");
    EXPECT_EQ(window.at(kIdNameDisplay).text, "无文件");
    EXPECT_TRUE(shownMessages.empty());
    // Not while another input is loaded or a job is under way.
    std::string file = folder / "f.bin";
    writeBytes(file, randomBytes(10));
    std::strcpy(jobState.sourcePath, file.c_str());
    jobState.inputLoaded = 1;
    analyseInput(nullptr);
    EXPECT_EQ(wideValue(jobState.sourceSize), 0u);
    jobState.inputLoaded = 0;
    jobState.jobPhase.store(11);
    analyseInput(nullptr);
    EXPECT_EQ(jobState.jobPhase.load(), 11u);
    EXPECT_EQ(wideValue(jobState.sourceSize), 0u);
}

TEST_F(AnalysisTest, AnyPieceLeadsToTheFirstPiecesHeader) {
    std::string prefix = folder / "ABCD";
    headerPiece(prefix, 7, "report.doc", randomBytes(100));
    analyse(prefix + "0007.TRN", window.ref());
    ASSERT_EQ(jobState.inputLoaded, 1u);
    EXPECT_EQ(jobState.isSplit, 0u);
    EXPECT_STREQ(jobState.piecePathPrefix, prefix.c_str());
    EXPECT_EQ(jobState.pieceCount, 7u);
    EXPECT_EQ(wideValue(jobState.sourceSize), 123456789012ULL);
    EXPECT_EQ(jobState.checksum, 4242u);
    EXPECT_EQ(jobState.lastWriteTime, 3u);
    EXPECT_EQ(jobState.fileAttributes, 0x21u);
    EXPECT_EQ(settings.useDescription, 1u);
    EXPECT_EQ(window.at(kIdDescription).text, "hello");
    EXPECT_EQ(window.at(kIdChecksumDisplay).text, "4242");
    EXPECT_EQ(window.at(kIdSizeDisplay).text, "123, 456, 789, 012");
    EXPECT_EQ(window.at(kIdStart).text, "开始合并!(&S)");
    EXPECT_EQ(jobState.pieceSizeKB, 0u) << "652 header bytes and 100 data bytes are under 1 KiB";
    EXPECT_EQ(window.at(kIdSize).enabled, 0u) << "a join cannot change the piece geometry";
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(AnalysisTest, DescriptionFlagAndPieceSizeFromTheFirstPiece) {
    std::string prefix = folder / "repo";
    headerPiece(prefix, 2, "r.doc", randomBytes(900 * 1024), "TARN1500", 0, "secret");
    analyse(prefix + "0002.trn", window.ref());
    EXPECT_EQ(jobState.pieceSizeKB, 900u);
    EXPECT_EQ(settings.useDescription, 0u);
    EXPECT_EQ(window.at(kIdDescription).text, "");
    EXPECT_STREQ(jobState.description, "secret");

    // A first piece over 4 GiB (the DVD preset's 4,927,999 KiB): its size in KiB, not that of its low 32 bits.
    headerPiece(prefix, 2, "r.doc", randomBytes(10));
    // Through the program's own file layer: the Windows C runtime's resize refuses to pass the disk's free space.
    ASSERT_TRUE(OsFile::openUpdate(prefix + "0001.trn").setLength(4927999ULL * 1024 + kHeaderSize));  // sparse
    analyse(prefix + "0002.trn", window.ref());
    EXPECT_EQ(jobState.pieceSizeKB, 4927999u);
}

TEST_F(AnalysisTest, OtherVersionAndHeaderlessSetsAreQuestioned) {
    std::string prefix = folder / "oldv";
    headerPiece(prefix, 3, "o.bin", randomBytes(10), "TARN1400");
    scriptedAnswers = {kAnswerCancel};
    analyse(prefix + "0001.trn", window.ref());
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0].line1, "这些文件被不同版本的Tarn程序劈分.");
    EXPECT_EQ(shownMessages[0].line3, "您仍然希望尝试合并它们吗?");
    EXPECT_EQ(shownMessages[0].mode, kMessageQuestion);
    EXPECT_EQ(jobState.inputLoaded, 0u);
    scriptedAnswers = {kAnswerContinue};
    analyse(prefix + "0001.trn", window.ref());
    EXPECT_EQ(jobState.inputLoaded, 1u);
    EXPECT_EQ(jobState.pieceCount, 3u);
    EXPECT_EQ(jobState.rawJoin, 0u);

    std::string raw = folder / "rawx0001.trn";
    writeBytes(raw, randomBytes(5000));
    resetFakeUi();
    scriptedAnswers = {kAnswerCancel};
    analyse(folder / "rawx0002.trn", window.ref());
    EXPECT_EQ(shownMessages.at(0).line1, "这些文件没有Tarn头部.");
    EXPECT_EQ(jobState.inputLoaded, 0u);
    EXPECT_EQ(jobState.rawJoin, 1u);
    // A first piece shorter than the magic is a set without header too.
    writeBytes(raw, {'T', 'A', 'R', 'N'});
    jobState.checksum = 77;
    jobState.lastWriteTime = 99;
    analyse(raw, window.ref());
    EXPECT_EQ(jobState.inputLoaded, 1u);
    EXPECT_EQ(jobState.rawJoin, 1u);
    EXPECT_STREQ(jobState.sourceName, "rawx");
    EXPECT_EQ(jobState.checksum, 0u) << "nothing of an earlier job survives a raw set";
    EXPECT_EQ(jobState.lastWriteTime, 0u);
    EXPECT_EQ(jobState.pieceSizeKB, 0u);
}

TEST_F(AnalysisTest, MissingFirstPieceAndBarePieceNames) {
    analyse(folder / "gone0004.trn", window.ref());
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(shownMessages[0].line2, "找不到第一个文件!");
    EXPECT_EQ(jobState.inputLoaded, 0u);
    // A bare name of eight characters looks for 0001.trn in the current folder.
    auto here = std::filesystem::current_path();
    std::filesystem::current_path(folder.path);
    headerPiece("", 2, "bare.txt", randomBytes(10));
    analyse("0003.trn", nullptr);
    std::filesystem::current_path(here);
    EXPECT_EQ(jobState.inputLoaded, 1u);
    EXPECT_STREQ(jobState.piecePathPrefix, "");
    EXPECT_STREQ(jobState.sourceName, "bare.txt");
}

TEST_F(AnalysisTest, LongNamesShowTheirLastThirtyCharacters) {
    std::string name40 = "abcdefghijklmnopqrstuvwxyz0123456789.txt";
    std::string path = folder / name40;
    writeBytes(path, randomBytes(10));
    analyse(path, window.ref());
    EXPECT_EQ(window.at(kIdNameDisplay).text, name40.substr(10));
    std::string name29 = "abcdefghijklmnopqrstuvw12.txt";
    writeBytes(folder / name29, randomBytes(10));
    jobState.inputLoaded = 0;
    analyse(folder / name29, window.ref());
    EXPECT_EQ(window.at(kIdNameDisplay).text, name29);
}

TEST_F(AnalysisTest, WithoutAWindowTheOutputGetsASubfolderAndHostileNamesAreTamed) {
    std::string path = folder / "archive.tar.gz";
    writeBytes(path, randomBytes(3000));
    std::strcpy(jobState.outputFolder, "out");
    analyse(path, nullptr);
    EXPECT_EQ(std::string(jobState.outputFolder), "out" + sep + "archive.tar");

    std::string prefix = folder / "evil";
    headerPiece(prefix, 1, "..\\../x/../../passwd", randomBytes(10));
    std::strcpy(jobState.outputFolder, "dest");
    analyse(prefix + "0001.trn", nullptr);
    EXPECT_STREQ(jobState.sourceName, "passwd");
    EXPECT_EQ(std::string(jobState.outputFolder), "dest" + sep + "passwd");
}
