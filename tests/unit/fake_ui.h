// Test doubles for the window seam and the message dialog: a fake window of controls and a scripted dialog.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/window.h"

struct FakeControl {
    std::string text;
    uint32_t checked = 0;
    uint32_t enabled = 1;
    int32_t selection = -1;
    uint32_t rangeMin = 0, rangeMax = 0;
    std::string tooltip;
    int writes = 0;  // how often the program wrote its text or number
};

// A window that has exactly the controls added to it; the others are absent and their steps skipped.
struct FakeWindow {
    std::map<int, FakeControl> controls;
    std::string caption;
    std::vector<std::string> captions;  // every caption set, in order
    void add(int id) { controls[id]; }
    FakeControl& at(int id) { return controls.at(id); }
    WindowRef ref() { return this; }
};

// What one showMessageDialog call saw.
struct ShownMessage {
    std::string line1, line2, line3, line4;
    int32_t mode = 0;
    uint32_t autoCloseSeconds = 0;
    WindowRef owner = nullptr;
};

// Every dialog shown since the last reset, and the answers the next questions get (default: continue).
extern std::vector<ShownMessage> shownMessages;
extern std::deque<int32_t> scriptedAnswers;
// Called with every message as it is shown (death tests use it to leave a trace on stderr).
extern void (*messageHook)(const ShownMessage&);
// How often runMainWindow was called.
extern int mainWindowRuns;
// Clears the messages, the answers, the hook and the count.
void resetFakeUi();
