// "取消" in the main window while a split or a join is running: the job stops, removes what it had made, and the
// program ends with the settings saved and the cancelled job's code.
#include "persondriver.h"

#include <cstring>
#include <set>

namespace {
using namespace tarndriver;
using namespace persondriver;

// 4 GiB of hole: only a length on disk, and far more than a job gets through before the press lands.
constexpr long long kHollowSize = 4LL << 30;

class MainWindowCancelTest : public TarnWindowTest {
protected:
    // A file of size bytes after the first bytes given, the rest a hole.
    void writeHollow(const std::string& file, const std::string& first, long long size) {
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << file;
        DWORD written = 0;
        WriteFile(handle, first.data(), static_cast<DWORD>(first.size()), &written, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = size;
        EXPECT_TRUE(SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle));
        CloseHandle(handle);
    }

    // Every name in a folder, hidden ones included.
    static std::set<std::string> namesIn(const std::string& dir) {
        std::set<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0)
                names.insert(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }
    static bool holdsOwnFiles(const std::string& dir) {
        for (const std::string& name : namesIn(dir))
            if (name.rfind(".tarn-", 0) == 0) return true;
        return false;
    }

    // The job is mid-way once its caption has moved past the first piece and its own files lie in dir.
    bool midWay(const std::string& captionStart, const std::string& firstPiece, const std::string& dir) {
        return waitFor([&] {
            const std::string caption = textOf(window);
            return caption.rfind(captionStart, 0) == 0 && caption != firstPiece && holdsOwnFiles(dir);
        });
    }
};

TEST_F(MainWindowCancelTest, ClickedDuringASplitRemovesThePiecesAndTheFolderItMade) {
    const std::string source = path("disk.img");
    ASSERT_NO_FATAL_FAILURE(writeHollow(source, "boot", kHollowSize));
    ASSERT_NO_FATAL_FAILURE(launch("\"" + source + "\""));
    select(1017, 0);  // "文件夹": a folder of one's choosing, not there yet
    const std::string out = path("pieces");
    setText(1004, out);
    setText(1007, "10000");
    press(1);
    ASSERT_TRUE(midWay("正在劈分文件", "正在劈分文件1", out)) << textOf(window);
    EXPECT_TRUE(visible(1021));
    // A person's click: the window takes input while the job runs, and the press waits for the job to clean up.
    ASSERT_TRUE(bringToFront(window));
    clickAt(item(2));
    EXPECT_EQ(exitCode(), 99u);  // no message waits for an answer: the program is gone
    EXPECT_EQ(GetFileAttributesA(out.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"Desktop", "Tarn.exe", "dTarn.dat", "disk.img"}));
    EXPECT_TRUE(namesIn(desktop).empty());
    EXPECT_EQ(fileSize(source), kHollowSize);
    EXPECT_EQ(readFile(path("dTarn.dat")).size(), 58u);  // "取消" saves the settings, as when idle
}

TEST_F(MainWindowCancelTest, EscapeDuringAJoinLeavesNoRebuiltFileBesideThePieces) {
    // 256 pieces of 16 MiB, all hole (a checksum of 0), rebuilt beside them ("与来源相同").
    const long long data = 16LL << 20;
    const uint32_t count = static_cast<uint32_t>(kHollowSize / data);
    std::string header(652, '\0');
    std::memcpy(&header[0], "TARN1500", 8);
    std::memcpy(&header[8], &count, 4);
    std::memcpy(&header[314], "hollow.img", 10);
    std::memcpy(&header[614], &kHollowSize, 8);
    header[650] = 0x20;
    std::set<std::string> pieces;
    for (uint32_t i = 1; i <= count; i++) {
        char name[16];
        snprintf(name, sizeof name, "holl%04u.trn", i);
        pieces.insert(name);
        const std::string start = i == 1 ? header : std::string("TARN1500");
        ASSERT_NO_FATAL_FAILURE(writeHollow(path(name), start, static_cast<long long>(start.size()) + data));
    }
    ASSERT_NO_FATAL_FAILURE(launch("\"" + path("holl0002.trn") + "\""));
    ASSERT_EQ(text(1020), "hollow.img");
    select(1017, 3);
    ASSERT_EQ(text(1004), folder);
    press(1);
    ASSERT_TRUE(midWay("正在合并holl", "正在合并holl0001.trn", folder)) << textOf(window);
    ASSERT_TRUE(bringToFront(window));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(exitCode(), 99u);
    std::set<std::string> expected = pieces;
    expected.insert({"Desktop", "Tarn.exe", "dTarn.dat"});
    EXPECT_EQ(namesIn(folder), expected);  // no hollow.img, no file of the job's own
    EXPECT_EQ(fileSize(path("holl0001.trn")), 652 + data);
    EXPECT_EQ(fileSize(path("holl0256.trn")), 8 + data);
}
}  // namespace
