// The start-up sequence in its fixed order, and the switches of the command line.
#include "app/startup.h"

#include <cstring>

#include "app/batch.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "engine/analysis.h"
#include "engine/jobstate.h"
#include "engine/messages.h"
#include "os/exitcodes.h"
#include "os/os.h"
#include "text/textops.h"
#include "ui/mainwindow.h"

namespace {
constexpr uint32_t kLockRetryMs = 5000;
// "/r=" with a value it cannot take: the run is refused rather than cut without the volumes asked for.
bool recoverySwitchRefused = false;
constexpr uint32_t kLargestSizeSwitch = 100000;

bool isPathSwitch(const char* head) {
    char lowered[4];
    midText(head, lowered, 0, 3);
    lowerAscii(lowered);
    return std::strcmp(lowered, "/i=") == 0 || std::strncmp(head, "/o=", 3) == 0;
}
}  // namespace

void settleFolders() {
    programFolder[0] = 0;
    char found[kTextBufferSize];
    if (osProgramPath(found)) {
        folderOfPath(found);
        copyText(found, programFolder);
    }
    copyText(programFolder, dataFolder);
    if (programFolder[0] != 0 && osIsRemovableDrive(programFolder)) return;
    char marker[kTextBufferSize];
    if (!buildPath(marker, programFolder, "DefSet.txt")) return;
    FileHandle file = osOpenExisting(marker, true);
    if (file == kNoFile) return;
    osClose(file);
    char folder[kTextBufferSize];
    if (!osUserDataFolder(folder)) return;
    if (!buildPath(folder, folder, kPathSeparatorText, "Ormand")) return;
    osCreateFolder(folder);
    if (!buildPath(folder, folder, kPathSeparatorText, "Tarn")) return;
    osCreateFolder(folder);
    if (!buildPath(folder, folder, kPathSeparatorText)) return;
    copyText(folder, dataFolder);
}

void (*sizeSwitchNote)(const char* value, uint32_t taken) = nullptr;

void applySwitch(const char* token) {
    char head[4];
    midText(token, head, 0, 3);
    char lowered[4];
    copyText(head, lowered);
    lowerAscii(lowered);
    if (std::strcmp(lowered, "/i=") == 0) {
        // Only the first accepted input counts: a later one must not swap the file under the job's sizes.
        if (jobState.inputLoaded == 1) return;
        copyText(token + 3, jobState.sourcePath);
        analyseInput(nullptr);
    } else if (std::strcmp(head, "/o=") == 0) {
        copyText(token + 3, jobState.outputFolder);
        jobState.outputTooLong = 0;
    } else if (std::strcmp(lowered, "/r=") == 0) {
        if (!parseRecoverySwitch(token + 3, &settings.recoveryCount, &settings.recoveryPercent))
            recoverySwitchRefused = true;
    } else if (std::strncmp(head, "/q", 2) == 0) {
        jobState.quietMode = 1;
    } else if (std::strcmp(head, "/s=") == 0) {
        uint32_t size = decimalToNumber(token + 3);
        if (size == 0) size = 1;
        if (size > kLargestSizeSwitch) size = kLargestSizeSwitch;
        jobState.pieceSizeKB = size;
        if (sizeSwitchNote) sizeSwitchNote(token + 3, size);
    }
}

bool applyCommandLine() {
    char token[kTextBufferSize];
    // "/y" answers the analysis' set questions and "/q" silences its messages, which come at "/i=": both count
    // wherever they stand, so that "/i=x /q" never waits on a window either.
    for (uint32_t n = 1;; n++) {
        int result = commandLineToken(n, token);
        if (result == tokenTooLong) continue;
        if (result != tokenFound) break;
        if (std::strncmp(token, "/y", 2) == 0) jobState.answerSetQuestions = 1;
        if (std::strncmp(token, "/q", 2) == 0) jobState.quietMode = 1;
    }
    bool whole = true;
    for (uint32_t n = 1;; n++) {
        int result = commandLineToken(n, token);
        if (result == tokenTooLong) {
            // Never cut: a path switch that does not fit would send the job somewhere else.
            if (commandLineTokenHead(n, token) && isPathSwitch(token)) whole = false;
            continue;
        }
        if (result != tokenFound) break;
        applySwitch(token);
    }
    return whole;
}

uint32_t programEntry() {
    if (!osTakeInstanceLock()) {
        osSleep(kLockRetryMs);
        if (!osTakeInstanceLock()) osExitProcess(kExitSecondInstance);
    }
    settleFolders();
    loadSettings();
    isElevated = osEnablePrivilege("SeSystemtimePrivilege");
    osReadDesktopFolder(jobState.outputFolder);
    jobState.pieceSizeKB = 512;
    if (!applyCommandLine()) {
        if (!jobState.quietMode) showPlainMessage(nullptr, "路径太长, 没有创建任何文件.");
        return kResultCancelled;
    }
    if (recoverySwitchRefused) {
        if (!jobState.quietMode) showPlainMessage(nullptr, "恢复卷数无效: /r= 可为 0 到 32768 个, 或块数的 1% 到 100%.");
        return kResultCancelled;
    }
    if (jobState.inputLoaded == 1) return runBatchMode();
    // A script asked for silence: an input it gave that was refused, or none, must not leave it waiting on a window;
    // a set damaged beyond its recovery volumes says so in its own exit code.
    if (jobState.quietMode)
        return jobState.jobResult.load() == kResultUnrepairable ? kResultUnrepairable : kResultCancelled;
    jobState.answerSetQuestions = 0;  // the window asks its user
    runMainWindow();
    return jobState.jobResult.load();
}
