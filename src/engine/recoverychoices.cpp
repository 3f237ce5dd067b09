// Between the recovery volumes list's items and the two settings they stand for.
#include "engine/recoverychoices.h"

#include "engine/jobstate.h"

size_t recoveryChoiceOf(uint32_t count, uint32_t percent) {
    size_t i = 0;
    while (i < kRecoveryChoiceCount &&
           !(kRecoveryChoices[i].count == count && (count == 0 || kRecoveryChoices[i].percent == percent)))
        i++;
    return i;
}

std::string recoveryChoiceText(uint32_t count, uint32_t percent) {
    return std::to_string(count) + (percent ? "%" : "个");
}

void takeRecoveryChoice(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= kRecoveryChoiceCount) return;
    settings.recoveryCount = kRecoveryChoices[index].count;
    settings.recoveryPercent = kRecoveryChoices[index].percent;
}
