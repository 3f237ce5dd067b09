// Batch mode: sizes the job, runs the worker (on this thread when quiet) and turns jobResult into the exit code.
#include "app/batch.h"

#include <cstdio>

#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/recoveryjob.h"
#include "engine/sizing.h"
#include "engine/worker.h"
#include "os/os.h"

namespace {
constexpr uint32_t kPollMs = 1000;
constexpr uint32_t kResultSeconds = 10;

void workerEntry(void*) { jobWorker(nullptr); }

bool jobEnded() {
    return jobState.jobResult.load(std::memory_order_acquire) != 0 ||
           jobState.jobPhase.load(std::memory_order_acquire) == kPhaseFinished;
}

void showProgress() {
    // Never over a question waiting at the terminal.
    if (messageShowing.load() != 0) return;
    uint32_t phase = jobState.jobPhase.load(std::memory_order_acquire);
    uint32_t percent = phase >= kPhaseCopying && phase < kPhaseFinished ? phase - kPhaseCopying : 0;
    std::fprintf(stderr, "\r%3u%%", percent);
    std::fflush(stderr);
}
}  // namespace

uint32_t runBatchMode() {
    // Only a split is sized here: a join keeps the count its set was written with.
    if (jobState.isSplit == 1) {
        countFromSize(nullptr);
        settlePieceCount();
    }
    jobState.jobPhase.store(kPhaseStartRequested, std::memory_order_release);
    if (jobState.quietMode) {
        jobWorker(nullptr);
        return jobState.jobResult.load();
    }
    ThreadRef worker = osStartThread(workerEntry, nullptr);
    if (worker == nullptr) {
        jobWorker(nullptr);
    } else {
        osReleaseThread(worker);
        bool progress = osStderrIsTerminal();
        for (;;) {
            osSleep(kPollMs);
            if (jobEnded()) break;
            if (progress) showProgress();
        }
        if (progress) std::fprintf(stderr, "\r");
    }
    uint32_t result = jobState.jobResult.load(std::memory_order_acquire);
    // Too much damage for the recovery volumes was told when it was found.
    if (result < 10 && result != kResultUnrepairable) {
        messageParams.messageLine2 = result == kResultSuccess ? "已完成" : "CRC失败";
        if (result == kResultChecksumMismatch && jobState.isSplit == 0) messageParams.messageLine4 = jobState.sourcePath;
        addRebuiltPiecesToResult();
        messageParams.autoCloseSeconds = kResultSeconds;
        showMessageDialog(nullptr);
    }
    return result;
}
