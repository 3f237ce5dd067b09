// Messages on standard error and the progress bar of the subcommands.
#include "cli/console.h"

#include "cli/interrupt.h"
#include "set/journal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

namespace {
void vreport(const Text& text, va_list arguments) {
    std::fputs("tarn: ", stderr);
    std::vfprintf(stderr, pick(text), arguments);
    std::fputc('\n', stderr);
}

// Columns the bar may fill: one less than the terminal's width, so that it never wraps (a wrapped line cannot be
// redrawn by a carriage return and would leave a trail), and at most 70.
int barRoom() {
    winsize size{};
    int columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    return columns > 71 ? 70 : columns > 1 ? columns - 1 : 1;
}

// Terminal columns of UTF-8 text: the Chinese words of the bar take two each.
int shownWidth(const std::string& text) {
    int width = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) width += c >= 0xE0 ? 2 : 1;
    return width;
}
}  // namespace

void report(const Text& text, ...) {
    va_list arguments;
    va_start(arguments, text);
    vreport(text, arguments);
    va_end(arguments);
}

int fail(int code, const Text& text, ...) {
    va_list arguments;
    va_start(arguments, text);
    vreport(text, arguments);
    va_end(arguments);
    return code;
}

std::string humanBytes(uint64_t bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        unit++;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

Progress::Progress(uint64_t total, bool wanted)
    : total_(total), shown_(wanted && isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()),
      last_(start_) {}

Progress::~Progress() { finish(); }

void Progress::advance(uint64_t bytes) {
    std::lock_guard<std::mutex> hold(mutex_);
    done_ += bytes;
    if (shown_) draw(false);
}

void Progress::draw(bool force) {
    auto now = std::chrono::steady_clock::now();
    // The first drawing comes at once, later ones a few times a second.
    if (!force && drawn_ && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double rate = seconds > 0 ? done_ / seconds : 0;
    std::string percent, line;
    char part[64];
    if (total_ != 0) {
        std::snprintf(part, sizeof part, "%3u%%", static_cast<unsigned>(done_ * 100 / total_));
        percent = part;
        line = percent + "  " + humanBytes(done_) + " / " + humanBytes(total_);
    } else {
        line = percent = humanBytes(done_);
    }
    std::string parts[2] = {"  " + humanBytes(static_cast<uint64_t>(rate)) + "/s", ""};
    if (total_ != 0 && rate > 0 && done_ < total_) {
        auto left = static_cast<unsigned long>((total_ - done_) / rate);
        std::snprintf(part, sizeof part, "  %lu:%02lu:%02lu %s", left / 3600, left / 60 % 60, left % 60,
                      pick({"left", "剩余"}));
        parts[1] = part;
    }
    // A narrow terminal gets the front of the bar: the time left goes first, then the rate, then the byte counts.
    const int room = barRoom();
    if (shownWidth(line) > room) line = percent;
    for (const std::string& more : parts)
        if (shownWidth(line + more) <= room) line += more;
        else break;
    if (shownWidth(line) > room) line.resize(static_cast<size_t>(room));  // ASCII at this point
    std::fprintf(stderr, "\r%-*s", room, line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

bool Progress::stopRequested() { return ::stopRequested(); }

void Progress::finish() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!drawn_) return;
    std::fprintf(stderr, "\r%-*s\r", barRoom(), "");
    std::fflush(stderr);
    drawn_ = false;
}

void recoverFolder(const std::string& folder, bool quiet) {
    const StoppedRuns found = recoverStoppedRuns(folder);
    if (quiet) return;
    if (found.finished > 0)
        report({"a run stopped in '%s' had its new files whole: they now have their names",
                "在 '%s' 中被中断的作业的新文件已完整: 已改为正式名称"},
               folder.c_str());
    if (found.undone > 0)
        report({"removed the unfinished files of a run stopped in '%s'; what was there before is as it was",
                "已删除在 '%s' 中被中断的作业留下的未完成文件; 原有文件未改变"},
               folder.c_str());
}
