// The message dialog of the native build: its lines on stderr, a question answered at the terminal.
#include <cstdio>
#include <cstring>

#include "engine/messages.h"
#include "os/os.h"

namespace {
// A description comes from the piece header: its line breaks are kept (a Windows one without its \r), but no
// other control character reaches the terminal, where an escape could rewrite what the user sees.
void printLine(const char* text) {
    if (text == nullptr || text[0] == 0) return;
    for (const char* p = text; *p; p++) {
        auto c = static_cast<unsigned char>(*p);
        if (c == '\r' && p[1] == '\n') continue;
        const bool control = (c < 0x20 && c != '\n' && c != '\t') || c == 0x7F;
        std::fputc(control ? '?' : c, stderr);
    }
    std::fputc('\n', stderr);
}

// Without a terminal nobody can answer: cancel, so nothing is overwritten or lost.
int32_t askAtTerminal() {
    if (!osStdinIsTerminal()) {
        std::fprintf(stderr, "[取消]\n");
        return kAnswerCancel;
    }
    std::fprintf(stderr, "继续 (c) / 取消 (x)? ");
    std::fflush(stderr);
    char answer[64];
    if (std::fgets(answer, sizeof answer, stdin) == nullptr) return kAnswerCancel;
    if (answer[0] == 'c' || answer[0] == 'C' || answer[0] == 'y' || answer[0] == 'Y' || answer[0] == '1' ||
        std::strncmp(answer, "继续", std::strlen("继续")) == 0)
        return kAnswerContinue;
    return kAnswerCancel;
}
}  // namespace

void showMessageDialog(WindowRef) {
    messageParams.messageAnswer = 0;
    messageShowing.store(1);
    // Start on a clean line: the batch progress may stand on this one.
    if (osStderrIsTerminal()) std::fprintf(stderr, "\r     \r");
    if (messageParams.messageMode == kMessageDescription) {
        std::fprintf(stderr, "----\n");
        printLine(messageParams.messageLine1);
        std::fprintf(stderr, "----\n");
    } else {
        printLine(messageParams.messageLine1);
        printLine(messageParams.messageLine2);
        printLine(messageParams.messageLine3);
        printLine(messageParams.messageLine4);
    }
    std::fflush(stderr);
    int32_t answer = kAnswerContinue;
    if (messageParams.messageMode == kMessageQuestion) answer = askAtTerminal();
    messageParams.messageAnswer = answer;
    resetMessageParams();
    messageShowing.store(0);
}
