// The single instances of the job and settings records.
#include "engine/jobstate.h"
#include "engine/window.h"

#include <cstring>

JobState jobState;
SettingsRecord settings;
char programFolder[kTextBufferSize];
char dataFolder[kTextBufferSize];
uint32_t isElevated = 0;
WindowRef mainWindowHandle = nullptr;

void resetProcessRecords() {
    jobState.jobPhase.store(0);
    jobState.jobResult.store(0);
    jobState.inputLoaded = 0;
    jobState.isSplit = 1;
    jobState.progressSpan = 100;
    jobState.encryptEnabled = 0;
    jobState.quietMode = 0;
    jobState.workerThread = nullptr;
    std::memset(jobState.description, 0, sizeof jobState.description);
    std::memset(jobState.sourcePath, 0, sizeof jobState.sourcePath);
    std::memset(jobState.outputFolder, 0, sizeof jobState.outputFolder);
    std::memset(jobState.piecePathPrefix, 0, sizeof jobState.piecePathPrefix);
    std::memset(jobState.sourceName, 0, sizeof jobState.sourceName);
    std::memset(jobState.keyText, 0, sizeof jobState.keyText);
    std::memset(jobState.pieceStem, 0, sizeof jobState.pieceStem);
    std::memset(jobState.sourceNameCopy, 0, sizeof jobState.sourceNameCopy);
    std::memset(jobState.descriptionCopy, 0, sizeof jobState.descriptionCopy);
    std::memset(jobState.rebuiltPieces, 0, sizeof jobState.rebuiltPieces);
    jobState.checksum = 0;
    jobState.pieceCount = 0;
    jobState.pieceSizeKB = 0;
    jobState.sourceSize = {0, 0};
    jobState.removableTarget = 0;
    jobState.progressStep = 0;
    jobState.transferSize = 0;
    jobState.pieceIndex = 0;
    jobState.creationTime = jobState.lastAccessTime = jobState.lastWriteTime = 0;
    jobState.fileAttributes = 0;
    jobState.dataOffset = 0;
    jobState.divQuotient = {0, 0};
    jobState.divScale = 0;
    jobState.rawJoin = 0;
    jobState.outputTooLong = 0;
    jobState.answerSetQuestions = 0;
    jobState.outputFolderMade = 0;
    settings = SettingsRecord{};
}
