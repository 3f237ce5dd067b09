// What every page of the setup wizard shares: its check boxes, its answers to the sheet, and the one switch its
// procedure goes through.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "ui/win32/uitext.h"
#include "ui/win32/wizard_win32.h"

inline bool checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
inline void check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

// Every page answers a notification through the dialog's result slot.
inline INT_PTR answer(HWND page, LONG_PTR result) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

inline void becomeCurrent(HWND page, DWORD buttons) {
    wizardSheet = GetParent(page);
    PropSheet_SetWizButtons(wizardSheet, buttons);
}

// What one page does when it opens, on a command of its controls and on a notification from the sheet.
struct PageHandlers {
    void (*open)(HWND page);
    void (*command)(HWND page, int id, int code);
    INT_PTR (*notify)(HWND page, const NMHDR* note);
};

// The one switch every page's procedure goes through.
inline INT_PTR pageMessage(const PageHandlers& handlers, HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        // The sheet hands each page its own description, which names the page's template.
        translateControls(page,
                          reinterpret_cast<const char*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->pszTemplate));
        handlers.open(page);
        return TRUE;
    case WM_COMMAND:
        handlers.command(page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return handlers.notify(page, reinterpret_cast<NMHDR*>(lParam));
    }
    return FALSE;
}

// Page 4: rebuild method, checksum, key, description and recovery volumes.
INT_PTR CALLBACK optionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
