// Test doubles behind the window seam and the message dialog, linked into the unit tests instead of the ui.
#include "fake_ui.h"

#include <cstring>

#include "engine/messages.h"
#include "ui/mainwindow.h"

std::vector<ShownMessage> shownMessages;
std::deque<int32_t> scriptedAnswers;
void (*messageHook)(const ShownMessage&) = nullptr;
int mainWindowRuns = 0;

void resetFakeUi() {
    shownMessages.clear();
    scriptedAnswers.clear();
    messageHook = nullptr;
    mainWindowRuns = 0;
}

namespace {
// The control, or null for a null window or a control the window does not have.
FakeControl* controlOf(WindowRef window, int id) {
    if (window == nullptr) return nullptr;
    auto& controls = static_cast<FakeWindow*>(window)->controls;
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : &it->second;
}

std::string textOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }
}  // namespace

void setControlText(WindowRef window, int id, const char* text) {
    if (FakeControl* c = controlOf(window, id)) {
        c->text = textOrEmpty(text);
        c->writes++;
    }
}

void getControlText(WindowRef window, int id, char* out, int limit) {
    if (limit <= 0) return;
    out[0] = 0;
    FakeControl* c = controlOf(window, id);
    if (c == nullptr) return;
    size_t n = c->text.size();
    if (n > static_cast<size_t>(limit - 1)) n = static_cast<size_t>(limit - 1);
    std::memcpy(out, c->text.data(), n);
    out[n] = 0;
}

void setControlNumber(WindowRef window, int id, uint32_t value) {
    if (FakeControl* c = controlOf(window, id)) {
        c->text = std::to_string(value);
        c->writes++;
    }
}

uint32_t getControlNumber(WindowRef window, int id) {
    // Like an unsigned dialog-item read: decimal digits only and within 32 bits, anything else 0.
    FakeControl* c = controlOf(window, id);
    if (c == nullptr || c->text.empty()) return 0;
    uint64_t value = 0;
    for (char ch : c->text) {
        if (ch < '0' || ch > '9') return 0;
        value = value * 10 + static_cast<uint64_t>(ch - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<uint32_t>(value);
}

void setControlCheck(WindowRef window, int id, uint32_t checked) {
    if (FakeControl* c = controlOf(window, id)) c->checked = checked;
}

uint32_t getControlCheck(WindowRef window, int id) {
    FakeControl* c = controlOf(window, id);
    return c != nullptr ? c->checked : 0;
}

void enableControl(WindowRef window, int id, uint32_t enabled) {
    if (FakeControl* c = controlOf(window, id)) c->enabled = enabled;
}

void setWindowCaption(WindowRef window, const char* text) {
    if (window == nullptr) return;
    auto* w = static_cast<FakeWindow*>(window);
    w->caption = textOrEmpty(text);
    w->captions.push_back(w->caption);
}

uint32_t controlHasFocus(WindowRef, int) { return 0; }

int32_t getListSelection(WindowRef window, int id) {
    FakeControl* c = controlOf(window, id);
    return c != nullptr ? c->selection : -1;
}

void setSliderRange(WindowRef window, int id, uint32_t minimum, uint32_t maximum) {
    if (FakeControl* c = controlOf(window, id)) {
        c->rangeMin = minimum;
        c->rangeMax = maximum;
    }
}

void setControlTooltip(WindowRef window, int id, const char* text) {
    if (FakeControl* c = controlOf(window, id)) c->tooltip = textOrEmpty(text);
}

void showMessageDialog(WindowRef owner) {
    messageParams.messageAnswer = 0;
    ShownMessage m;
    m.line1 = textOrEmpty(messageParams.messageLine1);
    m.line2 = textOrEmpty(messageParams.messageLine2);
    m.line3 = textOrEmpty(messageParams.messageLine3);
    m.line4 = textOrEmpty(messageParams.messageLine4);
    m.mode = messageParams.messageMode;
    m.autoCloseSeconds = messageParams.autoCloseSeconds;
    m.owner = owner;
    shownMessages.push_back(m);
    if (messageHook != nullptr) messageHook(m);
    int32_t answer = kAnswerContinue;
    if (m.mode == kMessageQuestion && !scriptedAnswers.empty()) {
        answer = scriptedAnswers.front();
        scriptedAnswers.pop_front();
    }
    messageParams.messageAnswer = answer;
    resetMessageParams();
}

// The unit tests never open the interactive program; they only count that it would have been.
void runMainWindow() { mainWindowRuns++; }
