// The one tooltip window shared by the main window and the about dialog, and the calls that attach and detach a tip.
#include "ui/win32/tooltips.h"

#include <commctrl.h>

#include "ui/win32/uitext.h"

HWND tooltipWindow = nullptr;

void createTooltipWindow() {
    if (tooltipWindow != nullptr) return;
    tooltipWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
}

void addTooltip(HWND window, int id, const char* text) {
    HWND control = GetDlgItem(window, id);
    if (tooltipWindow == nullptr || control == nullptr) return;
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(uiText(text));
    // The enable rules attach their tips again at every analysis: a tool already known only changes its text.
    TTTOOLINFOA known = tool;
    known.lpszText = nullptr;
    if (SendMessageA(tooltipWindow, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&known)))
        SendMessageA(tooltipWindow, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    else
        SendMessageA(tooltipWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void removeTooltip(HWND window, int id) {
    if (tooltipWindow == nullptr) return;
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, id));
    SendMessageA(tooltipWindow, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}
