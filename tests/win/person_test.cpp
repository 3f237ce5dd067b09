// Tarn.exe driven the way a person drives it: keys and typed text through the input queue, clicks, the focus
// read back after each key, the wizard left by each of its buttons and the main window compared afterwards.
#include "persondriver.h"
#include "wizarddriver.h"

#include <cstring>

namespace {
using namespace tarndriver;
using namespace persondriver;
using namespace wizarddriver;

constexpr int kWizardClose = 1000;

std::wstring wide(const std::string& gbk) {
    std::wstring out(gbk.size() + 1, L'\0');
    int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), &out[0],
                                static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

// A header set of two pieces for name, its data split in two halves.
void writeHeaderSet(const std::string& prefix, const std::string& name, const std::string& data) {
    std::string header(652, '\0');
    std::memcpy(&header[0], "TARN1500", 8);
    header[8] = 2;
    std::memcpy(&header[314], name.data(), name.size());
    uint64_t size = data.size();
    std::memcpy(&header[614], &size, 8);
    uint32_t sum = checksumOf(data);
    std::memcpy(&header[622], &sum, 4);
    header[650] = 0x20;
    size_t half = data.size() / 2;
    writeFile(prefix + "0001.trn", header + data.substr(0, half));
    writeFile(prefix + "0002.trn", std::string("TARN1500") + data.substr(half));
}

class PersonTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        // The settings at their defaults, without the start-up wizard.
        writeFile(path("dTarn.dat"), settingsBytes({0, 0, 2, 1, 0, 0, 2, 0}));
    }
    // Clicks into a field and waits until it has the focus.
    bool clickInto(int id) {
        clickAt(item(id));
        return waitFor([&] { return focusOf(window) == item(id); }, 5000);
    }
    bool focusIs(HWND owner, int id) { return waitFor([&] { return idOf(focusOf(owner)) == id; }, 5000); }
    // Selects a field's whole text with the keyboard and types over it.
    void typeOver(const std::wstring& text) {
        pressKey(VK_END);
        pressKey(VK_HOME, true);
        typeText(text);
    }
    // Walks a dialog with Tab and back with Shift+Tab: every key must move the focus, and back must retrace.
    void expectTabCycle(HWND owner, int steps) {
        std::vector<HWND> forward{focusOf(owner)};
        for (int i = 0; i < steps; i++) {
            HWND before = forward.back();
            pressKey(VK_TAB);
            ASSERT_TRUE(waitFor([&] { return focusOf(owner) != before; }, 5000)) << "Tab did not move the focus";
            forward.push_back(focusOf(owner));
        }
        for (int i = steps - 1; i >= 0; i--) {
            pressKey(VK_TAB, true);
            ASSERT_TRUE(waitFor([&] { return focusOf(owner) == forward[static_cast<size_t>(i)]; }, 5000))
                << "Shift+Tab step " << i;
        }
    }
};

TEST_F(PersonTest, TabAndShiftTabWalkEveryEnabledControlInTemplateOrder) {
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1002));
    std::vector<int> order = tabOrder(window);
    ASSERT_GE(order.size(), 10u);
    size_t at = 0;
    while (order[at] != 1002) at++;
    std::string listed;
    for (int id : order) listed += std::to_string(id) + " ";
    SCOPED_TRACE("tab order: " + listed);
    for (size_t i = 1; i <= order.size(); i++) {
        pressKey(VK_TAB);
        int expected = order[(at + i) % order.size()];
        ASSERT_TRUE(focusIs(window, expected)) << "Tab " << i << " went to " << idOf(focusOf(window));
    }
    for (size_t i = 1; i <= 3; i++) {
        pressKey(VK_TAB, true);
        int expected = order[(at + order.size() - i) % order.size()];
        ASSERT_TRUE(focusIs(window, expected)) << "Shift+Tab " << i;
    }
    // Two Tabs from the file field, then typing: the text goes where the focus went, not into the file field.
    ASSERT_TRUE(clickInto(1002));
    pressKey(VK_TAB);
    pressKey(VK_TAB);
    ASSERT_TRUE(focusIs(window, order[(at + 2) % order.size()]));
    typeText(L"x");
    Sleep(300);
    EXPECT_EQ(text(1002), path("report.doc"));
}

TEST_F(PersonTest, EnterStartsOnlyWhileTheStartButtonIsEnabled) {
    launch();
    ASSERT_TRUE(bringToFront(window));
    ASSERT_FALSE(enabled(1));
    ASSERT_TRUE(clickInto(1002));
    pressKey(VK_RETURN);
    EXPECT_TRUE(noDialogFor(1500)) << "Enter on a disabled start does nothing";
    EXPECT_TRUE(IsWindow(window));
    TerminateProcess(process.hProcess, 0);

    loadReport();
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1007));
    pressKey(VK_RETURN);
    Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0003.trn"), 8 + 832928);
}

