// The windows in the interface's language, run once per locale (Chinese, Western, Japanese: the test entries set
// it and say what to expect with --language=). Every text of the main window, its lists and tooltips, the wizard's
// pages, the about dialog and the messages is read back: in English each is plain ASCII (a Chinese text left
// over reads as "?" there), fits its control, and the texts named here read as expected.
#include "wizarddriver.h"

#include <cstdio>

namespace {
using namespace tarndriver;
using namespace wizarddriver;

std::string narrow(const std::wstring& wide) {
    char text[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Plain ASCII, and none of the question marks a Chinese text turns into under another code page ("??(&I)...",
// "?" for "无").
bool plainAscii(const std::wstring& text) {
    for (wchar_t c : text)
        if (c >= 0x80) return false;
    return text.find(L"??") == std::wstring::npos && (text.empty() || text[0] != L'?');
}

// The width of a caption in the templates' font (Tahoma 8), its "&" marks left out.
int captionWidth(const std::wstring& caption) {
    std::wstring shown;
    for (size_t i = 0; i < caption.size(); i++)
        if (caption[i] != L'&' || (i + 1 < caption.size() && caption[++i] == L'&')) shown += caption[i];
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size = {};
    GetTextExtentPoint32W(screen, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return size.cx;
}

// The room a control leaves its caption: a frame's corners, a box's square, a button's edges.
int captionRoom(HWND control, const std::string& className) {
    RECT r;
    GetClientRect(control, &r);
    const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (className != "Button") return r.right;
    if (type == BS_GROUPBOX) return r.right - 16;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)
        return r.right - 16;
    return r.right - 6;
}

// Every label and button of a window: in English plain ASCII and whole within its control.
void expectCaptionsInLanguage(HWND window, const char* where) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        const std::wstring caption = wideTextOf(child);
        if (!expectEnglish() || caption.empty() || !IsWindowVisible(child)) continue;
        if (std::string(className) != "Button" && std::string(className) != "Static") continue;
        const LONG kind = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
        if (std::string(className) == "Static" && (kind == SS_ICON || kind == SS_BLACKRECT)) continue;  // no text
        EXPECT_TRUE(plainAscii(caption)) << where << ": control " << GetDlgCtrlID(child) << " reads "
                                         << narrow(caption);
        EXPECT_LE(captionWidth(caption), captionRoom(child, className))
            << where << ": " << narrow(caption) << " is cut";
    }
}

std::wstring listItem(HWND list, int index) {
    wchar_t wide[256] = {};
    DWORD_PTR ignored;
    SendMessageTimeoutW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide), SMTO_BLOCK, kWaitLimitMs, &ignored);
    return wide;
}

struct TooltipSearch {
    DWORD process;
    HWND found;
};
BOOL CALLBACK matchTooltipWindow(HWND candidate, LPARAM raw) {
    auto* search = reinterpret_cast<TooltipSearch*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(candidate, &process);
    char className[32] = {};
    GetClassNameA(candidate, className, sizeof className);
    if (process != search->process || std::string(className) != TOOLTIPS_CLASSA) return TRUE;
    search->found = candidate;
    return FALSE;
}

class LanguageTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        writeFile(path("dTarn.dat"), settingsBytes({0, 0, 2, 1, 0, 0, 2, 0}));
    }

    // Every tooltip of the program by its control, read through a buffer in the program's memory: a tooltip
    // hands its text to its own process only.
    // The tips of the program's tooltip window; unreadable when it has tools but lists none of them, as under a
    // runner whose processes cannot share memory.
    std::map<HWND, std::wstring> tooltips(bool& unreadable) const {
        std::map<HWND, std::wstring> tips;
        TooltipSearch search{process.dwProcessId, nullptr};
        EnumWindows(matchTooltipWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) return tips;
        const size_t kTextChars = 1024;
        char* remote = static_cast<char*>(
            VirtualAllocEx(process.hProcess, nullptr, 4096 + kTextChars * 2, MEM_COMMIT, PAGE_READWRITE));
        if (remote == nullptr) return tips;
        const LRESULT count = sendTo(search.found, TTM_GETTOOLCOUNT);
        for (LRESULT i = 0; i < count; i++) {
            TTTOOLINFOW tool = {};
            tool.cbSize = sizeof tool;
            WriteProcessMemory(process.hProcess, remote, &tool, sizeof tool, nullptr);
            if (!sendTo(search.found, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote))) continue;
            ReadProcessMemory(process.hProcess, remote, &tool, sizeof tool, nullptr);
            tool.lpszText = reinterpret_cast<wchar_t*>(remote + 4096);
            wchar_t text[kTextChars] = {};
            WriteProcessMemory(process.hProcess, remote + 4096, text, sizeof text, nullptr);
            WriteProcessMemory(process.hProcess, remote, &tool, sizeof tool, nullptr);
            sendTo(search.found, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote));
            ReadProcessMemory(process.hProcess, remote + 4096, text, sizeof text - 2, nullptr);
            tips[reinterpret_cast<HWND>(tool.uId)] = text;
        }
        VirtualFreeEx(process.hProcess, remote, 0, MEM_RELEASE);
        unreadable = count > 0 && tips.empty();
        return tips;
    }

    // A dialog of the program's owned by its main window (a chooser).
    HWND ownedDialog() const {
        HWND found = nullptr;
        for (HWND w = GetTopWindow(nullptr); w != nullptr && found == nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char className[32] = {};
            GetClassNameA(w, className, sizeof className);
            if (owner == process.dwProcessId && std::string(className) == "#32770" && IsWindowVisible(w) &&
                GetWindow(w, GW_OWNER) == window)
                found = w;
        }
        return found;
    }
    // Whether a control anywhere in the dialog shows exactly this text.
    static bool childReads(HWND dialog, const std::string& wanted) {
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (textOf(child) == wanted || childReads(child, wanted)) return true;
        return false;
    }

    // The next message: its lines in the expected language and whole, then its first button pressed.
    Shown answerInLanguage() {
        HWND dialog = nullptr;
        Shown shown;
        if (!waitFor([&] { return (dialog = find("#32770", kDialogCaption)) != nullptr; })) return shown;
        expectCaptionsInLanguage(dialog, "message");
        return answer(1);
    }

    void checkMainWindow() {
        loadReport();
        expectCaptionsInLanguage(window, "main window");
        // A few captions by control, the start button's written by the program after the analysis.
        const struct {
            int id;
            const char* chinese;
            const char* english;
        } captions[] = {{1, "开始劈分(&S)", "&Start split"}, {1001, "选择(&I)...", "Se&lect..."},
                        {1011, "使用CRC(&C)", "Use &CRC"},    {1026, "自动运行(&L)", "Assoc&iate"},
                        {2, "取消", "Cancel"},                {1008, "字节", "bytes"}};
        for (const auto& c : captions) EXPECT_EQ(text(c.id), inLanguage(c.chinese, c.english)) << c.id;
        // The lists: every item in the language, a few by name.
        for (int list : {1006, 1009, 1017, 1025, 1027}) {
            const int count = static_cast<int>(send(list, CB_GETCOUNT));
            EXPECT_GT(count, 1) << list;
            for (int i = 0; i < count; i++)
                EXPECT_TRUE(!expectEnglish() || plainAscii(listItem(item(list), i))) << narrow(listItem(item(list), i));
        }
        EXPECT_EQ(narrow(listItem(item(1006), 3)), inLanguage("超级软盘", "Super floppy"));
        EXPECT_EQ(narrow(listItem(item(1017), 2)), inLanguage("同名文件夹", "Folder of its name"));
        EXPECT_EQ(narrow(listItem(item(1027), 1)), inLanguage("1个", "1 volume"));
        // The tooltips: the window's own and those the program attaches as the input changes.
        bool unreadable = false;
        const std::map<HWND, std::wstring> tips = tooltips(unreadable);
        if (unreadable) {
            // The emulated 32-bit runner maps another process's memory elsewhere: the 64-bit suite reads the tips.
            std::printf("tooltips not read: this runner cannot share memory with another process\n");
            return;
        }
        EXPECT_GE(tips.size(), 20u);
        for (const auto& tip : tips) {
            EXPECT_TRUE(!expectEnglish() || plainAscii(tip.second)) << tip.first << ": " << narrow(tip.second);
        }
        ASSERT_TRUE(tips.count(item(2)) && tips.count(item(1)));
        EXPECT_EQ(narrow(tips.at(item(2))), inLanguage("放弃作业并退出", "Abandon the job and quit"));
        EXPECT_EQ(narrow(tips.at(item(1))), inLanguage("开始劈分", "Start splitting"));
    }

    void checkAboutDialog() {
        // The about dialog, each of its pages.
        press(1000);
        HWND about = nullptr;
        const std::string caption = inLanguage("关于Tarn", "About Tarn");
        ASSERT_TRUE(waitFor([&] { return (about = find("#32770", caption.c_str())) != nullptr; }));
        expectCaptionsInLanguage(about, "about");
        HWND pages = GetDlgItem(about, 1003);
        EXPECT_EQ(narrow(listItem(pages, 0)), inLanguage("邮件详情", "Postal address"));
        sendTo(pages, CB_SETCURSEL, 1);
        sendTo(about, WM_COMMAND, MAKEWPARAM(1003, CBN_SELCHANGE), reinterpret_cast<LPARAM>(pages));
        EXPECT_EQ(textOf(GetDlgItem(about, 1015)).rfind(inLanguage("程序位置:\r\n", "Program folder:\r\n"), 0), 0u)
            << textOf(GetDlgItem(about, 1015));
        EXPECT_EQ(textOf(GetDlgItem(about, 3)), inLanguage("打开目录", "Open folders"));
        bool unreadable = false;
        const std::map<HWND, std::wstring> aboutTips = tooltips(unreadable);
        if (!unreadable) {
            ASSERT_TRUE(aboutTips.count(GetDlgItem(about, 3)));
            EXPECT_EQ(narrow(aboutTips.at(GetDlgItem(about, 3))),
                      inLanguage("打开程序安装目录以及程序数据储存目录.",
                                 "Open the program's folder and the folder that keeps its data."));
        }
        expectCaptionsInLanguage(about, "about, folders page");
        for (int page = 0; page < 3; page++)
            EXPECT_TRUE(!expectEnglish() || plainAscii(listItem(pages, page))) << narrow(listItem(pages, page));
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(about); }));
    }

    void checkWizard() {
        // The wizard, page by page: the sheet's caption is the page's title.
        press(1010);
        ASSERT_TRUE(sheetOpens());
        const struct {
            const char* chinese;
            const char* english;
        } titles[] = {{"选择文件", "Choose a file"}, {"劈分模式", "Split mode"},
                      {"选择目标位置", "Choose the destination"}, {"选项", "Options"}};
        for (int number = 1; number <= 4; number++) {
            ASSERT_TRUE(onPage(number));
            const std::string title = inLanguage(titles[number - 1].chinese, titles[number - 1].english);
            EXPECT_TRUE(waitFor([&] { return textOf(sheet) == title; })) << textOf(sheet);
            expectCaptionsInLanguage(page(), titles[number - 1].english);
            // The sheet's own buttons too, whatever the system's language (Japanese under ja_JP).
            if (expectEnglish()) {
                EXPECT_EQ(textOf(GetDlgItem(sheet, kNextButton)), "&Next >");
                EXPECT_EQ(textOf(GetDlgItem(sheet, IDCANCEL)), "Cancel");
                EXPECT_TRUE(number < 4 || textOf(GetDlgItem(sheet, kFinishButton)) == "Finish")
                    << textOf(GetDlgItem(sheet, kFinishButton));
            }
            if (number < 4) {
                ASSERT_NO_FATAL_FAILURE(next(number + 1));
            }
        }
        pressSheet(PSBTN_CANCEL);
        ASSERT_TRUE(sheetCloses());
    }

    void checkMessages() {
        // A split with one recovery volume, its result; then two pieces lost, and the join's refusal, numbers and all.
        // Into a folder named here: the wizard's pages ask the shell for the desktop, and Wine's shell may have
        // written the real one back into the registry by now, where another test may have left a set.
        select(1017, 0);  // "文件夹"
        setText(1004, desktop + "\\report");
        select(1027, 1);
        press(1);
        const Shown done = answerInLanguage();
        EXPECT_EQ(done.lines[1], inLanguage("已完成", "Done")) << done.lines[0] << " " << done.lines[3];
        ASSERT_TRUE(idleAgain());
        const std::string set = desktop + "\\report\\";
        ASSERT_TRUE(DeleteFileA((set + "repo0002.trn").c_str()));
        ASSERT_TRUE(DeleteFileA((set + "repo0003.trn").c_str()));
        setText(1002, set + "repo0001.trn");
        ASSERT_TRUE(waitFor([&] { return text(1) == inLanguage("开始合并!(&S)", "&Start join!"); })) << text(1);
        press(1);
        const Shown refused = answerInLanguage();
        EXPECT_EQ(refused.lines[0], inLanguage("丢失或损坏的块太多, 无法修复.", "Too many pieces lost or damaged to repair."));
        EXPECT_EQ(refused.lines[1],
                  inLanguage("需要 2 块, 恢复卷中只有 1 块.", "2 pieces needed, the recovery volumes hold only 1."));
        EXPECT_EQ(refused.lines[2], inLanguage("没有创建任何文件.", "No file was created."));
        ASSERT_TRUE(idleAgain());
    }

    void checkChoosers() {
        // The file chooser's first filter and the folder chooser's title, last: the shell writes the real desktop
        // back into the registry when they open. A file loaded again enables the output folder's chooser.
        setText(1002, path("report.doc"));
        ASSERT_TRUE(waitFor([&] { return enabled(1003); }));
        press(1001);
        HWND chooser = nullptr;
        ASSERT_TRUE(waitFor([&] { return (chooser = ownedDialog()) != nullptr && GetDlgItem(chooser, 1136); }));
        EXPECT_EQ(narrow(listItem(GetDlgItem(chooser, 1136), 0)), inLanguage("所有文件", "All files"));
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(chooser); }));
        press(1003);
        ASSERT_TRUE(waitFor([&] { return (chooser = ownedDialog()) != nullptr; }));
        EXPECT_TRUE(waitFor([&] { return childReads(chooser, inLanguage("选择输出文件夹:", "Choose the output folder:")); }));
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(waitFor([&] { return !IsWindow(chooser); }));
    }
};

TEST_F(LanguageTest, EveryWindowSpeaksTheInterfaceLanguage) {
    ASSERT_NO_FATAL_FAILURE(checkMainWindow());
    ASSERT_NO_FATAL_FAILURE(checkAboutDialog());
    ASSERT_NO_FATAL_FAILURE(checkWizard());
    ASSERT_NO_FATAL_FAILURE(checkMessages());
    ASSERT_NO_FATAL_FAILURE(checkChoosers());
    pressEscape();
    EXPECT_EQ(exitCode(), 7u);  // the last job's: too much damage
}
}  // namespace
