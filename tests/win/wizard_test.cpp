// Drives the setup wizard of the real Tarn.exe: its pages, their order, the sizes its buttons give, and the jobs
// that Finish starts, checked on disk.
#include "wizarddriver.h"

namespace {
using namespace tarndriver;
using namespace wizarddriver;

std::string listing(const std::string& where) {
    std::string all;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((where + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return all;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        all += where + "\\" + name + "\n";
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) all += listing(where + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return all;
}

uint32_t piecesFor(long long bytes, uint32_t kib) {
    return static_cast<uint32_t>((bytes + kib * 1024LL - 1) / (kib * 1024LL));
}

// The steps of a split of report.doc (2,500,000 bytes) through the wizard, a page each.
class WizardSplitTest : public WizardTest {
protected:
    // The split-mode page: the presets, a size typed, a count typed, then back to 899 KiB.
    void sizePageFollowsEveryChoice() {
        EXPECT_TRUE(pageChecked(1102));
        EXPECT_EQ(pageText(1007), "900");
        EXPECT_EQ(pageText(1012), "3");
        EXPECT_FALSE(pageEnabled(1007));
        EXPECT_FALSE(pageEnabled(1012));
        EXPECT_TRUE(sheetButton(kBackButton, true));
        // A preset larger than the file: one piece, the file's own size.
        pageClick(1104);
        EXPECT_EQ(pageText(1012), "1");
        EXPECT_EQ(pageText(1007), "2441");
        // Custom size: the count follows every keystroke.
        pageClick(1011);
        EXPECT_TRUE(pageEnabled(1007));
        EXPECT_FALSE(pageEnabled(1012));
        typeOnPage(1007, "500");
        EXPECT_EQ(pageText(1012), "5");
        // By count: the size follows.
        pageClick(1014);
        EXPECT_FALSE(pageEnabled(1007));
        EXPECT_TRUE(pageEnabled(1012));
        typeOnPage(1012, "4");
        EXPECT_EQ(pageText(1007), "611");
        pageClick(1102);
        EXPECT_EQ(pageText(1007), "899");
        EXPECT_EQ(pageText(1012), "3");
        EXPECT_FALSE(pageEnabled(1007));
    }
    // Opened with the stored "同名文件夹": the folder shown is the folder that will be used.
    void outputPageKeepsTheFolderNamedAfterTheFile() {
        EXPECT_TRUE(pageChecked(1016));
        EXPECT_EQ(pageText(1004), desktop + "\\report");
        EXPECT_TRUE(pageEnabled(1012));
        EXPECT_FALSE(pageEnabled(1004));
        pageClick(1016);
        pageClick(1016);
        EXPECT_EQ(pageText(1004), desktop + "\\report");  // the name appended once
        pageClick(1018);
        EXPECT_TRUE(pageEnabled(1004));
        EXPECT_TRUE(pageEnabled(1003));
        pageClick(1016);
    }
    // The method page: Tarn's own method with a description and one recovery volume.
    void methodPageTakesADescriptionAndOneVolume() {
        EXPECT_TRUE(pageChecked(1019));
        EXPECT_TRUE(pageEnabled(1022));
        EXPECT_TRUE(sheetButton(kFinishButton, true));
        // The batch-file method takes the cipher and the description away; Tarn's own gives them back.
        pageClick(1020);
        EXPECT_FALSE(pageEnabled(1021));
        EXPECT_FALSE(pageEnabled(1022));
        pageClick(1019);
        EXPECT_TRUE(pageEnabled(1021));
        pageClick(1022);
        EXPECT_TRUE(pageEnabled(3002));
        pageSet(3002, "quarterly figures");
        // Recovery volumes from the same list as the main window's: "1个" chosen, none written before.
        EXPECT_TRUE(pageEnabled(1024));
        EXPECT_EQ(sendTo(GetDlgItem(page(), 1024), CB_GETCURSEL), 0);
        sendTo(GetDlgItem(page(), 1024), CB_SETCURSEL, 1);
    }
};

TEST_F(WizardSplitTest, SplitFromTheWizardButtonWithAPresetAndADescription) {
    // Loaded in the window, not named on the command line: the wizard would load a named file afresh.
    std::string bytes = patternBytes(2500000, 11);
    writeFile(path("report.doc"), bytes);
    launch();
    setText(1002, path("report.doc"));
    press(1010);
    ASSERT_TRUE(sheetOpens());
    // A wizard's title bar shows the caption of the page on show.
    EXPECT_EQ(textOf(sheet), "选择文件");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(settingsField(readFile(path("dTarn.dat")), 0), 1u);  // the button turns the start-up wizard on

    // Page 1 carries the loaded file over.
    ASSERT_TRUE(onPage(1));
    EXPECT_EQ(pageText(1002), path("report.doc"));
    EXPECT_TRUE(sheetButton(kNextButton, true));
    EXPECT_TRUE(sheetButton(kBackButton, false));
    next(2);
    EXPECT_EQ(textOf(sheet), "劈分模式");

    sizePageFollowsEveryChoice();
    next(3);

    // Opened with the stored "同名文件夹": the folder shown is the folder that will be used.
    outputPageKeepsTheFolderNamedAfterTheFile();
    next(4);

    methodPageTakesADescriptionAndOneVolume();
    pressSheet(PSBTN_FINISH);
    ASSERT_TRUE(sheetCloses());

    Shown done = answer(1);
    ASSERT_TRUE(done.found);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_TRUE(idleAgain());
    const std::string out = desktop + "\\report\\";
    EXPECT_GT(fileSize(out + "repo0003.trn"), 0);
    EXPECT_EQ(fileSize(out + "repo0004.trn"), -1);
    EXPECT_NE(readFile(out + "repo0001.trn").find("quarterly figures"), std::string::npos);
    EXPECT_EQ(fileSize(out + "UnTarn.bat"), -1);
    EXPECT_GT(fileSize(out + "report.doc.vol00+01.par2"), fileSize(out + "repo0003.trn"));
    EXPECT_EQ(fileSize(out + "report.doc.vol01+01.par2"), -1);
    EXPECT_EQ(selection(1027), 1);  // the main window shows what the wizard chose

    // The set again, from the wizard: page 2 is skipped both ways and the set's description is shown.
    setText(1002, out + "repo0001.trn");
    EXPECT_EQ(text(1005), "quarterly figures");
    press(1010);
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    EXPECT_EQ(pageText(1002), out + "repo0001.trn");
    next(3);
    EXPECT_FALSE(pageEnabled(1012));
    pressSheet(PSBTN_BACK);
    ASSERT_TRUE(onPage(1));
    next(3);
    pageClick(1018);
    CreateDirectoryA((folder + "\\rebuilt").c_str(), nullptr);
    pageSet(1004, folder + "\\rebuilt");
    next(4);
    for (int id : {1019, 1020, 1022, 3002, 1024}) EXPECT_FALSE(pageEnabled(id)) << "control " << id;
    EXPECT_TRUE(pageChecked(1022));
    EXPECT_EQ(pageText(3002), "quarterly figures");
    pressSheet(PSBTN_FINISH);
    ASSERT_TRUE(sheetCloses());
    Shown description = answer(1);
    EXPECT_EQ(description.description, "quarterly figures");
    done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    EXPECT_TRUE(readFile(folder + "\\rebuilt\\report.doc") == bytes);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(WizardTest, EachPresetButtonGivesItsSizeAndCancelStartsNothing) {
    const long long size = 6000000000LL;  // sparse: only its length is read
    makeSparseFile("big.iso", size);
    writeSettings(1, 0);
    start("\"" + path("big.iso") + "\"");
    ASSERT_TRUE(sheetOpens());
    EXPECT_FALSE(IsWindowVisible(window));  // hidden while the wizard runs at start-up
    ASSERT_TRUE(onPage(1));
    EXPECT_EQ(pageText(1002), path("big.iso"));
    next(2);
    const struct {
        int button;
        uint32_t kib;
    } presets[] = {{1102, 899},    {1103, 1399},   {1104, 121999}, {1105, 101999}, {1106, 254999},
                   {1107, 765999}, {1108, 660479}, {1109, 716799}, {1110, 4927999}};
    for (const auto& preset : presets) {
        pageClick(preset.button);
        EXPECT_EQ(pageText(1007), std::to_string(preset.kib)) << "button " << preset.button;
        EXPECT_EQ(pageText(1012), std::to_string(piecesFor(size, preset.kib))) << "button " << preset.button;
        EXPECT_FALSE(pageEnabled(1007));
    }
    pressSheet(PSBTN_CANCEL);
    ASSERT_TRUE(sheetCloses());
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    EXPECT_TRUE(noDialogFor(1000));
    EXPECT_EQ(fileSize(desktop + "\\repo0001.trn"), -1);
    EXPECT_EQ(text(1002), path("big.iso"));
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(WizardTest, FinishWithOnePieceStartsTheJobTheStartButtonWouldRefuse) {
    std::string bytes = patternBytes(100000, 5);
    writeFile(path("small.txt"), bytes);
    writeSettings(1, 0);
    start();
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    // Nothing loaded: neither way is open until a file is.
    EXPECT_EQ(pageText(1002), "");
    EXPECT_TRUE(sheetButton(kNextButton, false));
    EXPECT_TRUE(sheetButton(kBackButton, false));
    pageSet(1002, path("missing.txt"));
    EXPECT_TRUE(sheetButton(kNextButton, false));
    pageSet(1002, path("small.txt"));
    EXPECT_TRUE(sheetButton(kNextButton, true));
    next(2);
    pageClick(1102);
    EXPECT_EQ(pageText(1012), "1");
    EXPECT_EQ(pageText(1007), "97");
    next(3);
    EXPECT_TRUE(pageChecked(1014));
    EXPECT_EQ(pageText(1004), desktop);
    next(4);
    pressSheet(PSBTN_FINISH);
    ASSERT_TRUE(sheetCloses());
    Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    EXPECT_GT(fileSize(desktop + "\\smal0001.trn"), 100000) << listing(folder);
    EXPECT_EQ(fileSize(desktop + "\\smal0002.trn"), -1);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    // Escape saved the settings: the wizard still opens at the next start.
    EXPECT_EQ(settingsField(readFile(path("dTarn.dat")), 0), 1u);
}

TEST_F(WizardTest, RemovableMediaAndTheCipherCarryOverFromTheMainWindow) {
    writeFile(path("report.doc"), patternBytes(2500000, 3));
    launch();
    setText(1002, path("report.doc"));
    select(1017, 1);  // "软盘"
    click(1014);
    setText(1015, "secret");
    press(1010);
    ASSERT_TRUE(sheetOpens());
    next(2);
    next(3);
    // No choice of this page means removable media: none is selected and no folder is made up.
    for (int id : {1014, 1015, 1016, 1017, 1018}) EXPECT_FALSE(pageChecked(id)) << "choice " << id;
    EXPECT_EQ(pageText(1004), "");
    EXPECT_TRUE(pageChecked(1012));
    next(4);
    EXPECT_TRUE(pageChecked(1021));
    EXPECT_TRUE(pageEnabled(1023));
    EXPECT_EQ(pageText(1023), "secret");
    pageClick(1021);
    EXPECT_FALSE(pageEnabled(1023));
    pressSheet(PSBTN_CANCEL);
    ASSERT_TRUE(sheetCloses());
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    EXPECT_TRUE(noDialogFor(500));
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(WizardTest, ChooserOnTheFirstPageLoadsAFileAndOpensTheWayOn) {
    writeFile(path("chosen.bin"), patternBytes(100000, 5));
    writeSettings(1, 0);
    start();
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    EXPECT_EQ(pageText(1002), "");
    EXPECT_TRUE(sheetButton(kNextButton, false));  // nothing loaded yet
    PostMessageA(GetDlgItem(page(), 1001), BM_CLICK, 0, 0);
    ASSERT_TRUE(answerFileChooser(sheet, path("chosen.bin")));
    EXPECT_TRUE(waitFor([&] { return pageText(1002) == path("chosen.bin"); })) << pageText(1002);
    EXPECT_TRUE(sheetButton(kNextButton, true));
    next(2);
    pageClick(1104);  // a preset larger than the file: one piece
    EXPECT_EQ(pageText(1012), "1");
    pressSheet(PSBTN_CANCEL);
    ASSERT_TRUE(sheetCloses());
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    EXPECT_TRUE(noDialogFor(500));  // Cancel starts nothing
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(WizardTest, CloseButtonTurnsTheStartUpWizardOff) {
    writeSettings(1, 2);
    start();
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    PostMessageA(GetDlgItem(page(), 1000), BM_CLICK, 0, 0);
    ASSERT_TRUE(sheetCloses());
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    std::string saved = readFile(path("dTarn.dat"));
    EXPECT_EQ(settingsField(saved, 0), 0u);
    EXPECT_EQ(settingsField(saved, 2), 2u);  // the rest saved as it was
    EXPECT_TRUE(noDialogFor(500));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(), 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};

    // The next start opens the main window alone.
    launch();
    EXPECT_FALSE(sheetOpens(2000));
    EXPECT_TRUE(IsWindowVisible(window));
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}
}  // namespace
