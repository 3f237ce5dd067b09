// The message dialog (template 1005): every prompt and result of the program, driven by messageParams.
#include <windows.h>

#include "engine/messages.h"
#include "ui/win32/messagedialog_ids.h"

namespace {
const int kLineIds[] = {IDC_MESSAGE_LINE1, IDC_MESSAGE_LINE2, IDC_MESSAGE_LINE3, IDC_MESSAGE_LINE4};

void setItemText(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text != nullptr ? text : ""); }

void showItem(HWND dialog, int id, bool visible) { ShowWindow(GetDlgItem(dialog, id), visible ? SW_SHOW : SW_HIDE); }

void openDialog(HWND dialog) {
    messageParams.messageAnswer = 0;
    if (messageParams.messageTopmost != 0)
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (messageParams.messageMode == kMessageQuestion) showItem(dialog, IDC_MESSAGE_CANCEL, true);
    if (messageParams.messageMode == kMessageDescription) {
        for (int id : kLineIds) showItem(dialog, id, false);
        showItem(dialog, IDC_MESSAGE_DESCRIPTION, true);
    }
    const char* lines[] = {messageParams.messageLine1, messageParams.messageLine2, messageParams.messageLine3,
                           messageParams.messageLine4};
    for (int i = 0; i < 4; ++i) setItemText(dialog, kLineIds[i], lines[i]);
    setItemText(dialog, IDC_MESSAGE_DESCRIPTION, messageParams.messageLine1);
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
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MESSAGE),
                                     static_cast<HWND>(owner), messageDialogProc, 0);
    if (result <= 0) {
        // No dialog could be shown, so nobody agreed to anything; callers still expect the block reset.
        messageParams.messageAnswer = kAnswerCancel;
        resetMessageParams();
    }
}
