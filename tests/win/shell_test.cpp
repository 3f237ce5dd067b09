// The shell integration of the real Tarn.exe, started from a folder whose path holds spaces: the association the
// auto-run button writes, read back from the registry, a piece opened through it by "start", and the help page.
#include "tarndriver.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace {
using namespace tarndriver;

struct Entry {
    HKEY root;
    const char* key;
    const char* name;  // nullptr: the key's default value
};

const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.trn";

std::string readValue(const Entry& entry) {
    HKEY key;
    if (RegOpenKeyExA(entry.root, entry.key, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char value[1024] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, entry.name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ) return "<not text>";
    return value;
}

class ShellTest : public TarnWindowTest {
protected:
    void SetUp() override {
        TarnWindowTest::SetUp();
        removeAssociation();
        programDir = folder + "\\Program Files";
        ASSERT_TRUE(CreateDirectoryA(programDir.c_str(), nullptr));
        programDir += "\\Tarn Split";
        ASSERT_TRUE(CreateDirectoryA(programDir.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(tarnProgram.c_str(), (programDir + "\\Tarn.exe").c_str(), FALSE));
    }
    void TearDown() override {
        TarnWindowTest::TearDown();
        removeAssociation();  // the prefix is shared with the other window tests
    }
    // "start PIECE", as typed at a prompt; true when it found a program to run.
    bool openWithStart(const std::string& piece) const {
        std::string line = "start.exe \"" + piece + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                            &startup, &started))
            return false;
        CloseHandle(started.hThread);
        DWORD code = 1;
        WaitForSingleObject(started.hProcess, kWaitLimitMs);
        GetExitCodeProcess(started.hProcess, &code);
        CloseHandle(started.hProcess);
        return code == 0;
    }
    static bool openAsDoubleClick(const std::string& piece) {
        SHELLEXECUTEINFOA run = {};
        run.cbSize = sizeof run;
        run.lpFile = piece.c_str();
        run.nShow = SW_SHOWNORMAL;
        return ShellExecuteExA(&run) != FALSE;
    }
    // The program the shell started, found by its window: the test waits on it and drives it from here on.
    void takeOpenedProgram() {
        HWND shown = nullptr;
        ASSERT_TRUE(waitFor([&] { return (shown = FindWindowA("Tarn", "Tarn")) != nullptr && IsWindowVisible(shown); }));
        DWORD id = 0;
        GetWindowThreadProcessId(shown, &id);
        process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, id);
        ASSERT_NE(process.hProcess, nullptr);
        process.dwProcessId = id;
        window = shown;
    }
    static void removeAssociation() {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, "Applications\\Tarn.exe");
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Applications\\Tarn.exe");
        SHDeleteKeyA(HKEY_CLASSES_ROOT, ".trn");
        SHDeleteKeyA(HKEY_CLASSES_ROOT, "Tarn");
        SHDeleteKeyA(HKEY_CURRENT_USER, kFileExts);
    }
};

TEST_F(ShellTest, AutoRunWritesTheAssociationAndAPieceThenOpensTheProgram) {
    // A set to open later, split beside the program's own folder.
    writeFile(path("report.doc"), patternBytes(2500000, 21));
    launch("\"" + path("report.doc") + "\"");
    // Wine runs programs with administrator rights: the button associates instead of restarting.
    EXPECT_EQ(text(1026), "自动运行(&L)");
    press(1);
    ASSERT_EQ(answer(1).lines[1], "已完成");
    ASSERT_TRUE(idleAgain());
    press(1026);
    // Writing the association says so (the registry gives no sign of its own).
    Shown done = answer(1);
    EXPECT_TRUE(done.found);
    EXPECT_EQ(done.lines[1], "已关联.trn文件: 双击任意一块即可用Tarn合并.");
    EXPECT_TRUE(IsWindow(window));

    const std::string program = programDir + "\\Tarn.exe";
    const std::string command = "\"" + program + "\" \"%1\"";
    const std::string icon = program + ",2";
    const struct {
        Entry entry;
        std::string data;
    } expected[] = {
        {{HKEY_CLASSES_ROOT, "Applications\\Tarn.exe\\shell", nullptr}, "UnTarn"},
        {{HKEY_LOCAL_MACHINE, "Software\\Applications\\Tarn.exe\\shell\\UnTarn\\Command", nullptr}, command},
        {{HKEY_CLASSES_ROOT, "Applications\\Tarn.exe\\shell\\UnTarn\\Command", nullptr}, command},
        {{HKEY_CLASSES_ROOT, ".trn", nullptr}, "Tarn"},
        {{HKEY_CLASSES_ROOT, "Tarn\\shell\\UnTarn\\Command", nullptr}, command},
        {{HKEY_CLASSES_ROOT, "Tarn\\shell", nullptr}, "UnTarn"},
        {{HKEY_CLASSES_ROOT, "Tarn\\shell\\open\\Command", nullptr}, command},
        {{HKEY_CURRENT_USER, kFileExts, "Application"}, "Tarn.exe"},
        {{HKEY_CLASSES_ROOT, "Tarn\\DefaultIcon", nullptr}, icon},
        {{HKEY_CLASSES_ROOT, "Applications\\Tarn.exe\\DefaultIcon", nullptr}, icon},
    };
    for (const auto& e : expected) EXPECT_EQ(readValue(e.entry), e.data) << e.entry.key;

    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};

    // A piece opened as the shell opens it starts the program with that piece loaded: by "start" (which names the
    // verb "open") and by a double-click (no verb: the class's default one).
    const std::string piece = desktop + "\\report\\repo0002.trn";
    for (bool byStart : {true, false}) {
        SCOPED_TRACE(byStart ? "start" : "double-click");
        ASSERT_TRUE(byStart ? openWithStart(piece) : openAsDoubleClick(piece)) << "nothing opens the piece";
        ASSERT_NO_FATAL_FAILURE(takeOpenedProgram());
        EXPECT_TRUE(waitFor([&] { return text(1002) == piece; })) << text(1002);
        EXPECT_EQ(text(1020), "report.doc");
        EXPECT_EQ(text(1), "开始合并!(&S)");
        pressEscape();
        EXPECT_EQ(exitCode(), 0u);
        CloseHandle(process.hProcess);
        process = {};
    }
}

TEST_F(ShellTest, HelpPagesLieBesideTheProgram) {
    // The build puts them beside Tarn.exe, so the help button finds the page of the interface's language wherever
    // the program was started from.
    for (const char* name : {"ReadMe.htm", "ReadMe-en.htm"}) {
        std::string built = tarnProgram.substr(0, tarnProgram.find_last_of('\\') + 1) + name;
        std::string page = readFile(built);
        ASSERT_FALSE(page.empty()) << built;
        EXPECT_NE(page.find("charset"), std::string::npos) << name;
        EXPECT_NE(page.find("/i="), std::string::npos) << name;
        EXPECT_NE(page.find("DefSet.txt"), std::string::npos) << name;
        EXPECT_NE(page.find(std::string("lang=\"") + (name[6] == '-' ? "en" : "zh-CN") + "\""), std::string::npos) << name;
    }
}
}  // namespace
