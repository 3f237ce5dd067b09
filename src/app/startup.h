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
// Called with each "/s=" value and the KiB it set, when set: the native tarn says what it made of a value out of
// range or not a number; Tarn.exe takes them without a word, as it always has.
extern void (*sizeSwitchNote)(const char* value, uint32_t taken);
