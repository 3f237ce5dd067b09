// Which controls may be used, the output folder derived for "同名文件夹" and "与来源相同", and the values taken at a start.
#include "engine/controlrules.h"

#include <cstring>

#include "engine/controlids.h"
#include "engine/jobstate.h"
#include "engine/recoverychoices.h"
#include "os/os.h"
#include "text/textops.h"


void applyControlRules(WindowRef window) {
    if (window == nullptr) return;
    uint32_t e = jobState.inputLoaded == 1 ? 1 : 0;
    bool split = jobState.isSplit == 1;
    setControlTooltip(window, kIdChooseOutput, split ? "选择存放被劈分文件的文件夹" : "选择存放被恢复文件的文件夹");
    setControlTooltip(window, kIdOutputFolder, split ? "被劈分文件的输出文件夹" : "被恢复文件的输出文件夹");
    setControlTooltip(window, kIdStart, split ? "开始劈分" : "开始合并");
    setControlTooltip(window, kIdPath, split ? "要劈分的文件" : "要合并的文件");

    int32_t method = getListSelection(window, kIdRebuildList);
    if (method == 1 || !split) {
        enableControl(window, kIdKey, e && jobState.encryptEnabled);
        enableControl(window, kIdEncrypt, e);
        enableControl(window, kIdUseDescription, 0);
        enableControl(window, kIdDescription, 0);
    } else if (method == 0) {
        enableControl(window, kIdEncrypt, e);
        enableControl(window, kIdUseDescription, e);
        enableControl(window, kIdKey, e && jobState.encryptEnabled);
        enableControl(window, kIdDescription, e && settings.useDescription);
    }
    enableControl(window, kIdUseChecksum, e);
    uint32_t splitControls = e && split;
    const int splitOnly[] = {kIdSlider, kIdSize, kIdPresetList, kIdRebuildList, kIdOutputList, kIdCheckChecksum,
                             kIdCount};
    for (int id : splitOnly) enableControl(window, id, splitControls);
    // Pieces written to removable media disk by disk cannot be read back for volumes.
    enableControl(window, kIdRecoveryList, splitControls && !jobState.removableTarget);
    enableControl(window, kIdStart, e);
    uint32_t folderChoice = e && settings.outputLocation != 3;
    enableControl(window, kIdOutputFolder, folderChoice);
    enableControl(window, kIdChooseOutput, folderChoice);
}

void applyOutputFolderRule(WindowRef window) {
    char name[kTextBufferSize];
    if (window == nullptr) {
        jobState.outputTooLong = 0;
        copyText(jobState.sourceName, name);
        stripExtension(name);
        // A folder that cannot take the subfolder whole is marked, never cut: the job then refuses to start.
        char folder[kTextBufferSize];
        if (buildPath(folder, jobState.outputFolder, kPathSeparatorText, name))
            copyText(folder, jobState.outputFolder);
        else
            jobState.outputTooLong = 1;
        return;
    }
    if (settings.outputLocation == 2) {
        if (jobState.isSplit == 1) fileNameOfPath(jobState.sourcePath, jobState.sourceName);
        copyText(jobState.sourceName, name);
        stripExtension(name);
        getControlText(window, kIdOutputFolder, jobState.outputFolder, kTextBufferSize);
        // A window without a folder field (the wizard's first page) or an emptied field: from the desktop, as
        // the analysis shows it, rather than a bare name relative to wherever the program was started.
        if (jobState.outputFolder[0] == 0) osReadDesktopFolder(jobState.outputFolder);
        char ending[kTextBufferSize + 1];
        copyText(kPathSeparatorText, ending);
        appendTextBounded(ending, name, sizeof ending);
        uint32_t n = textLength(ending);
        bool derived = false;
        if (textLength(jobState.outputFolder) >= n) {
            char tail[kTextBufferSize];
            rightText(jobState.outputFolder, tail, n);
            derived = std::strcmp(tail, ending) == 0;
        }
        if (!derived) {
            const char* separator = textLength(jobState.outputFolder) > 3 ? kPathSeparatorText : "";
            char folder[kTextBufferSize];
            if (buildPath(folder, jobState.outputFolder, separator, name)) {
                copyText(folder, jobState.outputFolder);
                setControlText(window, kIdOutputFolder, jobState.outputFolder);
            }
            // Otherwise the field keeps the folder it shows; the job's own paths are checked at its start.
        }
    } else if (settings.outputLocation == 3) {
        char folder[kTextBufferSize];
        copyText(jobState.sourcePath, folder);
        folderOfPathTrimmed(folder);
        copyText(folder, jobState.outputFolder);
        char shown[kTextBufferSize];
        getControlText(window, kIdOutputFolder, shown, kTextBufferSize);
        if (std::strcmp(shown, folder) != 0) setControlText(window, kIdOutputFolder, folder);
    }
}

void collectWindowValues(WindowRef window) {
    if (window == nullptr) return;
    getControlText(window, kIdOutputFolder, jobState.outputFolder, kTextBufferSize);
    getControlText(window, kIdDescription, jobState.description, kTextBufferSize);
    getControlText(window, kIdKey, jobState.keyText, kTextBufferSize);
    getControlText(window, kIdPath, jobState.sourcePath, kTextBufferSize);
    // A list without a selection leaves its setting as it was rather than storing -1.
    int32_t index = getListSelection(window, kIdRebuildList);
    if (index >= 0) settings.rebuildMethod = static_cast<uint32_t>(index);
    index = getListSelection(window, kIdOutputList);
    if (index >= 0) settings.outputLocation = static_cast<uint32_t>(index);
    settings.useChecksum = getControlCheck(window, kIdUseChecksum);
    index = getListSelection(window, kIdMemoryList);
    if (index >= 0) settings.memoryMode = static_cast<uint32_t>(index);
    takeRecoveryChoice(getListSelection(window, kIdRecoveryList));
}
