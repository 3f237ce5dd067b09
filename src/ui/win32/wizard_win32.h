// The setup wizard: four pages that set up one job and start it when the sheet closes with Finish.
#pragma once
#include <windows.h>

// The running sheet, while it is open.
extern HWND wizardSheet;

// Runs the sheet modally; afterwards the main window's enable rules, and the job when Finish asked for one.
// The caller hides the main window before and shows it after.
void SetupWizard(HWND mainWindow);
// The same with the main window hidden meanwhile.
void runWizardHidden(HWND mainWindow);
