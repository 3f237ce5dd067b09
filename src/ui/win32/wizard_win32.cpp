// The setup wizard: a wizard-style property sheet whose pages write straight into the job and the settings.
#include "ui/win32/wizard_win32.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>

#include "app/cmdline.h"
#include "app/settings.h"
#include "app/shell.h"
#include "engine/analysis.h"
#include "engine/controlrules.h"
#include "engine/jobstate.h"
#include "engine/sizing.h"
#include "engine/window.h"
#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"
#include "ui/win32/mainwindow_win32.h"
#include "ui/win32/uitext.h"
#include "ui/win32/wizard_ids.h"
#include "ui/win32/wizardpage_win32.h"

HWND wizardSheet = nullptr;

namespace {
// The wizard reads its path with a limit of 300 (its key and description: the options page).
constexpr int kPathLimit = 300;

HFONT titleFont = nullptr;

bool idle() { return jobState.jobPhase.load(std::memory_order_acquire) == kPhaseIdle; }
// ---- Page 1: the file ----

void enableNextWhenLoaded(HWND page) {
    if (jobState.inputLoaded == 1) PropSheet_SetWizButtons(GetParent(page), PSWIZB_NEXT);
}

void showLoadedPath(HWND page) {
    if (jobState.inputLoaded == 1) setControlText(page, IDC_WIZ_PATH, jobState.sourcePath);
}

void onFileOpen(HWND page) {
    // The main window took the command-line file at start-up; what it holds now carries over.
    showLoadedPath(page);
    if (titleFont == nullptr) {
        // 30 pixels at 96 DPI, grown with the display like the rest of the page.
        HDC screen = GetDC(page);
        int height = MulDiv(30, GetDeviceCaps(screen, LOGPIXELSY), 96);
        ReleaseDC(page, screen);
        titleFont = CreateFontA(height, 0, 0, 0, 50, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    }
    SendDlgItemMessageA(page, IDC_WIZ_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), TRUE);
}

// A typed path is analysed as the main window's field is, so that Next always leads on with a checked input.
void onPathTyped(HWND page) {
    if (!idle()) return;  // the analysis writing the field itself
    char typed[kTextBufferSize] = "";
    getControlText(page, IDC_WIZ_PATH, typed, kPathLimit);
    if (std::strcmp(typed, jobState.sourcePath) == 0) return;
    copyText(typed, jobState.sourcePath);
    jobState.inputLoaded = 0;
    analyseInput(page);
    PropSheet_SetWizButtons(GetParent(page), jobState.inputLoaded == 1 ? PSWIZB_NEXT : 0);
}

void onFileCommand(HWND page, int id, int code) {
    switch (id) {
    case IDC_WIZ_CHOOSE_FILE:
        if (pickFile(page, jobState.sourcePath) == 1) {
            jobState.inputLoaded = 0;
            analyseInput(page);
            showLoadedPath(page);
            enableNextWhenLoaded(page);
        }
        break;
    case IDC_WIZ_CLOSE:
        settings.wizardAtStart = 0;
        saveSettings();
        PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
        break;
    case IDC_WIZ_PATH:
        if (code == EN_CHANGE) onPathTyped(page);
        break;
    }
}

INT_PTR onFileNotify(HWND page, const NMHDR* note) {
    switch (note->code) {
    case PSN_SETACTIVE:
        becomeCurrent(page, jobState.inputLoaded == 1 ? PSWIZB_NEXT : 0);
        return answer(page, 0);
    case PSN_KILLACTIVE:
        getControlText(page, IDC_WIZ_PATH, jobState.sourcePath, kPathLimit);
        return answer(page, FALSE);
    case PSN_WIZNEXT:
        // A piece set has nothing to split: straight on to the destination.
        return answer(page, jobState.isSplit == 0 ? IDD_WIZARD_DESTINATION : 0);
    }
    return FALSE;
}

INT_PTR CALLBACK filePage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        onDropFiles(page, reinterpret_cast<HDROP>(wParam));
        enableNextWhenLoaded(page);
        return TRUE;
    }
    return pageMessage({onFileOpen, onFileCommand, onFileNotify}, page, message, wParam, lParam);
}

// ---- Page 2: how to split ----

// Preset entries of the nine buttons 1102..1110.
const uint32_t kButtonPresets[] = {1, 2, 3, 4, 5, 6, 7, 8, 18};

void enableSizeAndCount(HWND page, bool size, bool count) {
    enableControl(page, IDC_WIZ_SIZE, size);
    enableControl(page, IDC_WIZ_COUNT, count);
}

