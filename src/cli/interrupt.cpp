// A joined file has its full length from the start, so one left by an interrupted join would look whole: the
// handler removes it. A split asks only to stop, and undoes itself. Only async-signal-safe calls run in handlers.
#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

#include "os/files.h"

namespace {
char pending[PATH_MAX];
char pendingFolder[PATH_MAX];
char pendingTop[PATH_MAX];
volatile sig_atomic_t armed = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Written by a handler, read by every cutting thread: a lock-free atomic is safe for both.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");

void onSignal(int number) {
    if (armed) {
        unlink(pending);
        if (pendingFolder[0] != 0) osRemoveMadeFolders(pendingFolder, pendingTop);
    }
    signal(number, SIG_DFL);
    raise(number);
}

void onStop(int number) { stopSignal.store(number, std::memory_order_relaxed); }

void handleSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;  // without SA_RESTART
    sigemptyset(&action.sa_mask);
    for (int number : kSignals) {
        struct sigaction old {};
        // A signal the caller's shell ignores (nohup, a background job) stays ignored.
        if (sigaction(number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}
}  // namespace

void removeIfInterrupted(const char* path, const char* folder, const char* top) {
    if (std::strlen(path) >= sizeof pending) return;
    std::strcpy(pending, path);
    pendingFolder[0] = 0;
    if (folder != nullptr && std::strlen(folder) < sizeof pendingFolder) std::strcpy(pendingFolder, folder);
    const char* outermost = top != nullptr ? top : folder;  // without a top, only the folder itself
    pendingTop[0] = 0;
    if (outermost != nullptr && std::strlen(outermost) < sizeof pendingTop) std::strcpy(pendingTop, outermost);
    armed = 1;
    handleSignals(onSignal);
}

void stopOnSignal() { handleSignals(onStop); }

bool stopRequested() { return stopSignal.load(std::memory_order_relaxed) != 0; }

void endIfStopped() {
    const int number = stopSignal.load();
    if (number == 0) return;
    signal(number, SIG_DFL);
    raise(number);
}

void keepFromNowOn() { armed = 0; }

HeldSignals::HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int number : kSignals) sigaddset(&held, number);
    pthread_sigmask(SIG_BLOCK, &held, &old_);
}

HeldSignals::~HeldSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
