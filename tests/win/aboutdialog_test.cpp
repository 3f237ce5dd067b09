// Drives the about dialog of the real Tarn.exe from another process: opened by the main window's about button,
// owned by it, its addresses and three information pages, the folders button, and "确定", Escape or the close box
// to leave it.
// The mail and web buttons are not pressed: under Wine they would start programs outside the test.
#include "tarndriver.h"

#include <tlhelp32.h>

#include <set>

#include "app/maker.h"
#include "app/osdescription.h"
#include "text/textops.h"

namespace {
using namespace tarndriver;

constexpr char kAboutCaption[] = "关于Tarn";

class AboutDialogTest : public TarnWindowTest {
protected:
    HWND about = nullptr;

    // Presses the main window's about button and waits for the dialog.
    void openAbout() {
        press(1000);
        ASSERT_TRUE(waitFor([&] { return (about = find("#32770", kAboutCaption)) != nullptr; })) << "no about dialog";
    }

    HWND part(int id) const { return GetDlgItem(about, id); }
    std::string partText(int id) const { return textOf(part(id)); }
    LRESULT sendPart(int id, UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return sendTo(part(id), message, w, l);
    }
    void command(HWND target, WPARAM w, LPARAM l = 0) const { sendTo(target, WM_COMMAND, w, l); }
    // Selects an item as the user would: the list changes, then it notifies the dialog.
    void choosePage(int index) const {
        sendPart(1003, CB_SETCURSEL, static_cast<WPARAM>(index));
        command(about, MAKEWPARAM(1003, CBN_SELCHANGE), reinterpret_cast<LPARAM>(part(1003)));
    }
    // Asked in UTF-16 and turned into the program's code page: Wine hands a list item to another process in UTF-16
    // even when it is asked for the narrow text.
    std::string itemText(int index) const {
        wchar_t wide[128] = {};
        DWORD_PTR length = 0;
        SendMessageTimeoutW(part(1003), CB_GETLBTEXTLEN, index, 0, SMTO_BLOCK, kWaitLimitMs, &length);
        if (length >= sizeof wide / sizeof wide[0]) return "(too long)";
        DWORD_PTR ignored;
        SendMessageTimeoutW(part(1003), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide), SMTO_BLOCK, kWaitLimitMs,
                            &ignored);
        char narrow[256] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
        return narrow;
    }
    bool partVisible(int id) const { return IsWindowVisible(part(id)) != 0; }

    struct DialogCount {
        DWORD process;
        int n;
    };
    static BOOL CALLBACK countAbout(HWND w, LPARAM raw) {
        auto* c = reinterpret_cast<DialogCount*>(raw);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        char caption[64] = {};
        GetWindowTextA(w, caption, sizeof caption);
        if (owner == c->process && std::string(caption) == kAboutCaption) c->n++;
        return TRUE;
    }
    // Every about dialog of the program, shown or not.
    int aboutDialogs() const {
        DialogCount count{process.dwProcessId, 0};
        EnumWindows(countAbout, reinterpret_cast<LPARAM>(&count));
        return count.n;
    }

    HWND programTooltips() const {
        for (HWND w = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process.dwProcessId) return w;
        }
        return nullptr;
    }

    // Ids of the running processes that the program started itself.
    std::set<DWORD> childProcesses() const {
        std::set<DWORD> children;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return children;
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
            if (entry.th32ParentProcessID == process.dwProcessId) children.insert(entry.th32ProcessID);
        CloseHandle(snapshot);
        return children;
    }

    std::string foldersPage(const std::string& programFolder, const std::string& dataFolder) const {
        return "程序位置:\r\n" + programFolder + "\r\n\r\n程序储存用户数据位置:\r\n" + dataFolder;
    }

    void pressOk() {
        PostMessageA(part(1), BM_CLICK, 0, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(about); })) << "about dialog still open";
        about = nullptr;
    }
};