void onSplitOpen(HWND page) {
    check(page, IDC_WIZ_PRESET_FIRST, true);
    enableSizeAndCount(page, false, false);
    setControlNumber(page, IDC_WIZ_SIZE, 900);
}

void onPresetButton(HWND page, int id) {
    jobState.inputLoaded = 0;
    uint32_t size = presetSize(page, kButtonPresets[id - IDC_WIZ_PRESET_FIRST]);
    if (size != 0) {
        enableSizeAndCount(page, false, false);
        jobState.inputLoaded = 1;
        setControlNumber(page, IDC_WIZ_SIZE, size);  // its change handler works out the count
    } else {
        jobState.inputLoaded = 1;
    }
}

void onSplitCommand(HWND page, int id, int code) {
    if (jobState.isSplit == 0) return;
    if (id >= IDC_WIZ_PRESET_FIRST && id <= IDC_WIZ_PRESET_LAST) {
        if (code == BN_CLICKED) onPresetButton(page, id);
        return;
    }
    switch (id) {
    case IDC_WIZ_CUSTOM:
        if (code == BN_CLICKED) enableSizeAndCount(page, true, false);
        break;
    case IDC_WIZ_BY_COUNT:
        if (code == BN_CLICKED) enableSizeAndCount(page, false, true);
        break;
    case IDC_WIZ_SIZE:
        if (code == EN_CHANGE && jobState.inputLoaded == 1) {
            jobState.inputLoaded = 0;
            countFromSize(page);
            setControlNumber(page, IDC_WIZ_COUNT, jobState.pieceCount);
            jobState.inputLoaded = 1;
        }
        break;
    case IDC_WIZ_COUNT:
        if (code == EN_CHANGE && jobState.inputLoaded == 1) {
            jobState.inputLoaded = 0;
            jobState.pieceCount = getControlNumber(page, IDC_WIZ_COUNT);
            sizeFromCount(page);
            setControlNumber(page, IDC_WIZ_SIZE, jobState.pieceSizeKB);
            jobState.inputLoaded = 1;
        }
        break;
    }
}

INT_PTR onSplitNotify(HWND page, const NMHDR* note) {
    if (note->code != PSN_SETACTIVE) return FALSE;
    becomeCurrent(page, PSWIZB_BACK | PSWIZB_NEXT);
    return answer(page, 0);
}

INT_PTR CALLBACK splitPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pageMessage({onSplitOpen, onSplitCommand, onSplitNotify}, page, message, wParam, lParam);
}

// ---- Page 3: where the output goes ----

void showDesktop(HWND page) {
    char desktop[kTextBufferSize] = "";
    osReadDesktopFolder(desktop);
    setControlText(page, IDC_WIZ_FOLDER, desktop);
}

void showSourceFolder(HWND page) {
    char folder[kTextBufferSize];
    copyText(jobState.sourcePath, folder);
    folderOfPathTrimmed(folder);
    setControlText(page, IDC_WIZ_FOLDER, folder);
}

void enableFolderChoice(HWND page, bool on) {
    enableControl(page, IDC_WIZ_FOLDER, on);
    enableControl(page, IDC_WIZ_CHOOSE_FOLDER, on);
}

void onDestinationOpen(HWND page) {
    enableFolderChoice(page, false);
    switch (settings.outputLocation) {
    case 3:
        check(page, IDC_WIZ_BESIDE_SOURCE, true);
        showSourceFolder(page);
        break;
    case 2:
        // Shown as choosing it would show it, so the folder on screen is the folder used.
        check(page, IDC_WIZ_DESKTOP_NAMED, true);
        showDesktop(page);
        applyOutputFolderRule(page);
        break;
    case 0:
        check(page, IDC_WIZ_DESKTOP, true);
        showDesktop(page);
        break;
    default:  // "软盘" from the main window's list: no choice here matches, so none is shown
        setControlText(page, IDC_WIZ_FOLDER, "");
        break;
    }
    check(page, IDC_WIZ_REMOVABLE, jobState.removableTarget == 1);
}

