// Names of every script in the main window: typed into the file field through the input queue or picked in the
// open dialog, each is loaded, cut into pieces and joined back under its own name, every byte whole.
#include "persondriver.h"

namespace {
using namespace tarndriver;
using namespace persondriver;

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void setWideText(HWND control, const std::wstring& text) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK, kWaitLimitMs,
                        &ignored);
}

bool writeWide(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::string readWide(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes(1 << 20, '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

// The names in a folder that match pattern (as "*.trn"), in the order the system lists them.
std::vector<std::wstring> namesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

class NamesWindowTest : public TarnWindowTest {
protected:
    void SetUp() override {
        TarnWindowTest::SetUp();
        // Output to the folder named in the field ("文件夹"), so that each job writes where the test says.
        writeFile(path("dTarn.dat"), settingsBytes({0, 0, 0, 1, 0, 0, 2, 0}));
    }
    // The job the start button runs now, to its "已完成".
    void runJob() {
        press(1);
        Shown done = answer(1);
        ASSERT_TRUE(done.found);
        EXPECT_EQ(done.lines[1], inLanguage("已完成", "Done"));
        ASSERT_TRUE(idleAgain());
    }
};
}  // namespace

TEST_F(NamesWindowTest, NamesOfEveryScriptTypedOrPickedAreCutAndJoinedWhole) {
    const std::wstring names[] = {L"\xD55C\xAD6D\xC5B4 \xBCF4\xACE0\xC11C.doc", L"na\xEFve.txt",
                                  L"\xD83D\xDE00 smile.bin", L"\x62A5\x544A\x4E66.doc"};
    launch();
    for (int n = 0; n < 4; n++) {
        SCOPED_TRACE(n);
        const std::wstring here = widened(path("n" + std::to_string(n)));
        ASSERT_TRUE(CreateDirectoryW(here.c_str(), nullptr));
        const std::wstring source = here + L"\\" + names[n];
        const std::string bytes = patternBytes(25000 + 1000 * n, static_cast<unsigned>(n));
        ASSERT_TRUE(writeWide(source, bytes));
        if (n % 2 == 0) {
            ASSERT_TRUE(bringToFront(window));
            clickAt(item(1002));
            ASSERT_TRUE(waitFor([&] { return focusOf(window) == item(1002); }, 5000));
            pressKey(VK_END);
            pressKey(VK_HOME, true);
            typeText(source);
        } else {
            press(1001);
            HWND chooser = nullptr;
            ASSERT_TRUE(waitFor([&] {
                chooser = find("#32770", nullptr);
                return chooser != nullptr && GetWindow(chooser, GW_OWNER) == window && GetDlgItem(chooser, IDOK);
            }));
            HWND name = GetDlgItem(chooser, 1148);
            if (name != nullptr && GetDlgItem(name, 1001) != nullptr) name = GetDlgItem(name, 1001);
            if (name == nullptr) name = GetDlgItem(chooser, 1152);
            ASSERT_NE(name, nullptr);
            setWideText(name, source);
            PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
        }
        ASSERT_TRUE(waitFor([&] { return wideTextOf(item(1020)) == names[n]; })) << "not loaded";
        EXPECT_EQ(wideTextOf(item(1002)), source);
        setText(1007, "10");
        setWideText(item(1004), here + L"\\pieces");
        ASSERT_NO_FATAL_FAILURE(runJob());
        const std::vector<std::wstring> pieces = namesIn(here + L"\\pieces", L"*.trn");
        ASSERT_EQ(pieces.size(), 3u);
        setWideText(item(1002), here + L"\\pieces\\" + pieces.back());
        ASSERT_TRUE(waitFor([&] { return wideTextOf(item(1020)) == names[n]; })) << "the set's name";
        setWideText(item(1004), here + L"\\joined");
        ASSERT_NO_FATAL_FAILURE(runJob());
        EXPECT_EQ(namesIn(here + L"\\joined", L"*"), std::vector<std::wstring>{names[n]});
        EXPECT_TRUE(readWide(here + L"\\joined\\" + names[n]) == bytes);
    }
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}
