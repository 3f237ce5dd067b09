// What a signal (Ctrl+C, kill, a closed terminal) does to work not yet finished: a file removed, or a stop asked.
#pragma once
#include <signal.h>

// Removes path if SIGINT, SIGTERM or SIGHUP ends the process, and then folder when given (the folder made for it)
// and its parents up to top (the outermost folder made), each only while empty; then the signal ends the process
// as it would have.
void removeIfInterrupted(const char* path, const char* folder = nullptr, const char* top = nullptr);
// The file is finished: a signal from now on leaves it.
void keepFromNowOn();

// For work that undoes itself on failure (a split): the signals above only ask it to stop. Loops look at
// stopRequested(), the work unwinds through its own clean-up, and endIfStopped() then ends the process by the
// signal. A blocked read returns (EINTR) rather than waiting on.
void stopOnSignal();
bool stopRequested();
void endIfStopped();

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
