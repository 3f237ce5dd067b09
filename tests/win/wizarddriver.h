// The setup wizard's side of the driver: finds the sheet of a Tarn.exe under test and works its pages.
#pragma once
#include "tarndriver.h"

#include <prsht.h>

namespace wizarddriver {
using namespace tarndriver;

constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

// A window of one process, found by a search over the top-level windows.
struct ProcessSearch {
    DWORD process;
    HWND found;
};
inline BOOL CALLBACK matchSheet(HWND candidate, LPARAM raw) {
    auto* search = reinterpret_cast<ProcessSearch*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(candidate, &process);
    char className[32] = {};
    GetClassNameA(candidate, className, sizeof className);
    if (process != search->process || !IsWindowVisible(candidate) || std::string(className) != "#32770") return TRUE;
    DWORD_PTR page = 0;
    SendMessageTimeoutA(candidate, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_BLOCK, kWaitLimitMs, &page);
    if (page == 0) return TRUE;  // a message dialog, not the sheet
    search->found = candidate;
    return FALSE;
}

// The main window, shown or not.
inline BOOL CALLBACK matchMainWindow(HWND candidate, LPARAM raw) {
    auto* search = reinterpret_cast<ProcessSearch*>(raw);
    DWORD process = 0;
    GetWindowThreadProcessId(candidate, &process);
    char className[32] = {};
    GetClassNameA(candidate, className, sizeof className);
    if (process != search->process || std::string(className) != "Tarn") return TRUE;
    search->found = candidate;
    return FALSE;
}

class WizardTest : public TarnWindowTest {
protected:
    HWND sheet = nullptr;

    // Starts the program without waiting for its window to show: with the wizard at start-up it stays hidden.
    void start(const std::string& arguments = "") {
        ASSERT_NO_FATAL_FAILURE(startProgram(arguments));
        ASSERT_TRUE(waitFor([&] {
            ProcessSearch search{process.dwProcessId, nullptr};
            EnumWindows(matchMainWindow, reinterpret_cast<LPARAM>(&search));
            return (window = search.found) != nullptr;
        }));
    }
    bool sheetOpens(DWORD limit = kWaitLimitMs) {
        return waitFor(
            [&] {
                ProcessSearch search{process.dwProcessId, nullptr};
                EnumWindows(matchSheet, reinterpret_cast<LPARAM>(&search));
                return (sheet = search.found) != nullptr;
            },
            limit);
    }
    bool sheetCloses() { return waitFor([&] { return !IsWindow(sheet) || !IsWindowVisible(sheet); }); }

    HWND page() const { return reinterpret_cast<HWND>(sendTo(sheet, PSM_GETCURRENTPAGEHWND)); }
    // Which page shows, told by a control only that page has.
    int pageNumber() const {
        HWND current = page();
        if (GetDlgItem(current, 3003)) return 1;
        if (GetDlgItem(current, 1102)) return 2;
        if (GetDlgItem(current, 1018)) return 3;
        if (GetDlgItem(current, 3002)) return 4;
        return 0;
    }
    bool onPage(int number) const { return waitFor([&] { return pageNumber() == number; }); }

    LRESULT sendPage(int id, UINT message, WPARAM w = 0, LPARAM l = 0) const {
        return sendTo(GetDlgItem(page(), id), message, w, l);
    }
    std::string pageText(int id) const { return textOf(GetDlgItem(page(), id)); }
    bool pageEnabled(int id) const { return IsWindowEnabled(GetDlgItem(page(), id)) != 0; }
    bool pageChecked(int id) const { return sendPage(id, BM_GETCHECK) == BST_CHECKED; }
    void pageSet(int id, const std::string& value) const {
        sendPage(id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    }
    void pageClick(int id) const { sendPage(id, BM_CLICK); }
    void typeOnPage(int id, const std::string& keys) const {
        sendPage(id, EM_SETSEL, 0, -1);
        for (char key : keys) sendPage(id, WM_CHAR, static_cast<unsigned char>(key), 1);
    }

    // The sheet's own buttons: the page buttons post their state, so their state is waited for.
    bool sheetButton(int id, bool wantEnabled) const {
        return waitFor([&] {
            HWND button = GetDlgItem(sheet, id);
            return button != nullptr && IsWindowVisible(button) && (IsWindowEnabled(button) != 0) == wantEnabled;
        });
    }
    void pressSheet(int button) const { PostMessageA(sheet, PSM_PRESSBUTTON, button, 0); }
    void next(int expectedPage) {
        pressSheet(PSBTN_NEXT);
        ASSERT_TRUE(onPage(expectedPage)) << "now on page " << pageNumber();
    }

    void writeSettings(uint32_t wizardAtStart, uint32_t outputLocation) {
        writeFile(path("dTarn.dat"), settingsBytes({wizardAtStart, 0, outputLocation, 0, 0, 0, 0, 0}));
    }
    void makeSparseFile(const std::string& name, long long size) {
        HANDLE file = CreateFileA(path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
        ASSERT_EQ(fileSize(path(name)), size);
    }
};

}  // namespace wizarddriver
