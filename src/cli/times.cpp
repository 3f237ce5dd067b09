// Converts between the stored Windows file times and the clock and calendar of this system.
#include "cli/times.h"

#include <ctime>

namespace {
constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
}

uint64_t filetimeNow() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>((now.tv_sec + kEpochDifference) * 10000000LL + now.tv_nsec / 100);
}

std::string filetimeText(uint64_t filetime) {
    if (filetime == 0) return "";
    int64_t seconds = static_cast<int64_t>(filetime / 10000000ULL) - kEpochDifference;
    time_t t = static_cast<time_t>(seconds);
    struct tm parts;
    if (gmtime_r(&t, &parts) == nullptr) return "";
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}
