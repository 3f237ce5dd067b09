// Drives the real main window of Tarn.exe from another process: reads its controls, types, selects, presses,
// answers its message dialogs, then checks the files on disk and the exit code.
#include "tarndriver.h"

namespace {
using namespace tarndriver;

class MainWindowTest : public TarnWindowTest {};

TEST_F(MainWindowTest, StartsEmptyWithOnlyTheInputIndependentControlsUsable) {
    launch();
    EXPECT_EQ(text(1002), "未选中文件");
    EXPECT_EQ(text(1013), "XXX");
    EXPECT_EQ(text(1020), "无文件");
    EXPECT_EQ(text(1004), desktop);
    EXPECT_EQ(text(1012), "2");
    EXPECT_EQ(text(1007), "900");
    EXPECT_EQ(selection(1006), 1);
    EXPECT_EQ(selection(1017), 2);  // the defaults without a settings file
    EXPECT_EQ(selection(1025), 2);
    EXPECT_EQ(send(1006, CB_GETCOUNT), 19);
    EXPECT_EQ(send(1009, CB_GETCOUNT), 2);
    for (int id : {1, 1016, 1005, 1014, 1015, 1006, 1012, 1007, 1024, 1009, 1017, 1004, 1003, 1011, 1019})
        EXPECT_FALSE(enabled(id)) << "control " << id;
    for (int id : {1002, 1025, 1001, 1026, 3, 1000, 1010, 2}) EXPECT_TRUE(enabled(id)) << "control " << id;
    EXPECT_FALSE(visible(1021));
    HWND tips = find("tooltips_class32", nullptr);
    if (tips == nullptr) {  // a tooltip window that has shown nothing yet may not count as visible
        DWORD pid = process.dwProcessId;
        for (HWND w = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid) tips = w;
        }
    }
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 23);  // the recovery volumes list has one too
    EXPECT_NE(GetWindowLongA(tips, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // The system-menu item toggles the stacking; twice is back to normal.
    PostMessageA(window, WM_SYSCOMMAND, 5000, 0);
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
    PostMessageA(window, WM_SYSCOMMAND, 5000, 0);
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }));

    // Escape saves what the window holds, and the program ends.
    select(1025, 0);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    std::string saved = readFile(path("dTarn.dat"));
    ASSERT_EQ(saved.size(), 58u);
    EXPECT_EQ(saved.substr(0, 8), "TARN1500");
    EXPECT_EQ(settingsField(saved, 6), 0u);  // memory mode "最大"
    EXPECT_EQ(settingsField(saved, 2), 2u);  // output location kept
}

TEST_F(MainWindowTest, CloseBoxEndsWithoutSaving) {
    launch();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(), 0u);
    EXPECT_EQ(fileSize(path("dTarn.dat")), -1);
}

TEST_F(MainWindowTest, StoredSettingsAreShownAndApplied) {
    // On top, output "与来源相同", batch-file rebuild, no checksum, memory "物理内存".
    writeFile(path("dTarn.dat"), settingsBytes({0, 1, 3, 0, 0, 1, 1, 0}));
    std::string bytes = patternBytes(300000, 5);
    writeFile(path("data.bin"), bytes);
    launch("\"" + path("data.bin") + "\"");
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(selection(1009), 1);
    EXPECT_EQ(selection(1017), 3);
    EXPECT_EQ(selection(1025), 1);
    EXPECT_EQ(send(1011, BM_GETCHECK), BST_UNCHECKED);
    // Output next to the source: the field shows the source's folder and cannot be changed.
    EXPECT_EQ(text(1004), folder);
    EXPECT_FALSE(enabled(1004));
    EXPECT_FALSE(enabled(1003));
    // The first use of the toggle after an on-top start takes the window off the top.
    PostMessageA(window, WM_SYSCOMMAND, 5000, 0);
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }));
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    std::string saved = readFile(path("dTarn.dat"));
    ASSERT_EQ(saved.size(), 58u);
    EXPECT_EQ(settingsField(saved, 5), 0u);  // alwaysOnTop now off
    EXPECT_EQ(settingsField(saved, 2), 3u);
}

