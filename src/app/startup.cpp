// The start-up sequence in its fixed order, and the switches of the command line.
#include "app/startup.h"

#include <cstring>

#include "app/batch.h"
#include "app/cmdline.h"
#include "app/settings.h"
#include "engine/analysis.h"
#include "engine/jobstate.h"
#include "os/exitcodes.h"
#include "os/os.h"
#include "text/textops.h"
#include "ui/mainwindow.h"

namespace {
constexpr uint32_t kLockRetryMs = 5000;
constexpr uint32_t kLargestSizeSwitch = 100000;
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
    copyTextBounded(programFolder, marker, kTextBufferSize - 12);
    appendText(marker, "DefSet.txt");
    FileHandle file = osOpenExisting(marker, true);
    if (file == kNoFile) return;
    osClose(file);
    char folder[kTextBufferSize];
    if (!osUserDataFolder(folder)) return;
    appendText(folder, kPathSeparatorText);
    appendText(folder, "Ormand");
    osCreateFolder(folder);
    appendText(folder, kPathSeparatorText);
    appendText(folder, "Tarn");
    osCreateFolder(folder);
    appendText(folder, kPathSeparatorText);
    copyText(folder, dataFolder);
}

void applySwitch(const char* token) {
    char head[4];
    midText(token, head, 0, 3);
    char lowered[4];
    copyText(head, lowered);
    lowerAscii(lowered);
    if (std::strcmp(lowered, "/i=") == 0) {
        copyText(token + 3, jobState.sourcePath);
        analyseInput(nullptr);
    } else if (std::strcmp(head, "/o=") == 0) {
        copyText(token + 3, jobState.outputFolder);
    } else if (std::strncmp(head, "/q", 2) == 0) {
        jobState.quietMode = 1;
    } else if (std::strcmp(head, "/s=") == 0) {
        uint32_t size = decimalToNumber(token + 3);
        if (size == 0) size = 1;
        if (size > kLargestSizeSwitch) size = kLargestSizeSwitch;
        jobState.pieceSizeKB = size;
    }
}

void applyCommandLine() {
    char token[kTextBufferSize];
    for (uint32_t n = 1;; n++) {
        int result = commandLineToken(n, token);
        if (result == tokenTooLong) continue;  // never cut: its switch is simply not applied
        if (result != tokenFound) break;
        applySwitch(token);
    }
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
    applyCommandLine();
    if (jobState.inputLoaded == 1) return runBatchMode();
    jobState.quietMode = 0;
    runMainWindow();
    return jobState.jobResult.load();
}
