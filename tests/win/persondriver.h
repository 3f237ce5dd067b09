// Input as a person gives it: keystrokes, typed Unicode text and mouse clicks through the system's input queue
// (SendInput) to the window in front, and the focus read back from the program's own thread.
#pragma once
#include "tarndriver.h"

namespace persondriver {
using namespace tarndriver;

// The control that has the keyboard focus in the thread that owns window.
inline HWND focusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

inline int idOf(HWND control) { return control ? GetDlgCtrlID(control) : 0; }

inline void sendKeys(const std::vector<INPUT>& inputs) {
    std::vector<INPUT> copy = inputs;
    SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT));
}

inline INPUT keyInput(WORD vk, bool up, WORD scan = 0, DWORD flags = 0) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan ? scan : static_cast<WORD>(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = flags | (up ? KEYEVENTF_KEYUP : 0);
    return in;
}

// One key pressed and released, with Shift or Control held when asked.
inline void pressKey(WORD vk, bool shift = false, bool control = false) {
    std::vector<INPUT> inputs;
    if (control) inputs.push_back(keyInput(VK_CONTROL, false));
    if (shift) inputs.push_back(keyInput(VK_SHIFT, false));
    inputs.push_back(keyInput(vk, false));
    inputs.push_back(keyInput(vk, true));
    if (shift) inputs.push_back(keyInput(VK_SHIFT, true));
    if (control) inputs.push_back(keyInput(VK_CONTROL, true));
    sendKeys(inputs);
}

// Characters typed as a keyboard with an input method gives them: each a Unicode key press.
inline void typeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT down = {}, up = {};
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wScan = up.ki.wScan = static_cast<WORD>(c);
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        up.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        sendKeys({down, up});
    }
}

// A letter pressed with Alt held, as a shortcut is.
inline void pressAlt(char letter) {
    sendKeys({keyInput(VK_MENU, false), keyInput(static_cast<WORD>(letter), false),
              keyInput(static_cast<WORD>(letter), true), keyInput(VK_MENU, true)});
}

// A left click in the middle of a control, by screen position.
inline void clickAt(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = static_cast<LONG>((x * 65535LL) / (width - 1));
    in[0].mi.dy = static_cast<LONG>((y * 65535LL) / (height - 1));
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
}

// The window in front takes the keys; a person clicks it first.
inline bool bringToFront(HWND window) {
    SetForegroundWindow(window);
    if (!waitFor([&] { return GetForegroundWindow() == window; }, 5000)) return false;
    // The activation is handled in the program's own time: a dialog puts back the focus it had then.
    Sleep(400);
    return true;
}

// The enabled, visible tab stops of a dialog window in template (Z) order: where Tab must lead, one by one.
inline std::vector<int> tabOrder(HWND dialog) {
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && IsWindowEnabled(child) && IsWindowVisible(child)) ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}
}  // namespace persondriver