TEST_F(MainWindowTest, TypicalRequestSplitsThenJoinsWithItsDescription) {
    std::string bytes = loadReport();
    EXPECT_EQ(text(1013), "2, 500, 000");
    EXPECT_EQ(text(1020), "report.doc");
    EXPECT_EQ(text(1012), "3");
    EXPECT_EQ(text(1007), "899");  // the preset; the pieces are evened out to 814 KiB
    EXPECT_EQ(send(1024, TBM_GETRANGEMIN), 1);
    EXPECT_EQ(send(1024, TBM_GETRANGEMAX), 2441);
    EXPECT_EQ(text(1004), desktop + "\\report");
    EXPECT_EQ(text(1), "开始劈分(&S)");
    for (int id : {1, 1016, 1014, 1006, 1012, 1007, 1024, 1009, 1017, 1004, 1003, 1011, 1019})
        EXPECT_TRUE(enabled(id)) << "control " << id;
    EXPECT_FALSE(enabled(1005));
    EXPECT_FALSE(enabled(1015));

    click(1016);
    EXPECT_TRUE(enabled(1005));
    setText(1005, "quarterly figures");
    press(1);
    Shown done = answer(1);
    ASSERT_TRUE(done.found);
    EXPECT_EQ(done.lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    const std::string out = desktop + "\\report\\";
    EXPECT_EQ(fileSize(out + "repo0001.trn"), 652 + 833536);
    EXPECT_EQ(fileSize(out + "repo0002.trn"), 8 + 833536);
    EXPECT_EQ(fileSize(out + "repo0003.trn"), 8 + 832928);
    EXPECT_EQ(fileSize(out + "repo0004.trn"), -1);
    // After the job the controls wait for the next input.
    EXPECT_FALSE(enabled(1));
    EXPECT_FALSE(enabled(1007));

    // Joining from the second piece: the first piece's header is read and the description shown.
    setText(1002, out + "repo0002.trn");
    EXPECT_EQ(text(1020), "report.doc");
    EXPECT_EQ(text(1), "开始合并!(&S)");
    EXPECT_TRUE(enabled(1));
    EXPECT_FALSE(enabled(1007));
    EXPECT_FALSE(enabled(1019));
    EXPECT_EQ(text(1005), "quarterly figures");
    // Rebuild beside the original's folder, in a folder named after it: the name is added when the job starts
    // (or when the field is left), never while it is typed.
    setText(1004, folder);
    EXPECT_EQ(text(1004), folder);
    press(1);
    Shown description = answer(1);
    ASSERT_TRUE(description.found);
    EXPECT_EQ(description.description, "quarterly figures");
    done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    EXPECT_TRUE(readFile(folder + "\\report\\report.doc") == bytes);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(MainWindowTest, SizeCountAndSliderFollowEachOtherWithoutLoopingBack) {
    loadReport();
    // Every keystroke recomputes the count; the size field keeps exactly what was typed.
    const char* counts[] = {"489", "49", "5"};
    int step = 0;
    type(1007, "500", [&](const std::string& typed) {
        EXPECT_EQ(text(1007), typed);
        EXPECT_EQ(text(1012), counts[step++]) << "after typing " << typed;
    });
    type(1012, "4", [&](const std::string&) { EXPECT_EQ(text(1007), "611"); });
    EXPECT_EQ(text(1012), "4");
    send(1024, TBM_SETPOS, TRUE, 10);
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 10), reinterpret_cast<LPARAM>(item(1024)),
                        SMTO_BLOCK, kWaitLimitMs, &ignored);
    EXPECT_EQ(text(1012), "10");
    EXPECT_EQ(text(1007), "245");
    // A preset larger than the file: one piece of the file's size, which the start refuses.
    select(1006, 18);
    EXPECT_EQ(text(1012), "1");
    EXPECT_EQ(text(1007), "2441");
    press(1);
    Shown refused = answer(1);
    EXPECT_EQ(refused.lines[1], "必须至少两块");
    EXPECT_TRUE(enabled(1));
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0001.trn"), -1);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(MainWindowTest, OutputLocationsAndRebuildMethodRules) {
    loadReport();
    select(1017, 3);
    EXPECT_EQ(text(1004), folder);
    EXPECT_FALSE(enabled(1004));
    EXPECT_FALSE(enabled(1003));
    select(1017, 0);
    EXPECT_TRUE(enabled(1004));
    setText(1004, desktop);
    select(1017, 2);
    EXPECT_EQ(text(1004), desktop + "\\report");
    select(1017, 2);  // applied again, the name is not appended twice
    EXPECT_EQ(text(1004), desktop + "\\report");

    // The batch-file method has no description, but may still be enciphered.
    select(1009, 1);
    EXPECT_FALSE(enabled(1016));
    EXPECT_FALSE(enabled(1005));
    EXPECT_TRUE(enabled(1014));
    EXPECT_FALSE(enabled(1015));
    click(1014);
    EXPECT_TRUE(enabled(1015));
    select(1009, 0);
    EXPECT_TRUE(enabled(1016));
    EXPECT_TRUE(enabled(1015));

    // A split with the script: its pieces carry no header and the script rebuilds the file.
    click(1014);
    select(1009, 1);
    press(1);
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0001.trn"), 833536);
    EXPECT_GT(fileSize(desktop + "\\report\\UnTarn.bat"), 0);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    EXPECT_EQ(settingsField(readFile(path("dTarn.dat")), 1), 1u);  // rebuild method saved
}

