// The main window: its class, the message loop, the window procedure and the one-time set-up of its controls.
#include "ui/mainwindow.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/cmdline.h"
#include "engine/analysis.h"
#include "engine/captions.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/recoverychoices.h"
#include "engine/window.h"
#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"
#include "ui/win32/mainwindow_win32.h"
#include "ui/win32/messagedialog_ids.h"
#include "ui/win32/tooltips.h"
#include "ui/win32/uitext.h"
#include "ui/win32/wizard_win32.h"

const char kMainCaption[] = "Tarn 1.51";

namespace {
const wchar_t kClassName[] = L"Tarn";

const char* const kPresetNames[] = {"手动",    "电邮",      "软盘",      "超级软盘",  "Zip 100",    "Zip 250", "Zip 750",
                                    "CD 74",   "CD 80",     "Flash 4",   "Flash 8",   "Flash 16",   "Flash 32",
                                    "Flash 64", "Flash 128", "Flash 256", "Flash 512", "Flash 1024", "DVD"};
const char* const kRebuildNames[] = {"Tarn", "BAT文件"};
const char* const kOutputNames[] = {"文件夹", "软盘", "同名文件夹", "与来源相同"};
const char* const kMemoryNames[] = {"最大", "物理内存", "一半"};

struct Tip {
    int id;
    const char* text;
};
const Tip kTips[] = {
    {kIdCancel, "放弃作业并退出"},
    {kIdChooseFile, "选择要劈分或合并的文件"},
    {kIdPath, "要劈分或合并的文件"},
    {kIdDescription, "文件描述"},
    {kIdSize, "每个被劈分的块的最大大小(单位千字节)"},
    {kIdUseDescription, "如果您想要使用描述请选择此项"},
    {kIdEncrypt, "如果您想要加密被劈分的文件(这项加密安全性不高,但是能防止随意取得文件标识)请选择此项"},
    {kIdKey, "加密字符串 - 至多32个字符"},
    {kIdChooseOutput, "选择存放被劈分文件的文件夹"},
    {kIdOutputList, "输出目标位置"},
    {kIdCount, "劈分的块数"},
    {kIdRebuildList, "重建方式. 只有当大小极为重要时才使用'BAT文件'."},
    {kIdPresetList, "快速'大小'设置(没有其它效果)"},
    {kIdHelp, "打开说明文件"},
    {kIdAbout, "Tarn信息"},
    {kIdWizard, "下次Tarn启动时启用向导"},
    {kIdUseChecksum, "劈分和合并时启用CRC比较"},
    {kIdChecksumDisplay, "最后测试的文件的CRC"},
    {kIdCheckChecksum, "劈分模式中检查当前文件的CRC"},
    {kIdSlider, "快速设置滑块"},
    {kIdMemoryList, "Tarn将试图使用的内存数量"},
    {kIdRecoveryList, "与块放在一起的恢复卷(PAR2文件)的数目. 丢失或损坏的块不多于恢复卷时, 合并时可以重建它们."},
};

template <size_t N>
void fillList(HWND window, int id, const char* const (&items)[N], uint32_t selected) {
    HWND list = GetDlgItem(window, id);
    for (size_t i = 0; i < N; i++)
        SendMessageW(list, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(osWideText(uiText(items[i])).c_str()));
    SendMessageA(list, CB_SETCURSEL, selected < N ? selected : 0, 0);
}

void setArrowRange(HWND window, int id, int low, int high) {
    SendDlgItemMessageA(window, id, UDM_SETRANGE32, low, high);
}

void placeOnTop(HWND window, bool top) {
    SetWindowPos(window, top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace

void fillRecoveryList(HWND window, int id) {
    HWND list = GetDlgItem(window, id);
    for (size_t i = 0; i < kRecoveryChoiceCount; i++)
        SendMessageW(list, CB_INSERTSTRING, i,
                     reinterpret_cast<LPARAM>(osWideText(uiText(kRecoveryChoices[i].name)).c_str()));
    const size_t chosen = recoveryChoiceOf(settings.recoveryCount, settings.recoveryPercent);
    if (chosen == kRecoveryChoiceCount) {
        const std::string text = uiTranslate(recoveryChoiceText(settings.recoveryCount, settings.recoveryPercent).c_str());
        SendMessageW(list, CB_INSERTSTRING, chosen, reinterpret_cast<LPARAM>(osWideText(text).c_str()));
    }
    SendMessageA(list, CB_SETCURSEL, chosen, 0);
}

namespace {
void initMainWindow(HWND window) {
    translateControls(window, "MAINDIALOG");
    // The field's own change handler runs the analysis on this text, which finds no file.
    setControlText(window, kIdPath, uiText("未选中文件"));
    char desktop[kTextBufferSize] = "";
    osReadDesktopFolder(desktop);
    setControlText(window, kIdOutputFolder, desktop);
    jobState.pieceCount = 2;
    jobState.pieceSizeKB = 921;
    jobState.sourceSize.low = 0;
    setControlNumber(window, kIdCount, 2);
    setControlNumber(window, kIdSize, 900);

    fillList(window, kIdPresetList, kPresetNames, 1);
    fillList(window, kIdRebuildList, kRebuildNames, settings.rebuildMethod);
    fillList(window, kIdOutputList, kOutputNames, settings.outputLocation);
    fillList(window, kIdMemoryList, kMemoryNames, settings.memoryMode);
    fillRecoveryList(window, kIdRecoveryList);
    // A stored "软盘" means what choosing it means: pieces go to removable media.
    if (settings.outputLocation == 1) {
        jobState.removableTarget = 1;
        settings.outputLocation = 0;
    }
    setArrowRange(window, kIdCountArrows, 2, 32767);
    setArrowRange(window, kIdSizeArrows, 1, 32767);

    setControlCheck(window, kIdUseChecksum, settings.useChecksum);
    setControlCheck(window, kIdUseDescription, settings.useDescription);
    setControlNumber(window, kIdChecksumDisplay, 0);

    GetSystemMenu(window, TRUE);
    HMENU menu = GetSystemMenu(window, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuAlwaysOnTop, osWideText(uiText("居于最前切换")).c_str());

    createTooltipWindow();
    for (const Tip& tip : kTips) addTooltip(window, tip.id, tip.text);
    addTooltip(window, kIdAutoRun,
               isElevated ? "对TRN文件类型设置自动运行" : "以管理员身份运行Tarn这样就可以对TRN文件类型设置自动运行");
    if (isElevated == 0) {
        SendDlgItemMessageA(window, kIdAutoRun, BCM_SETSHIELD, 0, TRUE);
        setControlText(window, kIdAutoRun, kCaptionAutoRunAdmin);
    }
    // The stored stacking is applied, so the menu toggle and what the user sees agree from the start.
    if (settings.alwaysOnTop == 1) placeOnTop(window, true);

    // The command-line file is taken here, once: the wizard later works with whatever the window holds.
    if (commandLineToken(1, jobState.sourcePath) == tokenFound) loadInput(window);
    if (settings.wizardAtStart == 1) runWizardHidden(window);
}

void toggleAlwaysOnTop(HWND window) {
    settings.alwaysOnTop = 1 - settings.alwaysOnTop;
    placeOnTop(window, settings.alwaysOnTop == 1);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, kTimerInit, 1, nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_DROPFILES:
        onDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kTimerInit) {
            KillTimer(window, kTimerInit);
            initMainWindow(window);
        } else if (wParam == kTimerProgress) {
            onProgressTimer(window);
        }
        return 0;
    case WM_HSCROLL:
        if (jobState.jobPhase.load(std::memory_order_acquire) < kPhaseStartRequested && jobState.inputLoaded == 1) {
            onSlider(window);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:
        if (wParam == kMenuAlwaysOnTop) {
            toggleAlwaysOnTop(window);
            return 0;
        }
        break;
    case WM_CLOSE:
        // The close box destroys the window without saving the settings (the dialog default would press 取消).
        DestroyWindow(window);
        return 0;
    }
    // A window made from a dialog template: the dialog manager's default moves the focus on Tab, keeps the
    // default button and answers WM_GETDLGCODE.
    return DefDlgProcW(window, message, wParam, lParam);
}

bool registerMainClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, 32, 32, 0));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, 16, 16, 0));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the standard arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}
}  // namespace

void runMainWindow() {
    jobState.quietMode = 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!registerMainClass(instance)) return;
    // A Unicode dialog: its controls hold whatever text a user types or the system names.
    HWND window = CreateDialogParamW(instance, L"MAINDIALOG", nullptr, nullptr, 0);
    if (window == nullptr) return;
    mainWindowHandle = window;
    ShowWindow(window, SW_SHOWNORMAL);
    // The wide loop: typed double-byte text reaches the fields whole (the ANSI loop turned it into "?").
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    mainWindowHandle = nullptr;
}
