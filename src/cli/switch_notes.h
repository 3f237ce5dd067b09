// What the native tarn says about values of the compatible switches that Tarn.exe takes without a word.
#pragma once
#include <cstdint>

// For "/s=": value as given, taken the KiB the switch set. Says on standard error, in the user's language, what a
// value other than a whole number of 2 to 100000 became; nothing under /q.
void noteSizeSwitch(const char* value, uint32_t taken);
