// Recovery volumes as a person asks for them in the main window (the keyboard: Alt+V, the arrow keys) and as
// the join uses them: a lost first piece and a damaged one rebuilt on the way, the message naming them; and
// "取消" while they are computed.
#include "persondriver.h"

namespace {
using namespace tarndriver;
using namespace persondriver;

constexpr int kRecoveryList = 1027;

class RecoveryWindowTest : public TarnWindowTest {
protected:
    void SetUp() override {
        TarnWindowTest::SetUp();
        writeFile(path("dTarn.dat"), settingsBytes({0, 0, 2, 1, 0, 0, 2, 0}));
    }
    bool focusIs(int id) { return waitFor([&] { return idOf(focusOf(window)) == id; }, 5000); }
};

TEST_F(RecoveryWindowTest, VolumesAskedForInTheWindowRebuildLostPiecesOnTheJoin) {
    const std::string report = loadReport();
    ASSERT_TRUE(bringToFront(window));
    EXPECT_EQ(selection(kRecoveryList), 0);  // none, as earlier builds' settings say
    EXPECT_TRUE(enabled(kRecoveryList));
    pressAlt('V');
    ASSERT_TRUE(focusIs(kRecoveryList));
    pressKey(VK_DOWN);
    pressKey(VK_DOWN);
    EXPECT_TRUE(waitFor([&] { return selection(kRecoveryList) == 2; }, 5000)) << selection(kRecoveryList);
    EXPECT_TRUE(focusIs(kRecoveryList));
    pressAlt('S');
    EXPECT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    const std::string set = desktop + "\\report\\";
    ASSERT_EQ(fileSize(set + "repo0003.trn"), 8 + 832928);
    EXPECT_GT(fileSize(set + "report.doc.par2"), 0);
    EXPECT_EQ(fileSize(set + "report.doc.vol01+01.par2"), fileSize(set + "report.doc.vol00+01.par2"));
    EXPECT_EQ(fileSize(set + "report.doc.vol02+01.par2"), -1);  // two, as asked
    // Escape saves the choice, after the eight fields earlier builds read.
    ASSERT_TRUE(bringToFront(window));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(exitCode(), 0u);
    const std::string saved = readFile(path("dTarn.dat"));
    EXPECT_EQ(settingsField(saved, 8), 2u);
    EXPECT_EQ(settingsField(saved, 9), 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};

    // The first piece lost and the third damaged: opening a volume opens its set, and the join rebuilds both.
    ASSERT_TRUE(DeleteFileA((set + "repo0001.trn").c_str()));
    std::string third = readFile(set + "repo0003.trn");
    third[400000] ^= 0x40;
    writeFile(set + "repo0003.trn", third);
    launch("\"" + set + "report.doc.par2\"");
    EXPECT_EQ(text(1), "开始合并!(&S)");
    EXPECT_EQ(text(1020), "report.doc");
    EXPECT_EQ(selection(kRecoveryList), 2);  // remembered, and idle for a join
    EXPECT_FALSE(enabled(kRecoveryList));
    ASSERT_TRUE(bringToFront(window));
    pressAlt('S');
    const Shown done = answer(1);
    EXPECT_EQ(done.lines[1], "已完成");
    EXPECT_EQ(done.lines[2], "已由恢复卷重建:");
    EXPECT_EQ(done.lines[3], "repo0001.trn, repo0003.trn");
    ASSERT_TRUE(idleAgain());
    EXPECT_EQ(readFile(set + "report.doc"), report);
    // The set's folder is only read: the damaged piece stays as it was, the lost one lost, nothing else left.
    EXPECT_EQ(readFile(set + "repo0003.trn"), third);
    EXPECT_EQ(fileSize(set + "repo0001.trn"), -1);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((set + "*").c_str(), &found);
    int files = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(files, 2 + 3 + 1);  // two pieces, the index file and two volumes, the rebuilt file
    ASSERT_TRUE(bringToFront(window));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(exitCode(), 0u);
}
// "取消" while the volumes are computed stops them as it stops the pieces: the job removes all it made, pieces
// and volumes, and the program ends with the cancelled job's code.
TEST_F(RecoveryWindowTest, CancelWhileTheVolumesAreComputedLeavesNothing) {
    // 1 GiB of hole after a few bytes: 420 pieces, and as many volumes over them take seconds, not a moment.
    const std::string source = path("hollow.img");
    HANDLE handle = CreateFileA(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle, "boot", 4, &written, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 1LL << 30;
    ASSERT_TRUE(SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle));
    CloseHandle(handle);
    ASSERT_NO_FATAL_FAILURE(launch("\"" + source + "\""));
    select(1017, 0);  // "文件夹"
    const std::string out = path("pieces");
    setText(1004, out);
    setText(1007, "2500");
    select(kRecoveryList, 10);  // 100%
    press(1);
    ASSERT_TRUE(waitFor([&] { return textOf(window) == "正在计算恢复卷"; })) << textOf(window);
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(2));
    EXPECT_EQ(exitCode(), 99u);
    EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fileSize(source), 1LL << 30);
}
}  // namespace
