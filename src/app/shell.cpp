// The desktop shell around the program: the file and folder choosers and the help page.
#include "app/shell.h"

#include "engine/jobstate.h"
#include "os/os.h"
#include "text/textops.h"

namespace {
// Pairs of description and pattern; the first pair is selected when the chooser opens.
const char kFileFilter[] = "所有文件\0*.*\0Tarn Files\0*.Trn\0";
}  // namespace

uint32_t chooseFile(WindowRef owner, char* path) { return osChooseFile(owner, kFileFilter, path) ? 1 : 0; }

uint32_t chooseFolder(WindowRef owner, char* destination) {
    return osChooseFolder(owner, "选择输出文件夹:", destination) ? 1 : 0;
}

void openReadMe() {
    char path[kTextBufferSize];
    copyTextBounded(programFolder, path, kTextBufferSize - 11);
    appendText(path, "ReadMe.htm");
    osShellOpen(nullptr, nullptr, path);
}
