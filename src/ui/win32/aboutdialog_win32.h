// The about dialog (template 1025): name and version, the maker's addresses, the information pages.
#pragma once
#include <windows.h>

// True from the dialog's initialisation until its "确定" closes it.
extern bool aboutOpen;

// Shows the dialog modally, owned by the main window, and returns when "确定" has closed it.
void AboutDialog(HWND mainWindow);
