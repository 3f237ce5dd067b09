// The window seam on Windows: the engine's control reads and writes as dialog-item calls.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "engine/window.h"
#include "os/widetext_win32.h"
#include "ui/win32/tooltips.h"
#include "ui/win32/uitext.h"

namespace {
// The control, or null for an absent window or control, so every call below can simply skip.
HWND control(WindowRef window, int id) {
    if (window == nullptr) return nullptr;
    return GetDlgItem(static_cast<HWND>(window), id);
}
}  // namespace

// A button's caption is the program's own text, in the interface's language; every other control shows data
// (paths, names, numbers, the description), which stays as it is.
void setControlText(WindowRef window, int id, const char* text) {
    HWND item = control(window, id);
    if (item == nullptr) return;
    char className[16] = "";
    GetClassNameA(item, className, sizeof className);
    if (text != nullptr && lstrcmpiA(className, "Button") == 0) text = uiText(text);
    SetWindowTextW(item, osWideText(text).c_str());
}

void getControlText(WindowRef window, int id, char* out, int limit) {
    if (limit <= 0) return;
    out[0] = 0;
    HWND item = control(window, id);
    if (item == nullptr) return;
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
    osCopyNarrow(text.c_str(), out, static_cast<size_t>(limit));
}

void setControlNumber(WindowRef window, int id, uint32_t value) {
    if (control(window, id) != nullptr) SetDlgItemInt(static_cast<HWND>(window), id, value, FALSE);
}

uint32_t getControlNumber(WindowRef window, int id) {
    if (control(window, id) == nullptr) return 0;
    BOOL ok = FALSE;
    UINT value = GetDlgItemInt(static_cast<HWND>(window), id, &ok, FALSE);
    return ok ? value : 0;
}

void setControlCheck(WindowRef window, int id, uint32_t checked) {
    if (control(window, id) != nullptr)
        CheckDlgButton(static_cast<HWND>(window), id, checked != 0 ? BST_CHECKED : BST_UNCHECKED);
}

uint32_t getControlCheck(WindowRef window, int id) {
    if (control(window, id) == nullptr) return 0;
    return IsDlgButtonChecked(static_cast<HWND>(window), id) == BST_CHECKED ? 1 : 0;
}

void enableControl(WindowRef window, int id, uint32_t enabled) {
    if (HWND item = control(window, id)) EnableWindow(item, enabled != 0);
}

void setWindowCaption(WindowRef window, const char* text) {
    if (window != nullptr) SetWindowTextW(static_cast<HWND>(window), osWideText(uiTranslate(text)).c_str());
}

uint32_t controlHasFocus(WindowRef window, int id) {
    HWND item = control(window, id);
    return item != nullptr && GetFocus() == item ? 1 : 0;
}

int32_t getListSelection(WindowRef window, int id) {
    HWND item = control(window, id);
    if (item == nullptr) return -1;
    return static_cast<int32_t>(SendMessageA(item, CB_GETCURSEL, 0, 0));
}

void setSliderRange(WindowRef window, int id, uint32_t minimum, uint32_t maximum) {
    HWND item = control(window, id);
    if (item == nullptr) return;
    SendMessageA(item, TBM_SETRANGEMIN, FALSE, static_cast<LPARAM>(minimum));
    SendMessageA(item, TBM_SETRANGEMAX, TRUE, static_cast<LPARAM>(maximum));
}

void setControlTooltip(WindowRef window, int id, const char* text) {
    if (window != nullptr) addTooltip(static_cast<HWND>(window), id, text);
}
