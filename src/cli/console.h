// What the subcommands show on standard error: messages in the user's language and the progress bar.
#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "cli/language.h"
#include "set/events.h"

// "tarn: " and the message, formatted with printf arguments, on a line of its own.
void report(const Text& text, ...);
// The same for a message whose outcome the caller returns: report, then return code.
int fail(int code, const Text& text, ...);

// Finishes or undoes what runs stopped in folder left there (set/journal.h), and says so unless quiet.
void recoverFolder(const std::string& folder, bool quiet);

// Bytes in the largest unit that keeps the number at or above 1 ("1.5 GiB").
std::string humanBytes(uint64_t bytes);

// A one-line bar redrawn at most a few times a second: percent, bytes, rate and time left.
// Shown only while standard error is a terminal and the user did not ask for quiet. Threads may share one.
// It is how the commands hear the set core: a signal (Ctrl+C, kill) is its request to stop.
class Progress : public SetEvents {
public:
    // total 0: unknown (a stream), shown as bytes and rate only.
    Progress(uint64_t total, bool wanted);
    ~Progress();
    void advance(uint64_t bytes) override;
    bool stopRequested() override;
    // Clears the bar so that the next message starts on a clean line.
    void finish();

private:
    void draw(bool force);
    std::mutex mutex_;
    uint64_t total_;
    uint64_t done_ = 0;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
};
