// The interactive program's main window on Windows.
#include "ui/mainwindow.h"

// The main window is built by a later change; until then the interactive program shows nothing and returns.
void runMainWindow() {}
