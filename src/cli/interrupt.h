// A file removed if the process is stopped by a signal (Ctrl+C, kill, a closed terminal) before it is finished.
#pragma once
#include <signal.h>

// Removes path if SIGINT, SIGTERM or SIGHUP ends the process; then the signal ends it as it would have.
void removeIfInterrupted(const char* path);
// The file is finished: a signal from now on leaves it.
void keepFromNowOn();

// Holds the signals above back while it lives: a file created and armed under it is never missed by them, and
// never removed before it is ours. A signal held back arrives when it ends.
class HeldSignals {
public:
    HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
    ~HeldSignals();

private:
    sigset_t old_;
};
