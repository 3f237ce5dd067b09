// What the main window's set-up and its command handlers share: timer and menu ids, and the handlers.
#pragma once
#include <windows.h>
#include <shellapi.h>

enum : UINT_PTR {
    kTimerProgress = 1,  // 500 ms while a job runs
    kTimerInit = 5,      // fires once, right after the window exists
};
constexpr UINT kProgressPeriodMs = 500;
constexpr UINT kMenuAlwaysOnTop = 5000;
extern const char kMainCaption[];  // "Tarn 1.51", restored after every job

void onCommand(HWND window, int id, int code);
// Analyses jobState.sourcePath for the window and remembers it as the field's analysed text.
void loadInput(HWND window);
// Shows in every control exactly what JobState and the settings hold (after the wizard, by any button).
void showJobState(HWND window);
// The file field's text counts as analysed: writing it shows a file, it asks for no new analysis.
void rememberAnalysedPath(const char* path);
void onSlider(HWND window);
void onDropFiles(HWND window, HDROP drop);
void onProgressTimer(HWND window);

// Shared with the setup wizard, which starts its job in the main window and picks folders for its own page.
// The caller has set jobPhase to 10.
void startJob(HWND window);
void pickOutputFolder(HWND window);
// The recovery volumes list's items, the settings' choice selected (an item of its own when no item shows it).
void fillRecoveryList(HWND window, int id);
