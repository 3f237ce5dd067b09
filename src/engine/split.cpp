// The split: checksum, header or script, then every piece through the copy loop, enciphered as it is closed.
#include <cstring>

#include "engine/checksum.h"
#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/pieceformat.h"
#include "engine/worker.h"
#include "text/textops.h"

namespace {
// The script is one more file the split creates: never over the source, never over another file unasked.
bool writeScript(WindowRef window) {
    char path[kTextBufferSize];
    if (!pathInFolder(jobState.outputFolder, kScriptName, path)) return true;  // checked at the start
    if (osSameFile(path, jobState.sourcePath)) {
        refuseJob(window, "不能用脚本覆盖要劈分的文件.", path);
        return false;
    }
    askOverwrite(window, path);
    if (jobState.jobResult.load() == kResultCancelled) return false;
    // 13 bytes a piece, the command and the quoted name, each % of it doubled: at most 13 * 9999 + 10 + 2 * 599.
    static char script[13 * 9999 + 16 + 2 * kTextBufferSize];
    uint32_t length = buildRebuildScript(jobState.pieceStem, jobState.pieceCount, jobState.sourceName, script,
                                         sizeof script);
    FileHandle file = osCreateTruncate(path, 0);
    if (file == kNoFile) return true;
    uint32_t put = 0;
    osWrite(file, script, length, &put);
    osClose(file);
    return true;
}
}  // namespace

void runSplit(WindowRef window) {
    // The source's times as the user left them: the checksum pass below reads the file, which moves its
    // access time on POSIX.
    FileHandle early = osOpenExisting(jobState.sourcePath, true);
    if (early != kNoFile)
        osGetFileTimes(early, &jobState.creationTime, &jobState.lastAccessTime, &jobState.lastWriteTime);
    osClose(early);
    if (settings.useChecksum) {
        setWindowCaption(window, "正在检查CRC");
        jobState.checksum = fileChecksum(jobState.sourcePath);
        setControlNumber(window, kIdChecksumDisplay, jobState.checksum);
    } else {
        jobState.checksum = 0;
    }
    jobState.fileAttributes = osGetAttributes(jobState.sourcePath);
    FileHandle source = osOpenExisting(jobState.sourcePath, true);
    fileNameOfPath(jobState.sourcePath, jobState.sourceName);
    pieceStemOf(jobState.sourceName, jobState.pieceStem);
    FileHandle piece = kNoFile;
    if (settings.rebuildMethod == 1) {
        if (!writeScript(window)) {
            osClose(source);
            return;
        }
        jobState.dataOffset = 0;
    } else {
        jobState.dataOffset = kHeaderSize;
        char path[kTextBufferSize];
        char name[32];
        pieceNameOf(jobState.pieceStem, 1, name);
        pathInFolder(jobState.outputFolder, name, path);  // fits: checked at the start
        askOverwrite(window, path);
        if (jobState.jobResult.load() == kResultCancelled) {
            osClose(source);
            return;
        }
        piece = osCreateTruncate(path, 0);
        uint8_t header[kHeaderSize];
        buildFirstPieceHeader(header);
        uint32_t put = 0;
        osWrite(piece, header, kHeaderSize, &put);
    }
    jobState.progressStep = jobState.progressSpan / (jobState.pieceCount + 1);
    uint64_t remaining = wideValue(jobState.sourceSize);
    uint64_t pieceBytes = static_cast<uint64_t>(jobState.pieceSizeKB) * 1024;
    bool first = true;
    for (;;) {
        uint64_t take = remaining > pieceBytes ? pieceBytes : remaining;
        remaining -= take;
        if (take == 0) break;
        piece = copyPiece(window, take, source, first && settings.rebuildMethod == 0 ? piece : kNoFile);
        first = false;
        if (jobState.jobResult.load() == kResultCancelled) break;
        if (jobState.encryptEnabled) applyCipher(piece);
        osClose(piece);
        piece = kNoFile;
        if (settings.rebuildMethod == 0) jobState.dataOffset = 8;
    }
    osClose(piece);
    osClose(source);
    finishJob();
}
