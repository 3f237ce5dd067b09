// The one message dialog's shared parameter block and its call; the dialog itself lives in the ui.
#pragma once
#include <atomic>
#include <cstdint>

#include "engine/window.h"

enum : int32_t { kMessagePlain = 0, kMessageQuestion = 1, kMessageDescription = 3 };
enum : int32_t { kAnswerContinue = 1, kAnswerCancel = 2 };

struct MessageParams {
    const char* messageLine1 = nullptr;
    const char* messageLine2 = nullptr;
    const char* messageLine3 = nullptr;
    const char* messageLine4 = nullptr;
    int32_t messageMode = 0;
    uint32_t messageTopmost = 1;
    uint32_t autoCloseSeconds = 0;
    int32_t messageAnswer = 0;
};

extern MessageParams messageParams;

// Non-zero while a message or question is on screen; a progress display keeps quiet meanwhile.
extern std::atomic<uint32_t> messageShowing;

// Opens the dialog modally for the owner (none in batch mode) and returns once it has closed.
void showMessageDialog(WindowRef owner);

// Every close puts the block back to its defaults, keeping only the answer.
void resetMessageParams();

// Shows a plain message with its whole text on line 2.
void showPlainMessage(WindowRef owner, const char* line2);
