// Start-up: single instance, folders, settings, privilege probe, defaults, the argument loop, then batch or window.
#pragma once
#include <cstdint>

// Runs the whole program; returns the exit code.
uint32_t programEntry();

void settleFolders();
// Applies every switch of the command line in order (stops at the first token that is not found).
// Returns false when a path switch was too long to take whole (nothing may run then).
bool applyCommandLine();
// Applies one token as a switch.
void applySwitch(const char* token);
