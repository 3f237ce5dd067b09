// The one tooltip window shared by the main window and the about dialog, and the calls that attach and detach a tip.
#pragma once
#include <windows.h>

extern HWND tooltipWindow;

// Creates tooltipWindow once (topmost, shown also while the program is inactive).
void createTooltipWindow();
// Attaches text (in the interface's language) to the control of window with this id, or replaces its text; does nothing before the window exists.
void addTooltip(HWND window, int id, const char* text);
// Detaches the tip of that control: the tooltip window outlives a dialog and must keep no tool of a control gone.
void removeTooltip(HWND window, int id);
