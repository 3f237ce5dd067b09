// The desktop shell around the program: the file association, the elevated restart, the file and folder
// choosers and the help page.
#include "app/shell.h"

#include "engine/jobstate.h"
#include "os/os.h"
#include "text/textops.h"

namespace {
// Pairs of description and pattern; the first pair is selected when the chooser opens.
const char kFileFilter[] = "所有文件\0*.*\0Tarn Files\0*.Trn\0";
const char kProgramName[] = "Tarn.exe";

// Folder + "Tarn.exe" + ending, cut to the buffer rather than past it.
void programPathWith(const char* folder, const char* ending, char* out, uint32_t size) {
    copyTextBounded(folder, out, size);
    appendTextBounded(out, kProgramName, size);
    appendTextBounded(out, ending, size);
}
}  // namespace

void buildAssociationCommand(const char* folder, char* out) {
    // Quoted: unquoted, "C:\Program Files\..." would let the shell start "C:\Program.exe" if there is one.
    copyTextBounded("\"", out, kAssociationTextSize);
    appendTextBounded(out, folder, kAssociationTextSize);
    appendTextBounded(out, kProgramName, kAssociationTextSize);
    appendTextBounded(out, "\" \"%1\"", kAssociationTextSize);
}

void buildAssociationIcon(const char* folder, char* out) { programPathWith(folder, ",2", out, kAssociationTextSize); }

bool writeKeyText(uint32_t root, const char* key, const char* name, const char* text) {
    return osWriteRegistryText(root, key, name, text);
}

bool writeFileAssociation() {
    char command[kAssociationTextSize];
    char icon[kAssociationTextSize];
    buildAssociationCommand(programFolder, command);
    buildAssociationIcon(programFolder, icon);
    bool ok = true;
    // In this order; the second lies directly under the machine's "Software", not under its classes.
    ok &= writeKeyText(kRootClasses, "Applications\\Tarn.exe\\shell", nullptr, "UnTarn");
    ok &= writeKeyText(kRootMachine, "Software\\Applications\\Tarn.exe\\shell\\UnTarn\\Command", nullptr, command);
    ok &= writeKeyText(kRootClasses, "Applications\\Tarn.exe\\shell\\UnTarn\\Command", nullptr, command);
    ok &= writeKeyText(kRootClasses, ".trn", nullptr, "Tarn");
    ok &= writeKeyText(kRootClasses, "Tarn\\shell\\UnTarn\\Command", nullptr, command);
    // The verb a double-click runs; and "open" too, which some shells name outright (Wine's "start" does).
    ok &= writeKeyText(kRootClasses, "Tarn\\shell", nullptr, "UnTarn");
    ok &= writeKeyText(kRootClasses, "Tarn\\shell\\open\\Command", nullptr, command);
    ok &= writeKeyText(kRootUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.trn",
                       "Application", "Tarn.exe");
    ok &= writeKeyText(kRootClasses, "Tarn\\DefaultIcon", nullptr, icon);
    ok &= writeKeyText(kRootClasses, "Applications\\Tarn.exe\\DefaultIcon", nullptr, icon);
    return ok;
}

uint32_t relaunchElevated(WindowRef mainWindow) {
    char path[kTextBufferSize];
    programPathWith(programFolder, "", path, kTextBufferSize);
    return osShellOpen(mainWindow, "runas", path) ? 1 : 0;
}

uint32_t chooseFile(WindowRef owner, char* path) { return osChooseFile(owner, kFileFilter, path) ? 1 : 0; }

uint32_t chooseFolder(WindowRef owner, char* destination) {
    return osChooseFolder(owner, "选择输出文件夹:", destination) ? 1 : 0;
}

void openReadMe() {
    char path[kTextBufferSize];
    if (buildPath(path, programFolder, "ReadMe.htm")) osShellOpen(nullptr, nullptr, path);
}
