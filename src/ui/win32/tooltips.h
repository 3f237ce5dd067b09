// The one tooltip window shared by the main window and the about dialog, and the call that attaches a tip.
#pragma once
#include <windows.h>

extern HWND tooltipWindow;

// Creates tooltipWindow once (topmost, shown also while the program is inactive).
void createTooltipWindow();
// Attaches text to the control of window with this id, or replaces its text; does nothing before the window exists.
void addTooltip(HWND window, int id, const char* text);
