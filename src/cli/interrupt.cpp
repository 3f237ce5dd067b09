// A joined file has its full length from the start, so one left by an interrupted join would look whole: the
// handler removes it. Only async-signal-safe calls run in the handler.
#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {
char pending[PATH_MAX];
volatile sig_atomic_t armed = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int number) {
    if (armed) unlink(pending);
    signal(number, SIG_DFL);
    raise(number);
}
}  // namespace

void removeIfInterrupted(const char* path) {
    if (std::strlen(path) >= sizeof pending) return;
    std::strcpy(pending, path);
    armed = 1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : kSignals) {
        struct sigaction old {};
        // A signal the caller's shell ignores (nohup, a background job) stays ignored.
        if (sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}

void keepFromNowOn() { armed = 0; }

HeldSignals::HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int number : kSignals) sigaddset(&held, number);
    pthread_sigmask(SIG_BLOCK, &held, &old_);
}

HeldSignals::~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
