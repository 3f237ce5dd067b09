// The join: rebuilds the file from its pieces, deciphering on temporary copies so the pieces are only read.
#include <cstring>

#include "engine/checksum.h"
#include "engine/jobstate.h"
#include "engine/messages.h"
#include "engine/pieceformat.h"
#include "set/safename.h"
#include "engine/worker.h"
#include "text/textops.h"

namespace {

enum class Opened { Piece, EndOfSet, Stopped };

// One piece opened for reading, or its deciphering copy; asks again while the user says the medium is ready.
Opened openPiece(WindowRef window, const char* path, FileHandle& opened) {
    for (;;) {
        if (jobState.encryptEnabled) {
            char temporary[kTextBufferSize];
            if (!osMakeTemporaryFile("Tarn.exe", temporary)) temporary[0] = 0;
            bool copied = temporary[0] != 0 && osCopyFile(path, temporary);
            while (!copied) {
                if (jobState.rawJoin == 1) {
                    if (temporary[0]) osDeleteFile(temporary);
                    return Opened::EndOfSet;
                }
                askMediumReady(window, "文件读取错误");
                if (jobState.jobResult.load() == kResultCancelled) {
                    if (temporary[0]) osDeleteFile(temporary);
                    return Opened::Stopped;
                }
                if (temporary[0] == 0 && !osMakeTemporaryFile("Tarn.exe", temporary)) temporary[0] = 0;
                copied = temporary[0] != 0 && osCopyFile(path, temporary);
            }
            opened = osOpenTemporaryCopy(temporary);
            if (opened != kNoFile) return Opened::Piece;
            osDeleteFile(temporary);  // no litter from an abandoned attempt
        } else {
            opened = osOpenExisting(path, false);
            if (opened != kNoFile) return Opened::Piece;
        }
        if (jobState.rawJoin == 1) return Opened::EndOfSet;
        askMediumReady(window, "文件读取错误");
        if (jobState.jobResult.load() == kResultCancelled) return Opened::Stopped;
    }
}

// The rebuilt file would replace one of the set's own pieces (a stored name such as abcd0002.trn).
bool rebuiltIsAPiece(uint32_t bound) {
    if (!osNameTaken(jobState.sourcePath)) return false;
    for (uint32_t index = 1; index <= bound; index++) {
        char path[kTextBufferSize];
        if (!piecePathOf(jobState.piecePathPrefix, index, path)) return false;
        if (osSameFile(path, jobState.sourcePath)) return true;
        if (jobState.rawJoin == 1 && !osNameTaken(path)) return false;
    }
    return false;
}
}  // namespace

void runJoin(WindowRef window) {
    bool raw = jobState.rawJoin == 1;
    uint32_t bound = raw ? kMaxPieces : jobState.pieceCount;
    jobState.dataOffset = raw ? 0 : kHeaderSize;
    if (jobState.description[0] != 0 && !jobState.quietMode) {
        messageParams.messageMode = kMessageDescription;
        messageParams.messageLine1 = jobState.description;
        showMessageDialog(window);
    }
    makeSafeFileName(jobState.sourceName);
    // Fits: the worker checked the rebuilt path before it made the folder.
    pathInFolder(jobState.outputFolder, jobState.sourceName, jobState.sourcePath);
    midText(jobState.sourceName, jobState.pieceStem, 0, 4);
    if (rebuiltIsAPiece(bound)) {
        refuseJob(window, "不能用合并的文件覆盖它自己的块.", jobState.sourcePath);
        return;
    }
    askOverwrite(window, jobState.sourcePath);
    if (jobState.jobResult.load() == kResultCancelled) return;
    FileHandle rebuilt = osCreateTruncate(jobState.sourcePath, raw ? 0 : jobState.fileAttributes);
    jobState.progressStep = jobState.progressSpan / (bound + 1);
    jobState.pieceIndex = 0;
    while (jobState.pieceIndex < bound && jobState.jobResult.load() != kResultCancelled) {
        jobState.pieceIndex++;
        char digits[16];
        zeroPadNumber(static_cast<int32_t>(jobState.pieceIndex), digits, 4);
        char path[kTextBufferSize];
        piecePathOf(jobState.piecePathPrefix, jobState.pieceIndex, path);  // no longer than the chosen piece
        char caption[kTextBufferSize] = "正在合并";
        appendText(caption, jobState.pieceStem);
        appendText(caption, digits);
        setWindowCaption(window, appendText(caption, ".trn"));
        FileHandle opened = kNoFile;
        Opened outcome = openPiece(window, path, opened);
        if (outcome != Opened::Piece) {
            jobState.jobResult.store(kResultCancelled);
            osClose(rebuilt);
            if (outcome == Opened::EndOfSet && jobState.pieceIndex == 1) {
                // Not one piece could be read: that is no finished join, whatever a raw set's end means.
                jobState.rawJoin = 0;
                if (!jobState.quietMode) showPlainMessage(window, "找不到第一个文件!");
            }
            return;
        }
        uint64_t length = osFileSize(opened);
        if (length < jobState.dataOffset) fatalWriteError(window);
        uint64_t data = length - jobState.dataOffset;
        if (jobState.encryptEnabled) applyCipher(opened);
        osSeek(opened, jobState.dataOffset);
        if (data != 0) copyPiece(window, data, rebuilt, opened);
        osClose(opened);
        if (!raw) jobState.dataOffset = 8;
    }
    // A raw set carries no times, attributes or checksum: nothing of an earlier job is restored.
    if (!raw) osSetFileTimes(rebuilt, jobState.creationTime, jobState.lastAccessTime, jobState.lastWriteTime);
    osClose(rebuilt);
    if (settings.useChecksum && !raw && jobState.jobResult.load() != kResultCancelled) {
        setWindowCaption(window, "正在检查CRC");
        if (fileChecksum(jobState.sourcePath) != jobState.checksum)
            jobState.jobResult.store(kResultChecksumMismatch);
        // The checksum pass read the file, which moves its access time on POSIX: restore the times again.
        osSetPathTimes(jobState.sourcePath, jobState.creationTime, jobState.lastAccessTime, jobState.lastWriteTime);
    }
    if (!raw) osApplyAttributesAfterWrite(jobState.sourcePath, jobState.fileAttributes);
    finishJob();
}
