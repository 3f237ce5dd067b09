// The interactive program: the main window on Windows; the native build has none and explains its usage.
#pragma once

void runMainWindow();
