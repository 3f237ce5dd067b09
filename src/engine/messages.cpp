// The shared message parameter block and the reset every dialog close performs.
#include "engine/messages.h"

MessageParams messageParams;
std::atomic<uint32_t> messageShowing{0};

void resetMessageParams() {
    messageParams.messageMode = kMessagePlain;
    messageParams.messageLine1 = nullptr;
    messageParams.messageLine2 = nullptr;
    messageParams.messageLine3 = nullptr;
    messageParams.messageLine4 = nullptr;
    messageParams.autoCloseSeconds = 0;
    messageParams.messageTopmost = 1;
}

void showPlainMessage(WindowRef owner, const char* line2) {
    messageParams.messageMode = kMessagePlain;
    messageParams.messageLine2 = line2;
    showMessageDialog(owner);
}