TEST_F(PersonTest, TabWorksInTheWizardPagesAndTheAboutDialog) {
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    ASSERT_TRUE(bringToFront(sheet));
    ASSERT_NO_FATAL_FAILURE(expectTabCycle(sheet, 3));
    pressSheet(PSBTN_NEXT);
    ASSERT_TRUE(onPage(2));
    ASSERT_NO_FATAL_FAILURE(expectTabCycle(sheet, 3));
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(sheetCloses());
    ASSERT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));

    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1000));
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] {
        about = find("#32770", nullptr);
        return about != nullptr && GetWindow(about, GW_OWNER) == window;
    }));
    ASSERT_TRUE(bringToFront(about));
    ASSERT_NO_FATAL_FAILURE(expectTabCycle(about, 3));
    // Escape closes it as "确定" does, and goes no further: the main window stays.
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(noDialogFor(500));
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(PersonTest, ChineseTypedIntoTheFieldsArrivesWhole) {
    loadReport();
    std::string chinese = "报告.doc";
    writeFile(path(chinese), patternBytes(5000, 3));
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1016));
    ASSERT_TRUE(waitFor([&] { return enabled(1005); }));
    ASSERT_TRUE(clickInto(1005));
    typeText(wide("季度报告说明"));
    EXPECT_TRUE(waitFor([&] { return text(1005) == "季度报告说明"; })) << text(1005);
    clickAt(item(1014));
    ASSERT_TRUE(waitFor([&] { return enabled(1015); }));
    ASSERT_TRUE(clickInto(1015));
    typeText(wide("密钥"));
    EXPECT_TRUE(waitFor([&] { return text(1015) == "密钥"; })) << text(1015);
    // The file field: a Chinese name typed in full is loaded.
    ASSERT_TRUE(clickInto(1002));
    typeOver(wide(path(chinese)));
    EXPECT_TRUE(waitFor([&] { return text(1020) == chinese; })) << text(1020) << " / " << text(1002);
    EXPECT_EQ(text(1013), "5, 000");
}

TEST_F(PersonTest, TheOutputFieldCanBeTypedAndGetsItsSubfolderWhenLeft) {
    loadReport();
    ASSERT_EQ(selection(1017), 2);  // "同名文件夹"
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1004));
    pressKey(VK_END);
    pressKey(VK_HOME, true);
    std::string typed;
    for (char c : std::string("D:\\out")) {
        typeText(std::wstring(1, static_cast<wchar_t>(c)));
        typed += c;
        ASSERT_TRUE(waitFor([&] { return text(1004) == typed; }, 5000)) << text(1004) << " after " << typed;
    }
    pressKey(VK_TAB);
    EXPECT_TRUE(waitFor([&] { return text(1004) == "D:\\out\\report"; })) << text(1004);
    // Back in and out again: the name is added once.
    pressKey(VK_TAB, true);
    ASSERT_TRUE(focusIs(window, 1004));
    pressKey(VK_TAB);
    Sleep(300);
    EXPECT_EQ(text(1004), "D:\\out\\report");
}

TEST_F(PersonTest, ATypedFolderNotYetLeftGetsItsSubfolderAtTheStart) {
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1004));
    typeOver(wide(folder));
    pressKey(VK_RETURN);  // the start, straight from the field
    Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_EQ(fileSize(folder + "\\report\\repo0001.trn"), 652 + 833536);
}

TEST_F(PersonTest, ClosingTheWizardAfterChoosingAFileShowsThatFileAndStartsIt) {
    std::string bytes = patternBytes(2500000, 11);
    writeFile(path("report.doc"), bytes);
    launch();
    ASSERT_EQ(text(1002), "未选中文件");
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    pageSet(1002, path("report.doc"));
    ASSERT_TRUE(sheetButton(0x3024, true));
    pageClick(kWizardClose);
    ASSERT_TRUE(sheetCloses());
    ASSERT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    EXPECT_EQ(text(1002), path("report.doc"));
    EXPECT_EQ(text(1020), "report.doc");
    EXPECT_EQ(text(1013), "2, 500, 000");
    EXPECT_EQ(text(1), "开始劈分(&S)");
    EXPECT_TRUE(enabled(1));
    EXPECT_TRUE(enabled(1007));
    // What the window shows is what a start acts on: count 3 typed, then the start.
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1012));
    typeOver(L"3");
    ASSERT_TRUE(waitFor([&] { return text(1007) == "814"; })) << text(1007);
    clickAt(item(1));
    Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0003.trn"), 8 + 832928);
    EXPECT_EQ(fileSize(desktop + "\\未选0001.trn"), -1);
}

TEST_F(PersonTest, FinishOfAJoinShowsTheJoinThatRuns) {
    std::string data = patternBytes(300000, 5);
    CreateDirectoryA(path("set").c_str(), nullptr);
    writeHeaderSet(path("set\\pict"), "picture.bmp", data);
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    pageSet(1002, path("set\\pict0002.trn"));
    ASSERT_TRUE(sheetButton(0x3024, true));
    next(3);
    next(4);
    pressSheet(PSBTN_FINISH);
    ASSERT_TRUE(sheetCloses());
    EXPECT_TRUE(waitFor([&] { return text(1) == "开始合并!(&S)"; })) << text(1);
    EXPECT_EQ(text(1002), path("set\\pict0002.trn"));
    EXPECT_EQ(text(1020), "picture.bmp");
    Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_EQ(readFile(desktop + "\\picture\\picture.bmp"), data);
}