TEST_F(MainWindowTest, ChecksumMismatchIsReportedAndBecomesTheExitCode) {
    loadReport();
    press(1);
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    const std::string piece = desktop + "\\report\\repo0002.trn";
    std::string damaged = readFile(piece);
    ASSERT_GT(damaged.size(), 1000u);
    damaged[1000] = static_cast<char>(damaged[1000] ^ 0x5A);
    writeFile(piece, damaged);
    setText(1002, piece);
    setText(1004, folder);
    press(1);
    Shown result = answer(1);
    EXPECT_EQ(result.lines[1], "CRC失败");
    // The data stays for a look, under a name that never passes for the file; the message names it.
    EXPECT_EQ(result.lines[3], folder + "\\report\\report (CRC失败).doc");
    ASSERT_TRUE(idleAgain());
    EXPECT_EQ(fileSize(folder + "\\report\\report (CRC失败).doc"), 2500000);
    EXPECT_EQ(fileSize(folder + "\\report\\report.doc"), -1);
    pressEscape();
    EXPECT_EQ(exitCode(), 1u);
}

TEST_F(MainWindowTest, CancelledOverwriteLeavesThePiecesAndReportsNothing) {
    loadReport();
    press(1);
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    const std::string first = desktop + "\\report\\repo0001.trn";
    std::string before = readFile(first);
    // Loading the file again and starting again meets the existing first piece.
    setText(1002, path("report.doc"));
    EXPECT_TRUE(enabled(1));
    press(1);
    Shown question = answer(2);
    ASSERT_TRUE(question.found);
    EXPECT_EQ(question.lines[0], "文件已存在.");
    EXPECT_EQ(question.lines[1], "覆盖它吗?");
    EXPECT_EQ(question.lines[3], first);
    ASSERT_TRUE(idleAgain());
    EXPECT_TRUE(noDialogFor(1500));
    EXPECT_TRUE(readFile(first) == before);
    pressEscape();
    EXPECT_EQ(exitCode(), 99u);
}

