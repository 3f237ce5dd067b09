// Loading and saving dTarn.dat: defaults without a file, partial files, corrections and the 58-byte layout.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "engine/jobstate.h"
#include "jobfiles.h"

namespace {
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A settings file of the eight fields after an arbitrary 8-byte head.
Bytes fileOf(const uint32_t (&fields)[8]) {
    Bytes b(kSettingsFileSize, 0);
    std::memcpy(b.data(), "whatever", 8);  // the magic is never compared
    for (int i = 0; i < 8; i++) put32(b, 8 + 4 * i, fields[i]);
    return b;
}

struct SettingsTest : ::testing::Test {
    TempFolder folder;
    std::string file;
    void SetUp() override {
        resetProcessRecords();
        std::string data = folder / "";
        if (data.back() != kPathSeparator) data += kPathSeparator;
        std::strcpy(dataFolder, data.c_str());
        file = folder / "dTarn.dat";
    }
    void TearDown() override {
        dataFolder[0] = 0;
        resetProcessRecords();
    }
    void loadFrom(const Bytes& bytes) {
        writeBytes(file, bytes);
        loadSettings();
    }
};
}  // namespace

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
    settings = {9, 9, 9, 9, 7, 9, 9, 55};
    loadSettings();
    EXPECT_EQ(settings.wizardAtStart, 0u);
    EXPECT_EQ(settings.rebuildMethod, 0u);
    EXPECT_EQ(settings.outputLocation, 2u);
    EXPECT_EQ(settings.useChecksum, 1u);
    EXPECT_EQ(settings.alwaysOnTop, 0u);
    EXPECT_EQ(settings.memoryMode, 2u);
    EXPECT_EQ(settings.useDescription, 7u);  // these two keep what they held
    EXPECT_EQ(settings.sliderMax, 55u);
}

TEST_F(SettingsTest, EmptyOrHeadOnlyFileLeavesEverythingZero) {
    for (size_t size : {0, 5, 8}) {
        resetProcessRecords();
        loadFrom(Bytes(size, 'T'));
        EXPECT_EQ(settings.outputLocation, 0u) << size;
        EXPECT_EQ(settings.memoryMode, 0u) << size;
        EXPECT_EQ(settings.useChecksum, 0u) << size;
        EXPECT_EQ(settings.wizardAtStart, 0u) << size;
        EXPECT_EQ(settings.sliderMax, 0u) << size;
    }
}

TEST_F(SettingsTest, ShortFileFillsOnlyLeadingBytes) {
    settings = {9, 1, 3, 8, 0x12345678, 1, 1, 77};
    Bytes b(8 + 16 + 2, 0);
    put32(b, 8, 1);
    put32(b, 12, 0);
    put32(b, 16, 1);
    put32(b, 20, 0);
    b[24] = 0xCD;  // the low half of useDescription only
    b[25] = 0xAB;
    loadFrom(b);
    EXPECT_EQ(settings.wizardAtStart, 1u);
    EXPECT_EQ(settings.rebuildMethod, 0u);
    EXPECT_EQ(settings.outputLocation, 1u);
    EXPECT_EQ(settings.useChecksum, 0u);
    EXPECT_EQ(settings.useDescription, 0x1234ABCDu);
    EXPECT_EQ(settings.alwaysOnTop, 1u);
    EXPECT_EQ(settings.memoryMode, 1u);
    EXPECT_EQ(settings.sliderMax, 77u);
}

TEST_F(SettingsTest, ChoiceFieldsAreCorrected) {
    loadFrom(fileOf({5, 2, 7, 5, 3, 4, 3, 10000}));
    EXPECT_EQ(settings.wizardAtStart, 5u);  // taken as it is
    EXPECT_EQ(settings.rebuildMethod, 0u);
    EXPECT_EQ(settings.outputLocation, 2u);
    EXPECT_EQ(settings.useChecksum, 5u);
    EXPECT_EQ(settings.useDescription, 3u);
    EXPECT_EQ(settings.alwaysOnTop, 4u);
    EXPECT_EQ(settings.memoryMode, 2u);
    EXPECT_EQ(settings.sliderMax, 10000u);

    loadFrom(fileOf({0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0, 0xFFFFFFFF, 0}));  // -1: a list without a selection
    EXPECT_EQ(settings.rebuildMethod, 0u);
    EXPECT_EQ(settings.outputLocation, 2u);
    EXPECT_EQ(settings.memoryMode, 2u);

    loadFrom(fileOf({0, 0, 4, 0, 0, 0, 0, 0}));  // just past the largest choice
    EXPECT_EQ(settings.outputLocation, 2u);
    loadFrom(fileOf({0, 1, 3, 0, 0, 0, 1, 0}));  // the largest valid choices stay
    EXPECT_EQ(settings.rebuildMethod, 1u);
    EXPECT_EQ(settings.outputLocation, 3u);
    EXPECT_EQ(settings.memoryMode, 1u);
    loadFrom(fileOf({0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(settings.outputLocation, 0u);
    EXPECT_EQ(settings.memoryMode, 0u);
}

TEST_F(SettingsTest, SaveWritesFiftyEightBytesAndLoadsBack) {
    writeBytes(file, Bytes(100, 0xEE));  // replaced, not overwritten in place
    const SettingsRecord saved{1, 1, 3, 1, 0x00010001, 1, 1, 0x01020304, 10, 1};
    settings = saved;
    saveSettings();
    Bytes b = readBytes(file);
    ASSERT_EQ(b.size(), 58u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "TARN1500");
    const uint8_t slider[4] = {4, 3, 2, 1};
    EXPECT_TRUE(std::equal(slider, slider + 4, b.begin() + 36));
    EXPECT_EQ(b[24], 1);
    EXPECT_EQ(b[26], 1);
    EXPECT_EQ(b[16], 3);
    // The recovery choice where earlier builds keep reserved bytes they neither read nor write (but as zeros).
    EXPECT_EQ(b[40], 10);
    EXPECT_EQ(b[44], 1);
    for (size_t i = 48; i < 58; i++) EXPECT_EQ(b[i], 0) << i;

    resetProcessRecords();
    loadSettings();
    EXPECT_EQ(std::memcmp(&settings, &saved, sizeof saved), 0);

    // An earlier build's file (zeros there) means no volumes; bytes no build writes mean none either.
    for (const std::pair<uint32_t, uint32_t>& reserved : std::vector<std::pair<uint32_t, uint32_t>>{
             {0, 0}, {32769, 0}, {101, 1}, {5, 2}, {0xEEEEEEEE, 0xEEEEEEEE}}) {
        b[40] = b[44] = 0;
        for (int k = 0; k < 4; k++) {
            b[40 + k] = static_cast<uint8_t>(reserved.first >> (8 * k));
            b[44 + k] = static_cast<uint8_t>(reserved.second >> (8 * k));
        }
        writeBytes(file, b);
        loadSettings();
        EXPECT_EQ(settings.recoveryCount, 0u) << reserved.first;
        EXPECT_EQ(settings.recoveryPercent, 0u) << reserved.second;
        EXPECT_EQ(settings.memoryMode, 1u);
    }
}

TEST_F(SettingsTest, SaveIntoAMissingFolderIsSilent) {
    std::string gone = folder / "absent";
    gone += kPathSeparator;
    std::strcpy(dataFolder, gone.c_str());
    settings.useChecksum = 1;
    saveSettings();
    EXPECT_EQ(settings.useChecksum, 1u);
    EXPECT_FALSE(std::filesystem::exists(folder.path / "absent"));
}
