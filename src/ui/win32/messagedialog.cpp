// The message dialog (template 1005): every prompt and result of the program, driven by messageParams.
#include <windows.h>

#include "engine/messages.h"
#include "os/widetext_win32.h"
#include "ui/win32/messagedialog_ids.h"
#include "ui/win32/uitext.h"

namespace {
const int kLineIds[] = {IDC_MESSAGE_LINE1, IDC_MESSAGE_LINE2, IDC_MESSAGE_LINE3, IDC_MESSAGE_LINE4};
const int kButtonIds[] = {IDC_MESSAGE_CONTINUE, IDC_MESSAGE_CANCEL};

void setItemText(HWND dialog, int id, const char* text) { SetDlgItemTextW(dialog, id, osWideText(text).c_str()); }

void showItem(HWND dialog, int id, bool visible) { ShowWindow(GetDlgItem(dialog, id), visible ? SW_SHOW : SW_HIDE); }

// The widest of the lines in the dialog's font, in pixels.
int widestLine(HWND dialog) {
    HDC screen = GetDC(dialog);
    HGDIOBJ old = SelectObject(screen, reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
    int widest = 0;
    for (int id : kLineIds) {
        wchar_t text[1024] = L"";
        const int length = static_cast<int>(GetDlgItemTextW(dialog, id, text, 1024));
        SIZE size = {};
        GetTextExtentPoint32W(screen, text, length, &size);
        if (size.cx > widest) widest = size.cx;
    }
    SelectObject(screen, old);
    ReleaseDC(dialog, screen);
    return widest;
}

void growControl(HWND dialog, int id, int wider, int right) {
    HWND item = GetDlgItem(dialog, id);
    RECT r;
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(item, nullptr, r.left + right, r.top, r.right - r.left + wider, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// A line wider than the dialog would be cut or wrapped under the next: the dialog grows to the widest line
// (within the screen), its buttons stay under the middle of the lines, and it stays centred.
void fitLines(HWND dialog) {
    RECT line;
    GetClientRect(GetDlgItem(dialog, IDC_MESSAGE_LINE1), &line);
    const int margin = 16;
    RECT frame;
    GetWindowRect(dialog, &frame);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int wider = widestLine(dialog) + margin - line.right;
    if (wider > screenWidth - (frame.right - frame.left)) wider = screenWidth - (frame.right - frame.left);
    if (wider <= 0) return;
    for (int id : kLineIds) growControl(dialog, id, wider, 0);
    growControl(dialog, IDC_MESSAGE_DESCRIPTION, wider, 0);
    for (int id : kButtonIds) growControl(dialog, id, 0, wider / 2);
    const int width = frame.right - frame.left + wider;
    SetWindowPos(dialog, nullptr, (screenWidth - width) / 2, frame.top, width, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void openDialog(HWND dialog) {
    messageParams.messageAnswer = 0;
    translateControls(dialog, MAKEINTRESOURCEA(IDD_MESSAGE));
    if (messageParams.messageTopmost != 0)
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (messageParams.messageMode == kMessageQuestion) showItem(dialog, IDC_MESSAGE_CANCEL, true);
    if (messageParams.messageMode == kMessageDescription) {
        for (int id : kLineIds) showItem(dialog, id, false);
        showItem(dialog, IDC_MESSAGE_DESCRIPTION, true);
    }
    const char* lines[] = {messageParams.messageLine1, messageParams.messageLine2, messageParams.messageLine3,
                           messageParams.messageLine4};
    // The lines in the interface's language; the description is the user's own text and stays as it is.
    for (int i = 0; i < 4; ++i) setItemText(dialog, kLineIds[i], uiTranslate(lines[i]).c_str());
    setItemText(dialog, IDC_MESSAGE_DESCRIPTION, messageParams.messageLine1);
    if (messageParams.messageMode != kMessageDescription) fitLines(dialog);
    if (messageParams.autoCloseSeconds > 0)
        SetTimer(dialog, IDT_MESSAGE_AUTOCLOSE, messageParams.autoCloseSeconds * 1000, nullptr);
}

void closeDialog(HWND dialog, int32_t answer) {
    // A timer tick still queued must not close the dialog a second time.
    KillTimer(dialog, IDT_MESSAGE_AUTOCLOSE);
    messageParams.messageAnswer = answer;
    resetMessageParams();
    EndDialog(dialog, answer);
}

INT_PTR CALLBACK messageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openDialog(dialog);
        // Raised by the worker thread, the dialog would come up behind with an inactive caption: bring it to
        // the front with the focus on its first button.
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, IDC_MESSAGE_CONTINUE));
        return FALSE;
    case WM_COMMAND:
        // By id alone: Escape arrives as IDCANCEL, which is button 2 even while it is hidden.
        if (LOWORD(wParam) == IDC_MESSAGE_CONTINUE) {
            closeDialog(dialog, kAnswerContinue);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_MESSAGE_CANCEL) {
            closeDialog(dialog, kAnswerCancel);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        closeDialog(dialog, kAnswerCancel);
        return TRUE;
    case WM_TIMER:
        if (wParam == IDT_MESSAGE_AUTOCLOSE) {
            closeDialog(dialog, kAnswerContinue);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
}  // namespace

void showMessageDialog(WindowRef owner) {
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MESSAGE),
                                     static_cast<HWND>(owner), messageDialogProc, 0);
    if (result <= 0) {
        // No dialog could be shown, so nobody agreed to anything; callers still expect the block reset.
        messageParams.messageAnswer = kAnswerCancel;
        resetMessageParams();
    }
}
