// Files dropped on the real main window, in-process: a dropped-files handle cannot be handed to another process.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/window.h"
#include "ui/mainwindow.h"
#include "ui/win32/wizard_win32.h"

namespace {
const DWORD kWaitLimitMs = 20000;

bool waitFor(bool (*condition)(), DWORD limit = kWaitLimitMs) {
    for (DWORD waited = 0; waited < limit; waited += 20) {
        if (condition()) return true;
        Sleep(20);
    }
    return condition();
}

HWND mainWindow() { return static_cast<HWND>(mainWindowHandle); }

std::string text(int id) {
    char buffer[1024] = {};
    GetDlgItemTextA(mainWindow(), id, buffer, sizeof buffer);
    return buffer;
}

// What the shell hands over on a drop: the DROPFILES block with its list of paths.
HDROP dropOf(const std::vector<std::string>& paths) {
    size_t bytes = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths) bytes += p.size() + 1;
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* list = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& p : paths) {
        memcpy(list, p.c_str(), p.size() + 1);
        list += p.size() + 1;
    }
    GlobalUnlock(block);
    return static_cast<HDROP>(block);
}

// Sent rather than posted as the shell does: a sent message is handled before the call returns, where a posted
// one can still wait behind messages sent by this thread later.
void drop(const std::vector<std::string>& paths) {
    SendMessageA(mainWindow(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf(paths)), 0);
}

bool wizardNextEnabled() {
    HWND next = GetDlgItem(wizardSheet, 0x3024);
    return next != nullptr && IsWindowEnabled(next) != 0;
}

TEST(MainWindowDrop, DroppedFilesLoadAndDroppedFoldersBecomeTheOutput) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tarn-drop-" + std::to_string(GetTickCount());
    const std::string outFolder = folder + "\\out";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(outFolder.c_str(), nullptr);
    const std::string file = folder + "\\photo.jpg";
    std::ofstream(file, std::ios::binary) << std::string(50000, 'x');
    const std::string other = folder + "\\second.txt";
    std::ofstream(other, std::ios::binary) << std::string(70000, 'y');

    copyText((folder + "\\").c_str(), dataFolder);
    loadSettings();  // no settings file there: the defaults, output folder named after the file
    struct Seen {
        std::string beforeLoad, name, size, outputAfterFolder, outputAgain, nameAfterTwo, duringJob;
        uint32_t loadedBefore = 9;
        std::string wizardPath, wizardSource;
        bool wizardNext = false;
    } seen;
    std::thread driver([&] {
        if (!waitFor([] { return mainWindowHandle != nullptr && text(kIdPath) == "未选中文件"; })) return;
        drop({outFolder});
        seen.beforeLoad = text(kIdOutputFolder);
        seen.loadedBefore = jobState.inputLoaded;
        drop({file});
        seen.name = text(kIdNameDisplay);
        seen.size = text(kIdSizeDisplay);
        drop({outFolder});
        seen.outputAfterFolder = text(kIdOutputFolder);
        drop({outFolder + "\\photo"});
        seen.outputAgain = text(kIdOutputFolder);
        drop({other, file});  // only the first of several is taken
        seen.nameAfterTwo = text(kIdNameDisplay);
        // While a job runs a drop changes nothing.
        jobState.jobPhase.store(kPhaseRunning);
        drop({file});
        seen.duringJob = text(kIdNameDisplay);
        jobState.jobPhase.store(kPhaseIdle);

        // The wizard's first page takes drops through the same handler.
        PostMessageA(GetDlgItem(mainWindow(), kIdWizard), BM_CLICK, 0, 0);
        if (waitFor([] { return wizardSheet != nullptr && IsWindowVisible(wizardSheet); })) {
            HWND page = PropSheet_GetCurrentPageHwnd(wizardSheet);
            SendMessageA(page, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({file})), 0);
            char shown[MAX_PATH] = {};
            GetDlgItemTextA(page, kIdPath, shown, sizeof shown);
            seen.wizardPath = shown;
            seen.wizardSource = jobState.sourcePath;
            seen.wizardNext = waitFor(wizardNextEnabled, 5000);  // the page may post its button state
            PropSheet_PressButton(wizardSheet, PSBTN_CANCEL);
            waitFor([] { return wizardSheet == nullptr; });
        }
        PostMessageA(mainWindow(), WM_CLOSE, 0, 0);
    });
    runMainWindow();
    driver.join();
    EXPECT_NE(seen.beforeLoad, outFolder);  // a folder before any file is loaded does nothing
    EXPECT_EQ(seen.loadedBefore, 0u);
    EXPECT_EQ(seen.name, "photo.jpg");
    EXPECT_EQ(seen.size, "50, 000");
    EXPECT_EQ(seen.outputAfterFolder, outFolder + "\\photo");
    EXPECT_EQ(seen.outputAgain, outFolder + "\\photo");  // the name is appended once
    EXPECT_EQ(seen.nameAfterTwo, "second.txt");
    EXPECT_EQ(seen.duringJob, "second.txt");
    EXPECT_EQ(seen.wizardPath, file);
    EXPECT_EQ(seen.wizardSource, file);
    EXPECT_TRUE(seen.wizardNext);
    DeleteFileA((folder + "\\dTarn.dat").c_str());  // the wizard button saves the settings
    DeleteFileA(file.c_str());
    DeleteFileA(other.c_str());
    RemoveDirectoryA(outFolder.c_str());
    RemoveDirectoryA(folder.c_str());
}
}  // namespace