TEST_F(PersonTest, CancellingTheWizardShowsTheSetItLoaded) {
    CreateDirectoryA(path("set").c_str(), nullptr);
    writeHeaderSet(path("set\\pict"), "picture.bmp", patternBytes(300000, 5));
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    pageSet(1002, path("set\\pict0001.trn"));
    ASSERT_TRUE(sheetButton(0x3024, true));
    pressSheet(PSBTN_CANCEL);
    ASSERT_TRUE(sheetCloses());
    ASSERT_TRUE(waitFor([&] { return IsWindowVisible(window) != 0; }));
    EXPECT_EQ(text(1002), path("set\\pict0001.trn"));
    EXPECT_EQ(text(1), "开始合并!(&S)");
    EXPECT_EQ(text(1020), "picture.bmp");
    EXPECT_FALSE(enabled(1007)) << "a join has no sizes to set";
}

TEST_F(PersonTest, TheWizardKeepsTheFileChosenInTheWindowOverTheCommandLine) {
    std::string set = path("pict0001.trn");
    writeHeaderSet(path("pict"), "picture.bmp", patternBytes(3000, 5));
    writeFile(path("other.bin"), patternBytes(9000, 2));
    launch("\"" + set + "\"");
    ASSERT_EQ(text(1), "开始合并!(&S)");
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1002));
    typeOver(wide(path("other.bin")));
    ASSERT_TRUE(waitFor([&] { return text(1020) == "other.bin"; }));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    ASSERT_TRUE(onPage(1));
    EXPECT_EQ(pageText(1002), path("other.bin"));
    EXPECT_TRUE(noDialogFor(1000)) << "no question about the command line's set";
}

TEST_F(PersonTest, ClickingIntoTheFileFieldKeepsTheUsersChoices) {
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1004));
    typeOver(L"D:\\mine");
    pressKey(VK_TAB);
    ASSERT_TRUE(waitFor([&] { return text(1004) == "D:\\mine\\report"; })) << text(1004);
    ASSERT_TRUE(clickInto(1007));
    typeOver(L"100");
    ASSERT_TRUE(waitFor([&] { return text(1012) == "25"; })) << text(1012);
    ASSERT_TRUE(clickInto(1002));  // into the file field and out again
    ASSERT_TRUE(clickInto(1007));
    Sleep(300);
    EXPECT_EQ(text(1004), "D:\\mine\\report");
    EXPECT_EQ(text(1007), "100");
    EXPECT_EQ(text(1012), "25");
}

TEST_F(PersonTest, QuestionsComeToTheFrontWithTheirPathReadable) {
    std::string deep = folder;
    for (int i = 0; i < 3; i++) {
        deep += "\\a-rather-long-folder-name-" + std::to_string(i);
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    loadReport();
    CreateDirectoryA((deep + "\\report").c_str(), nullptr);
    writeFile(deep + "\\report\\repo0001.trn", "theirs");
    ASSERT_TRUE(bringToFront(window));
    ASSERT_TRUE(clickInto(1004));
    typeOver(wide(deep));
    clickAt(item(1));
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor([&] { return (dialog = find("#32770", kDialogCaption)) != nullptr; }));
    // Raised by the worker thread, the question is in front with the focus on its first button.
    EXPECT_TRUE(waitFor([&] { return GetForegroundWindow() == dialog; }, 5000));
    EXPECT_TRUE(waitFor([&] { return idOf(focusOf(dialog)) == 1; }, 5000)) << idOf(focusOf(dialog));
    HWND line4 = GetDlgItem(dialog, 853);
    EXPECT_EQ(textOf(line4), deep + "\\report\\repo0001.trn");
    EXPECT_TRUE(GetWindowLongA(line4, GWL_STYLE) & SS_PATHELLIPSIS) << "the file name end stays readable";
    pressKey(VK_ESCAPE);  // 取消
    EXPECT_TRUE(idleAgain());
    EXPECT_EQ(readFile(deep + "\\report\\repo0001.trn"), "theirs");
}

TEST_F(PersonTest, TheWizardOpensCentred) {
    loadReport();
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(1010));
    ASSERT_TRUE(sheetOpens());
    RECT sheetRect, mainRect;
    GetWindowRect(sheet, &sheetRect);
    GetWindowRect(window, &mainRect);
    // Centred on the main window it replaces (hidden now, but its place is known).
    EXPECT_NEAR((sheetRect.left + sheetRect.right) / 2, (mainRect.left + mainRect.right) / 2, 4);
    EXPECT_NEAR((sheetRect.top + sheetRect.bottom) / 2, (mainRect.top + mainRect.bottom) / 2, 4);
    EXPECT_GT(sheetRect.left, 0);
}

TEST_F(PersonTest, TheManifestNamesTheSupportedSystems) {
    HMODULE program = LoadLibraryExA(path("Tarn.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                         SizeofResource(program, found));
    FreeLibrary(program);
    for (const char* id : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(manifest.find(id), std::string::npos) << id;
}
}  // namespace
