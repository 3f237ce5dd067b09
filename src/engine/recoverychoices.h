// The recovery volumes list of the main window and the wizard: its items, and the setting each stands for.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct RecoveryChoice {
    uint32_t count;
    uint32_t percent;
    const char* name;
};

// A few counts for a set mailed or carried in a handful of pieces, shares for sets of many.
inline constexpr RecoveryChoice kRecoveryChoices[] = {
    {0, 0, "无"},   {1, 0, "1个"},  {2, 0, "2个"},  {3, 0, "3个"},   {5, 0, "5个"},    {10, 0, "10个"},
    {5, 1, "5%"},  {10, 1, "10%"}, {20, 1, "20%"}, {50, 1, "50%"}, {100, 1, "100%"},
};
inline constexpr size_t kRecoveryChoiceCount = sizeof kRecoveryChoices / sizeof kRecoveryChoices[0];

// The item that shows the settings' choice; kRecoveryChoiceCount when none does (a value "/r=" gave), which the
// list then shows as one more item, recoveryChoiceText.
size_t recoveryChoiceOf(uint32_t count, uint32_t percent);
std::string recoveryChoiceText(uint32_t count, uint32_t percent);
// The item selected into the settings; the extra item, or none selected, keeps them as they are.
void takeRecoveryChoice(int32_t index);
