// The job worker's common start and end, the copy loop with its progress values, and its two questions.
#include "engine/worker.h"

#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/pieceformat.h"
#include "set/safename.h"
#include "engine/sizing.h"
#include "engine/checksum.h"
#include "engine/transferbuffer.h"
#include "os/exitcodes.h"
#include "text/textops.h"

namespace {

// The piece count the progress base divides by: a raw join has none of its own.
uint32_t progressPieces() {
    if (jobState.isSplit == 0 && jobState.rawJoin == 1) return kMaxPieces;
    return jobState.pieceCount == 0 ? 1 : jobState.pieceCount;
}

void storeProgress(uint64_t moved, uint64_t byteCount, uint32_t base) {
    uint64_t fraction = moved * jobState.progressSpan / byteCount;
    uint64_t value = base + jobState.progressStep * fraction / jobState.progressSpan;
    if (value >= 100) value = 99;
    jobState.jobPhase.store(kPhaseCopying + static_cast<uint32_t>(value), std::memory_order_relaxed);
}
}  // namespace

void fatalWriteError(WindowRef window) {
    showPlainMessage(window, "文件写入错误. 磁盘可能已满.");
    osExitProcess(kExitWriteFailure);
}

void askOverwrite(WindowRef window, const char* path) {
    if (!osNameTaken(path)) return;
    messageParams.messageMode = kMessageQuestion;
    messageParams.messageLine1 = "文件已存在.";
    messageParams.messageLine2 = "覆盖它吗?";
    messageParams.messageLine4 = path;
    showMessageDialog(window);
    if (messageParams.messageAnswer == kAnswerCancel) jobState.jobResult.store(kResultCancelled);
}

void askMediumReady(WindowRef window, const char* firstLine) {
    if (jobState.quietMode) {
        jobState.jobResult.store(kResultCancelled);
        return;
    }
    messageParams.messageMode = kMessageQuestion;
    messageParams.messageLine1 = firstLine;
    messageParams.messageLine2 = "可移动媒体就绪了吗?";
    showMessageDialog(window);
    if (messageParams.messageAnswer == kAnswerCancel) jobState.jobResult.store(kResultCancelled);
}

FileHandle copyPiece(WindowRef window, uint64_t byteCount, FileHandle sourceFile, FileHandle pieceFile) {
    bool split = jobState.isSplit == 1;
    if (split) {
        jobState.pieceIndex++;
        char caption[64] = "正在劈分文件";
        char number[16];
        uintToText(jobState.pieceIndex, number);
        setWindowCaption(window, appendText(caption, number));
        if (jobState.removableTarget && jobState.pieceIndex != 1) askMediumReady(window, "");
    }
    if (jobState.jobResult.load() == kResultCancelled) return pieceFile;
    jobState.transferSize = jobState.ioBufferSize < kTransferChunk ? jobState.ioBufferSize : kTransferChunk;
    uint32_t base = static_cast<uint32_t>(static_cast<uint64_t>(jobState.pieceIndex - 1) * jobState.progressSpan /
                                          progressPieces());
    if (split && (settings.rebuildMethod == 1 || jobState.pieceIndex != 1)) {
        char path[kTextBufferSize];
        char name[32];
        pieceNameOf(jobState.pieceStem, jobState.pieceIndex, name);
        if (!pathInFolder(jobState.outputFolder, name, path)) fatalWriteError(window);  // checked at the start
        askOverwrite(window, path);
        if (jobState.jobResult.load() == kResultCancelled) return pieceFile;
        pieceFile = osCreateTruncate(path, 0);
        if (settings.rebuildMethod == 0) {
            uint32_t put = 0;
            if (!osWrite(pieceFile, kPieceMagic, kMagicSize, &put)) fatalWriteError(window);
        }
    }
    FileHandle input = split ? sourceFile : pieceFile;
    FileHandle output = split ? pieceFile : sourceFile;
    uint64_t moved = 0;
    while (moved < byteCount) {
        storeProgress(moved, byteCount, base);
        uint64_t remaining = byteCount - moved;
        if (remaining < jobState.transferSize) jobState.transferSize = static_cast<uint32_t>(remaining);
        uint32_t got = 0, put = 0;
        bool ok = osRead(input, jobState.ioBuffer, jobState.transferSize, &got) && got == jobState.transferSize;
        if (ok) ok = osWrite(output, jobState.ioBuffer, jobState.transferSize, &put);
        if (!ok) fatalWriteError(window);
        moved += jobState.transferSize;
    }
    return pieceFile;
}

void refuseJob(WindowRef window, const char* line2, const char* line4) {
    if (!jobState.quietMode) {
        messageParams.messageMode = kMessagePlain;
        messageParams.messageLine2 = line2;
        messageParams.messageLine4 = line4;
        showMessageDialog(window);
    }
    jobState.jobResult.store(kResultCancelled);
}

namespace {
// Every file the job will create must have a whole path; checked before anything is created.
bool jobPathsFit() {
    if (jobState.outputTooLong) return false;
    char path[kTextBufferSize];
    if (jobState.isSplit == 1) return pathInFolder(jobState.outputFolder, "XXXX0000.trn", path);
    makeSafeFileName(jobState.sourceName);
    return pathInFolder(jobState.outputFolder, jobState.sourceName, path);
}
}  // namespace

void jobWorker(WindowRef window) {
    if (jobState.jobPhase.load(std::memory_order_acquire) != kPhaseStartRequested) return;
    jobState.jobPhase.store(kPhaseRunning);
    jobState.jobResult.store(kResultSuccess);
    jobState.pieceIndex = 0;
    // Refusals come before the output folder is made: a refused job leaves nothing behind.
    if (jobState.isSplit == 1 && !settlePieceCount()) {
        // A split never goes ahead with a count its piece size does not give.
        refuseJob(window, "块数无效: 最多9999块.", nullptr);
        return;
    }
    if (jobState.isSplit == 0 && jobState.rawJoin == 0 &&
        (jobState.pieceCount == 0 || jobState.pieceCount > kMaxPieces)) {
        // A header that names no piece, or more than four digits can name, is damaged: nothing is rebuilt.
        refuseJob(window, "头部记录的块数无效.", nullptr);
        return;
    }
    if (!jobPathsFit()) {
        refuseJob(window, "路径太长, 没有创建任何文件.", jobState.outputFolder);
        return;
    }
    if (!osCreateFolder(jobState.outputFolder) && !jobState.removableTarget &&
        !osFolderExists(jobState.outputFolder)) {
        if (!jobState.quietMode) showPlainMessage(window, "目录创建错误");
        osExitProcess(kExitFolderFailure);
    }
    ensureTransferBuffer();
    if (jobState.encryptEnabled) expandKey();
    if (jobState.isSplit == 1)
        runSplit(window);
    else
        runJoin(window);
}

void finishJob() {
    releaseTransferBuffer();
    jobState.jobPhase.store(kPhaseFinished, std::memory_order_release);
}