void onDestinationCommand(HWND page, int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_WIZ_DESKTOP:
        showDesktop(page);
        settings.outputLocation = 0;
        applyOutputFolderRule(page);
        enableFolderChoice(page, false);
        break;
    case IDC_WIZ_BESIDE_SOURCE:
        showSourceFolder(page);
        settings.outputLocation = 3;
        applyOutputFolderRule(page);
        enableFolderChoice(page, false);
        break;
    case IDC_WIZ_DESKTOP_NAMED:
        showDesktop(page);
        settings.outputLocation = 2;
        applyOutputFolderRule(page);
        enableFolderChoice(page, false);
        break;
    case IDC_WIZ_CHOSEN_NAMED:
        settings.outputLocation = 2;
        applyOutputFolderRule(page);
        enableFolderChoice(page, true);
        break;
    case IDC_WIZ_CHOSEN:
        settings.outputLocation = 0;
        enableFolderChoice(page, true);
        break;
    case IDC_WIZ_CHOOSE_FOLDER: pickOutputFolder(page); break;
    }
}

INT_PTR onDestinationNotify(HWND page, const NMHDR* note) {
    switch (note->code) {
    case PSN_SETACTIVE:
        becomeCurrent(page, PSWIZB_BACK | PSWIZB_NEXT);
        enableControl(page, IDC_WIZ_REMOVABLE, jobState.isSplit == 1);
        return answer(page, 0);
    case PSN_KILLACTIVE:
        getControlText(page, IDC_WIZ_FOLDER, jobState.outputFolder, kTextBufferSize);
        jobState.removableTarget = checked(page, IDC_WIZ_REMOVABLE) ? 1 : 0;
        return answer(page, FALSE);
    case PSN_WIZBACK:
        return answer(page, jobState.isSplit == 0 ? IDD_WIZARD_FILE : 0);
    }
    return FALSE;
}

INT_PTR CALLBACK destinationPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return pageMessage({onDestinationOpen, onDestinationCommand, onDestinationNotify}, page, message, wParam, lParam);
}

// The sheet opens where the main window it stands in for is (centred on it), not in the screen's corner; in English
// its own buttons read English whatever the system's language.
int CALLBACK centreSheet(HWND sheet, UINT message, LPARAM) {
    if (message != PSCB_INITIALIZED) return 0;
    for (size_t i = 0; i < kEnglishWizardButtonCount && englishInterface(); i++)
        SetDlgItemTextA(sheet, kEnglishWizardButtons[i].id, kEnglishWizardButtons[i].english);
    if (mainWindowHandle == nullptr) return 0;
    RECT own, main;
    GetWindowRect(sheet, &own);
    GetWindowRect(static_cast<HWND>(mainWindowHandle), &main);
    int width = own.right - own.left, height = own.bottom - own.top;
    int x = (main.left + main.right - width) / 2, y = (main.top + main.bottom - height) / 2;
    SetWindowPos(sheet, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}
}  // namespace

void SetupWizard(HWND mainWindow) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    struct PageSetup {
        int templateId;
        DLGPROC procedure;
    };
    const PageSetup setups[] = {{IDD_WIZARD_FILE, filePage},
                              {IDD_WIZARD_SPLIT, splitPage},
                              {IDD_WIZARD_DESTINATION, destinationPage},
                              {IDD_WIZARD_OPTIONS, optionsPage}};
    PROPSHEETPAGEW pages[4] = {};
    std::wstring titles[4];
    for (int i = 0; i < 4; i++) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEW(setups[i].templateId);
        pages[i].pfnDlgProc = setups[i].procedure;
        // The sheet takes each page's title from its template, before the page could translate it.
        if (const char* title = englishCaption(MAKEINTRESOURCEA(setups[i].templateId))) {
            titles[i] = osWideText(title);
            pages[i].dwFlags |= PSP_USETITLE;
            pages[i].pszTitle = titles[i].c_str();
        }
    }
    const std::wstring caption = osWideText(kMainCaption);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.pfnCallback = centreSheet;
    header.hwndParent = nullptr;
    header.hInstance = instance;
    header.pszCaption = caption.c_str();
    header.nPages = 4;
    header.nStartPage = 0;
    header.ppsp = pages;
    PropertySheetW(&header);
    wizardSheet = nullptr;
    if (titleFont != nullptr) {
        DeleteObject(titleFont);
        titleFont = nullptr;
    }
    // Whichever button closed it, the window now shows what the job holds, and a start acts on just that.
    showJobState(mainWindow);
    if (jobState.jobPhase.load(std::memory_order_acquire) == kPhaseStartRequested) startJob(mainWindow);
}

void runWizardHidden(HWND mainWindow) {
    ShowWindow(mainWindow, SW_HIDE);
    SetupWizard(mainWindow);
    ShowWindow(mainWindow, SW_SHOW);
}
