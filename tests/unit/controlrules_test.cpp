// The enable rules, the output-folder rules on a window, and what a start collects from the window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/controlids.h"
#include "engine/controlrules.h"
#include "engine/jobstate.h"
#include "fake_ui.h"
#include "os/os.h"

namespace {
const std::string sep(1, kPathSeparator);

struct ControlRulesTest : ::testing::Test {
    FakeWindow window;
    void SetUp() override {
        resetProcessRecords();
        resetFakeUi();
        for (int id : {kIdStart, kIdPath, kIdOutputFolder, kIdChooseOutput, kIdDescription, kIdUseDescription,
                       kIdEncrypt, kIdKey, kIdUseChecksum, kIdSlider, kIdSize, kIdPresetList, kIdRebuildList,
                       kIdOutputList, kIdCheckChecksum, kIdCount, kIdMemoryList})
            window.add(id);
        window.at(kIdRebuildList).selection = 0;
    }
    uint32_t on(int id) { return window.at(id).enabled; }
};

TEST_F(ControlRulesTest, EnableRulesFollowTheInputItsKindAndTheRebuildMethod) {
    jobState.inputLoaded = 1;
    jobState.isSplit = 1;
    settings.useDescription = 1;
    settings.outputLocation = 2;
    applyControlRules(window.ref());
    for (int id : {kIdStart, kIdSlider, kIdSize, kIdPresetList, kIdRebuildList, kIdOutputList, kIdCheckChecksum,
                   kIdCount, kIdUseChecksum, kIdEncrypt, kIdUseDescription, kIdDescription, kIdOutputFolder,
                   kIdChooseOutput})
        EXPECT_EQ(on(id), 1u) << id;
    EXPECT_EQ(on(kIdKey), 0u);  // not enciphered
    EXPECT_EQ(window.at(kIdStart).tooltip, "开始劈分");
    EXPECT_EQ(window.at(kIdChooseOutput).tooltip, "选择存放被劈分文件的文件夹");

    // The batch-file method: no description, the cipher stays.
    window.at(kIdRebuildList).selection = 1;
    jobState.encryptEnabled = 1;
    applyControlRules(window.ref());
    EXPECT_EQ(on(kIdUseDescription), 0u);
    EXPECT_EQ(on(kIdDescription), 0u);
    EXPECT_EQ(on(kIdEncrypt), 1u);
    EXPECT_EQ(on(kIdKey), 1u);

    // No selection in the method list: those four keep their state.
    window.at(kIdRebuildList).selection = -1;
    window.at(kIdUseDescription).enabled = 1;
    applyControlRules(window.ref());
    EXPECT_EQ(on(kIdUseDescription), 1u);

    // A join: the geometry belongs to the set, the output folder next to the source cannot be edited.
    window.at(kIdRebuildList).selection = 0;
    jobState.isSplit = 0;
    settings.outputLocation = 3;
    applyControlRules(window.ref());
    for (int id : {kIdSlider, kIdSize, kIdPresetList, kIdRebuildList, kIdOutputList, kIdCheckChecksum, kIdCount,
                   kIdUseDescription, kIdDescription, kIdOutputFolder, kIdChooseOutput})
        EXPECT_EQ(on(id), 0u) << id;
    EXPECT_EQ(on(kIdStart), 1u);
    EXPECT_EQ(window.at(kIdStart).tooltip, "开始合并");
    EXPECT_EQ(window.at(kIdPath).tooltip, "要合并的文件");

    // Nothing loaded: nothing that needs an input.
    jobState.inputLoaded = 0;
    applyControlRules(window.ref());
    for (int id : {kIdStart, kIdUseChecksum, kIdEncrypt, kIdKey}) EXPECT_EQ(on(id), 0u) << id;
}

TEST_F(ControlRulesTest, FolderNamedAfterTheFileIsAppendedOnce) {
    settings.outputLocation = 2;
    jobState.isSplit = 1;
    std::strcpy(jobState.sourcePath, ("in" + sep + "report.doc").c_str());
    std::vector<std::vector<std::string>> cases = {
        {"D:" + sep + "out", "D:" + sep + "out" + sep + "report"},
        {"D:" + sep + "out" + sep + "report", "D:" + sep + "out" + sep + "report"},
        {"C:" + sep, "C:" + sep + "report"},  // a short root gets no second separator
    };
    // An empty field (or a window without one, the wizard's first page) starts from the desktop, never from
    // a bare name relative to wherever the program was started.
    char desktop[kTextBufferSize] = "";
    osReadDesktopFolder(desktop);
    cases.push_back({"", std::string(desktop) + sep + "report"});
    for (const auto& c : cases) {
        window.at(kIdOutputFolder).text = c[0];
        window.at(kIdOutputFolder).writes = 0;
        applyOutputFolderRule(window.ref());
        EXPECT_EQ(window.at(kIdOutputFolder).text, c[1]) << c[0];
        EXPECT_EQ(jobState.outputFolder, c[1]);
        EXPECT_EQ(window.at(kIdOutputFolder).writes, c[0] == c[1] ? 0 : 1) << c[0];
    }
    // A join takes the name stored in the set, not the piece's name.
    jobState.isSplit = 0;
    std::strcpy(jobState.sourcePath, ("in" + sep + "repo0002.trn").c_str());
    std::strcpy(jobState.sourceName, "figures.xls");
    window.at(kIdOutputFolder).text = "D:" + sep + "out";
    applyOutputFolderRule(window.ref());
    EXPECT_EQ(window.at(kIdOutputFolder).text, "D:" + sep + "out" + sep + "figures");
}

TEST_F(ControlRulesTest, SameFolderAsTheSourceAndTheOtherLocations) {
    std::strcpy(jobState.sourcePath, ("data" + sep + "in" + sep + "report.doc").c_str());
    settings.outputLocation = 3;
    window.at(kIdOutputFolder).text = "elsewhere";
    applyOutputFolderRule(window.ref());
    EXPECT_EQ(window.at(kIdOutputFolder).text, "data" + sep + "in");
    applyOutputFolderRule(window.ref());
    EXPECT_EQ(window.at(kIdOutputFolder).writes, 1);  // already derived: not written again
    for (uint32_t location : {0u, 1u}) {
        settings.outputLocation = location;
        window.at(kIdOutputFolder).text = "mine";
        applyOutputFolderRule(window.ref());
        EXPECT_EQ(window.at(kIdOutputFolder).text, "mine");
    }
}

TEST_F(ControlRulesTest, CollectTakesTextsListsAndTheChecksumBox) {
    window.at(kIdOutputFolder).text = "out";
    window.at(kIdDescription).text = "notes";
    window.at(kIdKey).text = "secret";
    window.at(kIdPath).text = std::string(700, 'p');  // longer than any buffer: cut, never overrun
    window.at(kIdRebuildList).selection = 1;
    window.at(kIdOutputList).selection = 1;
    window.at(kIdMemoryList).selection = 0;
    window.at(kIdUseChecksum).checked = 1;
    settings.memoryMode = 2;
    collectWindowValues(window.ref());
    EXPECT_STREQ(jobState.outputFolder, "out");
    EXPECT_STREQ(jobState.description, "notes");
    EXPECT_STREQ(jobState.keyText, "secret");
    EXPECT_EQ(std::strlen(jobState.sourcePath), 599u);
    EXPECT_EQ(settings.rebuildMethod, 1u);
    EXPECT_EQ(settings.outputLocation, 1u);  // "软盘" is stored as such
    EXPECT_EQ(settings.memoryMode, 0u);
    EXPECT_EQ(settings.useChecksum, 1u);
    // A list without a selection keeps its setting.
    window.at(kIdMemoryList).selection = -1;
    settings.memoryMode = 2;
    collectWindowValues(window.ref());
    EXPECT_EQ(settings.memoryMode, 2u);
}
}  // namespace
