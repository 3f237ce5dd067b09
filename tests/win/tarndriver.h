// The test driver's side of Tarn.exe: start it in a folder of its own, find its windows, read and work their
// controls by id, answer its message dialogs, wait for its exit code.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

// Tarn.exe under test, as a Windows path (from --tarn=), and every --name=value the driver was given, by name.
extern std::string tarnProgram;
extern std::map<std::string, std::string> driverOptions;

namespace tarndriver {

// Safety nets only: a broken window fails the test instead of hanging it.
constexpr DWORD kWaitLimitMs = 30000;
constexpr DWORD kPollMs = 25;
constexpr char kDialogCaption[] = "Tarn 1.51";
constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kUserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The interface language the program is expected to speak: --language=english says English, else Chinese.
inline bool expectEnglish() {
    const auto given = driverOptions.find("language");
    return given != driverOptions.end() && given->second == "english";
}
// What a text must read in that language.
inline std::string inLanguage(const char* chinese, const char* english) { return expectEnglish() ? english : chinese; }

inline bool waitFor(const std::function<bool()>& condition, DWORD limit = kWaitLimitMs) {
    for (DWORD waited = 0; waited < limit; waited += kPollMs) {
        if (condition()) return true;
        Sleep(kPollMs);
    }
    return condition();
}

// A control's text as the system holds it, whatever the code page: for names no code page 936 holds.
inline std::wstring wideTextOf(HWND control) {
    wchar_t buffer[1024] = {};
    DWORD_PTR ignored;
    SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, kWaitLimitMs,
                        &ignored);
    return buffer;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

inline std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, 0);
    unsigned v = seed;
    for (size_t i = 0; i < size; i++) {
        v = v * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(v >> 16);
    }
    return bytes;
}

// The settings file: "TARN1500", then eight 32-bit fields, then padding to 58 bytes.
inline std::string settingsBytes(const std::vector<uint32_t>& fields) {
    std::string bytes = "TARN1500";
    for (uint32_t v : fields)
        for (int b = 0; b < 4; b++) bytes += static_cast<char>(v >> (8 * b));
    bytes.resize(58, 0);
    return bytes;
}

inline uint32_t settingsField(const std::string& bytes, int index) {
    uint32_t v = 0;
    for (int b = 0; b < 4; b++) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[8 + index * 4 + b])) << (8 * b);
    return v;
}

struct FindData {
    DWORD process;
    const char* className;
    const char* caption;
    HWND found;
};

