// The job worker's common start and end, its refusals, and its two questions.
#include "engine/worker.h"

#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/pieceformat.h"
#include "set/text.h"
#include "engine/sizing.h"
#include "engine/checksum.h"
#include "engine/transferbuffer.h"
#include "os/files.h"
#include "set/journal.h"
#include "os/exitcodes.h"
#include "text/textops.h"

void fatalWriteError(WindowRef window) {
    // A script must never wait on a window: quiet means no dialog, a fatal one included.
    if (!jobState.quietMode) showPlainMessage(window, "文件写入错误. 磁盘可能已满.");
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
// What a job killed in this folder before left there is finished or undone first, and the user told.
void recoverStoppedJobs(WindowRef window) {
    const StoppedRuns found = recoverStoppedRuns(jobState.outputFolder);
    if (jobState.quietMode) return;
    if (found.finished > 0) showPlainMessage(window, "上次被中断的作业的新文件已完整, 已改为正式名称.");
    if (found.undone > 0) showPlainMessage(window, "上次被中断的作业留下的未完成文件已删除, 原有文件未改变.");
}

// Every file the job will create must have a whole path; checked before anything is created.
bool jobPathsFit() {
    if (jobState.outputTooLong) return false;
    char path[kTextBufferSize];
    if (jobState.isSplit == 1) return pathInFolder(jobState.outputFolder, "XXXX0000.trn", path);
    copyTextBounded(localFileName(headerText(jobState.sourceName, jobState.sourceNameCopy)).c_str(),
                    jobState.sourceName, kTextBufferSize);
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
    jobState.outputFolderMade = osCreateFolder(jobState.outputFolder) ? 1 : 0;
    if (!jobState.outputFolderMade && !jobState.removableTarget && !osFolderExists(jobState.outputFolder)) {
        if (!jobState.quietMode) showPlainMessage(window, "目录创建错误");
        osExitProcess(kExitFolderFailure);
    }
    recoverStoppedJobs(window);
    ensureTransferBuffer();
    if (jobState.encryptEnabled) expandKey();
    if (jobState.isSplit == 1)
        runSplit(window);
    else
        runJoin(window);
    // A job that stopped before writing anything leaves no empty folder of its making behind.
    removeMadeOutputFolder();
}

void removeMadeOutputFolder() {
    // Only while empty: a folder this job made and then left with nothing of its own in it.
    if (jobState.outputFolderMade) osRemoveMadeFolders(jobState.outputFolder, jobState.outputFolder);
    jobState.outputFolderMade = 0;
}

void finishJob() {
    releaseTransferBuffer();
    jobState.jobPhase.store(kPhaseFinished, std::memory_order_release);
}