TEST_F(AboutDialogTest, OpensOwnedByTheMainWindowWithItsAddressesAndThreePages) {
    launch();
    HWND tips = programTooltips();
    ASSERT_NE(tips, nullptr);
    LRESULT tools = SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0);
    openAbout();
    EXPECT_EQ(GetWindow(about, GW_OWNER), window);
    EXPECT_FALSE(IsWindowEnabled(window));  // modal
    EXPECT_EQ(partText(850), TARN_MAKER_MAIL);
    EXPECT_EQ(partText(851), TARN_MAKER_WEB);
    EXPECT_EQ(partText(1000), "发送邮件");
    EXPECT_EQ(partText(1002), "访问网站");
    EXPECT_EQ(partText(1), "确定");
    EXPECT_NE(GetWindowLongA(part(850), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_NE(GetWindowLongA(part(851), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_NE(GetWindowLongA(part(1015), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_NE(GetWindowLongA(part(1015), GWL_STYLE) & ES_MULTILINE, 0);

    // The selector: three pages, the first one shown.
    ASSERT_EQ(sendPart(1003, CB_GETCOUNT), 3);
    EXPECT_EQ(itemText(0), "邮件详情");
    EXPECT_EQ(itemText(1), "程序目录");
    EXPECT_EQ(itemText(2), "诊断");
    EXPECT_EQ(sendPart(1003, CB_GETCURSEL), 0);
    EXPECT_EQ(partText(1015), TARN_MAKER_POSTAL);
    EXPECT_FALSE(partVisible(3));

    // Without DefSet.txt both folders are the program's own, with the trailing backslash.
    choosePage(1);
    EXPECT_EQ(partText(1015), foldersPage(folder + "\\", folder + "\\"));
    EXPECT_TRUE(partVisible(3));
    EXPECT_EQ(partText(3), "打开目录");
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), tools + 1);  // the folders button's tip
    choosePage(1);  // shown again, the tip is not attached twice
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), tools + 1);

    choosePage(2);
    char description[kTextBufferSize];
    osDescription(description);  // this test runs on the same system
    EXPECT_EQ(partText(1015), std::string(description) + "\r\n\r\n");
    EXPECT_NE(std::string(description).find(" (Wine "), std::string::npos) << description;
    EXPECT_EQ(std::string(description).find("未知"), std::string::npos) << description;
    EXPECT_FALSE(partVisible(3));

    choosePage(0);
    EXPECT_EQ(partText(1015), TARN_MAKER_POSTAL);
    EXPECT_FALSE(partVisible(3));
    // A selector without a selection shows an empty text.
    choosePage(-1);
    EXPECT_EQ(partText(1015), "");
    EXPECT_FALSE(partVisible(3));
    EXPECT_EQ(partText(851), TARN_MAKER_WEB);

    pressOk();
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(window) != 0; }));
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), tools);  // no tip of a control that is gone
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(AboutDialogTest, OnlyOneOpensAndEscapeOrTheCloseBoxCloseItAsOkDoes) {
    launch();
    openAbout();
    // A second about command while the dialog is open; the system-menu toggle posted after it shows it was handled.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(item(1000)));
    PostMessageA(window, WM_SYSCOMMAND, 5000, 0);
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
    PostMessageA(window, WM_SYSCOMMAND, 5000, 0);
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0; }));
    EXPECT_EQ(aboutDialogs(), 1);
    EXPECT_FALSE(IsWindowEnabled(window));

    // Escape through the dialog manager, the close box and its system-menu command: each closes the dialog, the
    // main window is usable again, and the dialog opens again on its first page.
    const std::function<void()> closers[] = {
        [&] {
            PostMessageA(part(1), WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(part(1), WM_KEYUP, VK_ESCAPE, 0);
        },
        [&] { PostMessageA(about, WM_CLOSE, 0, 0); },
        [&] { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (size_t i = 0; i < 3; i++) {
        if (i > 0) openAbout();
        EXPECT_EQ(sendPart(1003, CB_GETCURSEL), 0);
        choosePage(2);
        closers[i]();
        EXPECT_TRUE(waitFor([&] { return !IsWindow(about); })) << "closer " << i;
        EXPECT_EQ(aboutDialogs(), 0);
        EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(window) != 0; }));
    }
    openAbout();
    pressOk();
    EXPECT_EQ(aboutDialogs(), 0);
    pressEscape();
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(AboutDialogTest, FoldersPageShowsTheDataFolderAndItsButtonOpensBothFolders) {
    // DefSet.txt beside the program moves the data folder to the per-user application-data folder.
    writeFile(path("DefSet.txt"), "");
    char appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE));
    const std::string dataFolder = std::string(appData) + "\\Ormand\\Tarn\\";
    launch();
    openAbout();
    choosePage(1);
    EXPECT_EQ(partText(1015), foldersPage(folder + "\\", dataFolder));
    ASSERT_TRUE(partVisible(3));

    // The folders button hands both folders to the file manager, then page 0 is shown.
    std::set<DWORD> before = childProcesses();
    PostMessageA(part(3), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return sendPart(1003, CB_GETCURSEL) == 0; }));
    EXPECT_EQ(partText(1015), TARN_MAKER_POSTAL);
    EXPECT_FALSE(partVisible(3));
    // The file managers it started are the test's to end: by their ids, children of the program.
    std::set<DWORD> started;
    waitFor([&] {
        for (DWORD id : childProcesses())
            if (!before.count(id)) started.insert(id);
        return started.size() >= 2;
    }, 10000);
    EXPECT_EQ(started.size(), 2u);
    for (DWORD id : started) {
        if (HANDLE child = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(child, 0);
            WaitForSingleObject(child, kWaitLimitMs);
            CloseHandle(child);
        }
    }

    pressOk();
    PostMessageA(window, WM_CLOSE, 0, 0);  // without saving: nothing is left in the shared data folder
    EXPECT_EQ(exitCode(), 0u);
}
}  // namespace
