// The about dialog: the maker's addresses handed to the mail program and the browser, and three information pages
// (postal address, program and data folders, the running system).
#include "ui/win32/aboutdialog_win32.h"

#include "app/maker.h"
#include "app/osdescription.h"
#include "engine/jobstate.h"
#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"
#include "ui/win32/aboutdialog_ids.h"
#include "ui/win32/tooltips.h"
#include "ui/win32/uitext.h"

bool aboutOpen = false;

namespace {
const char kFoldersTip[] = "打开程序安装目录以及程序数据储存目录.";

// The platform's default handler, no verb, shown normally, no owner; a failure reports nothing.
void openWithDefaultHandler(const char* target) { osShellOpen(nullptr, nullptr, target); }

void showPage(HWND dialog, int32_t page) {
    SendDlgItemMessageA(dialog, IDC_ABOUT_PAGES, CB_SETCURSEL, static_cast<WPARAM>(page), 0);
    SetDlgItemTextA(dialog, IDC_ABOUT_WEB, TARN_MAKER_WEB);
    // Button 3 belongs to the folders page alone; on the other pages it is hidden.
    HWND folders = GetDlgItem(dialog, IDC_ABOUT_FOLDERS);
    if (page == kAboutPageFolders) {
        SetWindowTextW(folders, osWideText(uiText("打开目录")).c_str());
        addTooltip(dialog, IDC_ABOUT_FOLDERS, kFoldersTip);
    }
    ShowWindow(folders, page == kAboutPageFolders ? SW_SHOW : SW_HIDE);
    char text[kTextBufferSize];
    aboutPageText(page, text);
    SetDlgItemTextW(dialog, IDC_ABOUT_INFO, osWideText(uiTranslate(text)).c_str());
}

int32_t currentPage(HWND dialog) {
    return static_cast<int32_t>(SendDlgItemMessageA(dialog, IDC_ABOUT_PAGES, CB_GETCURSEL, 0, 0));
}

void initialise(HWND dialog) {
    aboutOpen = true;
    translateControls(dialog, MAKEINTRESOURCEA(IDD_ABOUT));
    SetDlgItemTextA(dialog, IDC_ABOUT_MAIL, TARN_MAKER_MAIL);
    for (int32_t page = 0; page < kAboutPageCount; page++)
        SendDlgItemMessageW(dialog, IDC_ABOUT_PAGES, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(osWideText(uiText(aboutPageName(page))).c_str()));
    showPage(dialog, kAboutPageMail);
}

void sendMail() {
    char description[kTextBufferSize];
    osDescription(description);
    char link[kTextBufferSize];
    buildMailLink(TARN_MAKER_MAIL, uiTranslate(description).c_str(), link);
    openWithDefaultHandler(link);
}

void visitWeb(HWND dialog) {
    char address[kTextBufferSize] = "";
    wchar_t typed[kTextBufferSize] = L"";
    GetDlgItemTextW(dialog, IDC_ABOUT_WEB, typed, kTextBufferSize);
    osCopyNarrow(typed, address, kTextBufferSize);
    openWithDefaultHandler(address);
}

void openFolders(HWND dialog) {
    if (currentPage(dialog) != kAboutPageFolders) return;
    openWithDefaultHandler(programFolder);
    openWithDefaultHandler(dataFolder);
    showPage(dialog, kAboutPageMail);
}

void closeDialog(HWND dialog) {
    aboutOpen = false;
    removeTooltip(dialog, IDC_ABOUT_FOLDERS);
    EndDialog(dialog, IDC_ABOUT_OK);
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog);
        SetFocus(GetDlgItem(dialog, IDC_ABOUT_OK));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        // By id alone. Escape arrives as IDCANCEL (2), which is no control here: it closes the dialog as "确定"
        // does, and so does the close box, which the dialog manager turns into the same command.
        switch (LOWORD(wParam)) {
        case IDC_ABOUT_SEND_MAIL: sendMail(); return TRUE;
        case IDC_ABOUT_VISIT_WEB: visitWeb(dialog); return TRUE;
        case IDC_ABOUT_PAGES: showPage(dialog, currentPage(dialog)); return TRUE;
        case IDC_ABOUT_FOLDERS: openFolders(dialog); return TRUE;
        case IDC_ABOUT_OK:
        case IDCANCEL: closeDialog(dialog); return TRUE;
        }
        return TRUE;
    }
    return FALSE;
}
}  // namespace

void AboutDialog(HWND mainWindow) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), mainWindow, aboutDialogProc, 0);
    // A dialog that could not be shown never closed through "确定".
    aboutOpen = false;
}