TEST_F(MainWindowTest, RejectedInputLeavesTheJobControlsDisabled) {
    loadReport();
    EXPECT_TRUE(enabled(1));
    setText(1002, path("missing.doc"));
    EXPECT_EQ(text(1013), "XXX");
    for (int id : {1, 1007, 1012, 1024, 1006, 1019, 1004}) EXPECT_FALSE(enabled(id)) << "control " << id;
    // A piece of a set whose first piece is missing is refused with a message, shown while the field is written.
    std::thread writer([&] { setText(1002, path("gone0002.trn")); });
    Shown missing = answer(1);
    writer.join();
    EXPECT_EQ(missing.lines[1], "找不到第一个文件!");
    EXPECT_FALSE(enabled(1));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(MainWindowTest, RemovableOutputAsksPerPieceWhileTheWindowStaysResponsive) {
    loadReport();
    select(1017, 1);  // "软盘": the pieces go to removable media, one at a time
    EXPECT_EQ(text(1004), desktop + "\\report");
    press(1);
    HWND dialog = nullptr;
    ASSERT_TRUE(waitFor([&] { return (dialog = find("#32770", kDialogCaption)) != nullptr; }));
    // The job waits at piece 2 for the user: the window answers and shows the job's state meanwhile.
    EXPECT_EQ(textOf(GetDlgItem(dialog, 851)), "可移动媒体就绪了吗?");
    EXPECT_EQ(textOf(window), "正在劈分文件2");
    EXPECT_TRUE(visible(1021));
    EXPECT_FALSE(visible(3));
    EXPECT_FALSE(visible(1026));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window);
    for (int id : {1, 1007, 1012, 1006, 1017, 1004}) EXPECT_FALSE(enabled(id)) << "control " << id;
    // A file chosen while the job runs changes nothing.
    setText(1002, path("other.doc"));
    EXPECT_EQ(text(1020), "report.doc");
    EXPECT_EQ(answer(1).lines[1], "可移动媒体就绪了吗?");
    EXPECT_EQ(answer(1).lines[1], "可移动媒体就绪了吗?");  // and again before piece 3
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0003.trn"), 8 + 832928);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    EXPECT_EQ(settingsField(readFile(path("dTarn.dat")), 2), 1u);  // stored as "软盘"
}

TEST_F(MainWindowTest, FileChooserLoadsTheChosenFile) {
    std::string bytes = patternBytes(100000, 3);
    writeFile(path("chosen.bin"), bytes);
    launch();
    press(1001);
    std::string chosen = path("chosen.bin");
    ASSERT_TRUE(answerFileChooser(window, chosen));
    ASSERT_TRUE(waitFor([&] { return text(1020) == "chosen.bin"; }));
    EXPECT_EQ(text(1002), chosen);
    EXPECT_EQ(text(1013), "100, 000");
    EXPECT_TRUE(enabled(1));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(MainWindowTest, CheckButtonShowsTheChecksumAndTheFolderChooserSetsTheOutput) {
    std::string bytes = loadReport();
    click(1019);
    EXPECT_EQ(text(1018), std::to_string(checksumOf(bytes)));

    // Away from the desktop first, so that the chooser's answer shows.
    select(1017, 0);
    setText(1004, folder);
    press(1003);
    HWND chooser = nullptr;
    ASSERT_TRUE(waitFor([&] {
        chooser = find("#32770", nullptr);
        return chooser != nullptr && GetWindow(chooser, GW_OWNER) == window;
    }));
    // The browser's tree is the reliable way in (its edit box is not shown everywhere): pick its root, the desktop.
    HWND tree = nullptr;
    ASSERT_TRUE(waitFor([&] { return (tree = findChildOfClass(chooser, "SysTreeView32")) != nullptr; }));
    ASSERT_TRUE(waitFor([&] { return SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0) != 0; }));
    LPARAM root = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, root);
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
    // A folder of one's own choosing is used as it is, with no folder named after the file inside it.
    char shellDesktop[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, shellDesktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    const std::string chosen = shellDesktop;
    EXPECT_TRUE(waitFor([&] { return text(1004) == chosen; })) << text(1004);

    // A loaded set cannot be checked: the button is off and its command refused. (The set goes to the test's own
    // folder, not the shared desktop.)
    const std::string out = folder + "\\out";
    setText(1004, out);
    press(1);
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    setText(1002, out + "\\repo0001.trn");
    EXPECT_FALSE(enabled(1019));
    setText(1018, "untouched");
    DWORD_PTR ignoredToo;
    SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(1019, BN_CLICKED), reinterpret_cast<LPARAM>(item(1019)),
                        SMTO_BLOCK, kWaitLimitMs, &ignoredToo);
    EXPECT_EQ(text(1018), "untouched");
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}
}  // namespace

