// The worker's side of the set core's events: jobPhase 100-199 while data moves, the caption, the questions.
#include "engine/workerevents.h"

#include <algorithm>

#include "engine/jobstate.h"
#include "engine/worker.h"
#include "os/files.h"
#include "set/format.h"
#include "text/textops.h"

WorkerEvents::WorkerEvents(WindowRef window, std::vector<uint64_t> pieceBytes, bool split)
    : window_(window), split_(split) {
    uint64_t at = 0;
    for (uint64_t bytes : pieceBytes) ends_.push_back(at += bytes);
}

WorkerEvents::WorkerEvents(WindowRef window, uint64_t total, const char* caption)
    : window_(window), ends_{total}, split_(false), fixed_(caption) {}

void WorkerEvents::caption(uint32_t index) {
    char text[kTextBufferSize];
    if (!fixed_.empty()) {
        copyTextBounded(fixed_.c_str(), text, kTextBufferSize);
    } else if (split_) {
        char number[16];
        uintToText(index, number);
        copyText("正在劈分文件", text);
        appendText(text, number);
    } else {
        char digits[16];
        zeroPadNumber(static_cast<int32_t>(index), digits, 4);
        copyText("正在合并", text);
        appendText(text, jobState.pieceStem);
        appendText(text, digits);
        appendText(text, ".trn");
    }
    jobState.pieceIndex = index;
    setWindowCaption(window_, text);
}

void WorkerEvents::advance(uint64_t bytes) {
    std::lock_guard<std::mutex> hold(mutex_);
    done_ += bytes;
    const uint64_t total = ends_.empty() ? 0 : ends_.back();
    const uint64_t value = total == 0 ? 0 : std::min<uint64_t>(99, done_ * 100 / total);
    jobState.jobPhase.store(kPhaseCopying + static_cast<uint32_t>(value), std::memory_order_relaxed);
    if (split_ && !paths.empty()) return;  // a removable split captions each piece as it begins
    const uint32_t index =
        static_cast<uint32_t>(std::upper_bound(ends_.begin(), ends_.end(), done_ == 0 ? 0 : done_ - 1) - ends_.begin()) + 1;
    if (index != shown_ && index <= ends_.size()) {
        shown_ = index;
        caption(index);
    }
}

bool WorkerEvents::stopRequested() { return jobState.jobResult.load(std::memory_order_relaxed) == kResultCancelled; }

bool WorkerEvents::pieceBegins(uint32_t index) {
    caption(index);
    if (index != 1) askMediumReady(window_, "");
    if (stopRequested()) return false;
    const std::string& path = paths.at(index - 1);
    if (osNameTaken(path.c_str())) {
        askOverwrite(window_, path.c_str());
        if (stopRequested()) return false;
        osRemoveFile(path);
    }
    return true;
}

bool WorkerEvents::pieceReady(uint32_t, const std::string&) {
    askMediumReady(window_, "文件读取错误");
    return !stopRequested();
}
