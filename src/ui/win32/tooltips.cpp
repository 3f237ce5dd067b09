// The one tooltip window shared by the main window and the about dialog, and the calls that attach and detach a tip.
#include "ui/win32/tooltips.h"

#include <commctrl.h>

#include "os/widetext_win32.h"
#include "ui/win32/uitext.h"

HWND tooltipWindow = nullptr;

void createTooltipWindow() {
    if (tooltipWindow != nullptr) return;
    tooltipWindow = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
}

void addTooltip(HWND window, int id, const char* text) {
    HWND control = GetDlgItem(window, id);
    if (tooltipWindow == nullptr || control == nullptr) return;
    std::wstring tip = osWideText(uiText(text));
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = &tip[0];
    // The enable rules attach their tips again at every analysis: a tool already known only changes its text.
    TTTOOLINFOW known = tool;
    known.lpszText = nullptr;
    if (SendMessageW(tooltipWindow, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&known)))
        SendMessageW(tooltipWindow, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    else
        SendMessageW(tooltipWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void removeTooltip(HWND window, int id) {
    if (tooltipWindow == nullptr) return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, id));
    SendMessageW(tooltipWindow, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}