inline BOOL CALLBACK matchWindow(HWND window, LPARAM raw) {
    FindData* find = reinterpret_cast<FindData*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {}, caption[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (process == find->process && IsWindowVisible(window) && std::string(className) == find->className &&
        (find->caption == nullptr || std::string(caption) == find->caption)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

// The "Desktop" value of one of the user's shell folder keys, pointed elsewhere and put back as it was.
struct ShellFolder {
    ShellFolder(const char* name, DWORD kind) : key(name), type(kind) {}
    const char* key;
    DWORD type;
    bool had = false;
    DWORD savedType = REG_SZ;
    std::string saved;

    bool point(const std::string& to) {
        HKEY handle;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return false;
        char value[MAX_PATH] = {};
        DWORD size = sizeof value - 1;
        had = RegQueryValueExA(handle, "Desktop", nullptr, &savedType, reinterpret_cast<BYTE*>(value), &size) ==
              ERROR_SUCCESS;
        saved = value;
        const bool set = RegSetValueExA(handle, "Desktop", 0, type, reinterpret_cast<const BYTE*>(to.c_str()),
                                        static_cast<DWORD>(to.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(handle);
        return set;
    }
    void restore() const {
        HKEY handle;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
        if (had)
            RegSetValueExA(handle, "Desktop", 0, savedType, reinterpret_cast<const BYTE*>(saved.c_str()),
                           static_cast<DWORD>(saved.size() + 1));
        else
            RegDeleteValueA(handle, "Desktop");
        RegCloseKey(handle);
    }
};

// One Tarn.exe in a fresh folder of its own, with a desktop folder of its own.
class TarnWindowTest : public ::testing::Test {
protected:
    std::string folder, desktop;
    std::string programDir;  // where Tarn.exe is started from: the test's folder unless a test moves it
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    // Wine's shell writes the desktop it resolves from "User Shell Folders" back into "Shell Folders" whenever a
    // program asks for it (its desktop process does as it starts), so both name the test's desktop.
    ShellFolder shellFolders[2] = {{kShellFoldersKey, REG_SZ}, {kUserShellFoldersKey, REG_EXPAND_SZ}};

    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tarn-gui-" + std::to_string(GetTickCount()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        desktop = folder + "\\Desktop";
        programDir = folder;
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(desktop.c_str(), nullptr));
        ASSERT_TRUE(CopyFileA(tarnProgram.c_str(), (folder + "\\Tarn.exe").c_str(), FALSE)) << tarnProgram;
        // The program reads its default output folder from here; point it at the test's own desktop.
        for (ShellFolder& value : shellFolders) ASSERT_TRUE(value.point(desktop)) << value.key;
    }

    void TearDown() override {
        if (process.hProcess != nullptr) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, kWaitLimitMs);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        for (ShellFolder& value : shellFolders) value.restore();
        std::string command = "cmd /c rd /s /q \"" + folder + "\"";
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        PROCESS_INFORMATION cleaner = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &start,
                           &cleaner)) {
            WaitForSingleObject(cleaner.hProcess, kWaitLimitMs);
            CloseHandle(cleaner.hProcess);
            CloseHandle(cleaner.hThread);
        }
    }

    std::string path(const std::string& name) const { return folder + "\\" + name; }

    // Starts the program in the test's folder, without waiting for anything.
    void startProgram(const std::string& arguments) {
        std::string command = "\"" + programDir + "\\Tarn.exe\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &start,
                                   &process));
    }

    // Starts the program and waits until the window has run its one-time set-up.
    void launch(const std::string& arguments = "") {
        ASSERT_NO_FATAL_FAILURE(startProgram(arguments));
        ASSERT_TRUE(waitFor([&] { return (window = find("Tarn", "Tarn")) != nullptr; })) << "no main window";
        ASSERT_TRUE(waitFor([&] { return !text(1002).empty() && !text(1004).empty(); })) << "no set-up";
    }

    HWND find(const char* className, const char* caption) const {
        FindData data = {process.dwProcessId, className, caption, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&data));
        return data.found;
    }

    HWND item(int id) const { return GetDlgItem(window, id); }
    std::string text(int id) const { return textOf(item(id)); }
    static std::string textOf(HWND control) {
        char buffer[1024] = {};
        DWORD_PTR ignored;
        SendMessageTimeoutA(control, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK,
                            kWaitLimitMs, &ignored);
        return buffer;
    }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != 0; }
    bool visible(int id) const { return IsWindowVisible(item(id)) != 0; }
    // A message to any window of the program, never waiting longer than the limit.
    static LRESULT sendTo(HWND target, UINT message, WPARAM w = 0, LPARAM l = 0) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(target, message, w, l, SMTO_BLOCK, kWaitLimitMs, &result);
        return static_cast<LRESULT>(result);
    }
    LRESULT send(int id, UINT message, WPARAM w = 0, LPARAM l = 0) const { return sendTo(item(id), message, w, l); }
    int selection(int id) const { return static_cast<int>(send(id, CB_GETCURSEL)); }

    // Writes a field as the program itself would: the field notifies its change synchronously.
    void setText(int id, const std::string& value) const {
        DWORD_PTR ignored;
        SendMessageTimeoutA(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), SMTO_BLOCK,
                            kWaitLimitMs, &ignored);
    }
    // Replaces a field's text keystroke by keystroke; after each one, check is called with the text typed so far.
    void type(int id, const std::string& keys, const std::function<void(const std::string&)>& check = nullptr) {
        send(id, EM_SETSEL, 0, -1);
        std::string typed;
        for (char key : keys) {
            send(id, WM_CHAR, static_cast<unsigned char>(key), 1);
            typed += key;
            if (check) check(typed);
        }
    }
    void select(int id, int index) const {
        send(id, CB_SETCURSEL, index);
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item(id)),
                            SMTO_BLOCK, kWaitLimitMs, &ignored);
    }
    // Posted, because a press may open a modal dialog that only returns once it is answered.
    void press(int id) const { PostMessageA(item(id), BM_CLICK, 0, 0); }
    void click(int id) const { send(id, BM_CLICK); }

    // The next message dialog: its four lines (or the description) and a press of "继续" (1) or "取消" (2).
    struct Shown {
        std::string lines[4];
        std::string description;
        bool found = false;
    };
    Shown answer(int button) {
        Shown shown;
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = find("#32770", kDialogCaption)) != nullptr; })) return shown;
        shown.found = true;
        for (int i = 0; i < 4; i++) shown.lines[i] = textOf(GetDlgItem(dialog, 850 + i));
        if (IsWindowVisible(GetDlgItem(dialog, 1014))) shown.description = textOf(GetDlgItem(dialog, 1014));
        PostMessageA(dialog, WM_COMMAND, button, 0);
        waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
        return shown;
    }
    // The open-file dialog owned by a window of the program: types a path into its name box and confirms it.
    bool answerFileChooser(HWND owner, const std::string& chosen) const {
        HWND chooser = nullptr;
        if (!waitFor([&] {
                chooser = find("#32770", nullptr);
                return chooser != nullptr && GetWindow(chooser, GW_OWNER) == owner && GetDlgItem(chooser, IDOK);
            }))
            return false;
        HWND name = GetDlgItem(chooser, 1148);
        if (name != nullptr && GetDlgItem(name, 1001) != nullptr) name = GetDlgItem(name, 1001);
        if (name == nullptr) name = GetDlgItem(chooser, 1152);
        if (name == nullptr) return false;
        sendTo(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
        return true;
    }
    bool noDialogFor(DWORD ms) const {
        return !waitFor([&] { return find("#32770", kDialogCaption) != nullptr; }, ms);
    }

    // The window is back to idle after a job: caption restored, buttons back from behind the progress bar.
    bool idleAgain() const {
        return waitFor([&] { return textOf(window) == "Tarn 1.51" && visible(3) && !visible(1021); });
    }

    void pressEscape() const { PostMessageA(item(1002), WM_KEYDOWN, VK_ESCAPE, 0); }
    DWORD exitCode() const {
        if (WaitForSingleObject(process.hProcess, kWaitLimitMs) != WAIT_OBJECT_0) return 0xDEADBEEF;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    // A loaded 2,500,000-byte report.doc: the typical request.
    std::string loadReport() {
        std::string bytes = patternBytes(2500000, 11);
        writeFile(path("report.doc"), bytes);
        launch("\"" + path("report.doc") + "\"");
        return bytes;
    }
};

// The whole-file sum of little-endian 32-bit words, the last one padded with zeros.
inline uint32_t checksumOf(const std::string& bytes) {
    uint32_t total = 0;
    for (size_t i = 0; i < bytes.size(); i++) total += static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * (i % 4));
    return total;
}

struct ChildSearch {
    const char* wanted;
    HWND found;
};

// A named CALLBACK rather than a lambda: the 32-bit build cannot turn a lambda into a stdcall procedure.
inline BOOL CALLBACK matchChildOfClass(HWND child, LPARAM raw) {
    auto* s = reinterpret_cast<ChildSearch*>(raw);
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) != s->wanted || !IsWindowVisible(child)) return TRUE;
    s->found = child;
    return FALSE;
}

// The first visible child of a class, searched through the whole window tree.
inline HWND findChildOfClass(HWND parent, const char* wanted) {
    ChildSearch search{wanted, nullptr};
    EnumChildWindows(parent, matchChildOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace tarndriver
