// Windows file times (100 ns since 1601, as a set stores them) for the subcommands: now, and as text.
#pragma once
#include <cstdint>
#include <string>

uint64_t filetimeNow();
// "2026-12-08 09:00:00 UTC"; an empty text for 0 (no time recorded).
std::string filetimeText(uint64_t filetime);
