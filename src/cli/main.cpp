// Entry of the native tarn: the subcommands when the first argument names one, else the switches of Tarn.exe.
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/fileio.h"
#include "cli/options.h"
#include "cli/outcome.h"
#include "cli/switch_notes.h"
#include "os/os.h"

int main(int argc, char** argv) {
    // Run bare, tarn shows the commands in the user's language, where it showed the usage of the switches in
    // Chinese: those are for scripts written for Tarn.exe, and the help names them too. Standard error and exit 0
    // as before: nothing was asked for, and nothing failed.
    if (argc == 1) {
        printHelp(Command::Help, stderr);
        return kOutcomeSuccess;
    }
    // A mistyped command ("splt") is told so; a word that names a file stays with the switches as before.
    std::vector<std::string> args(argv + 1, argv + argc);
    if (isSubcommandWord(argv[1]) || (looksLikeCommand(argv[1]) && !osNameTaken(argv[1])) ||
        optionBeforeCommand(args)) {
        // The system's own texts (why a file cannot be opened) in the user's language too, as ls gives them, in
        // its character set; numbers keep the C library's defaults.
        std::setlocale(LC_MESSAGES, "");
        std::setlocale(LC_CTYPE, "");
        int code = runSubcommand(args);
        // Output to a closed pipe or a full disk must not pass for success, nor fail without a word.
        const int error = std::fflush(stdout) != 0 ? errno : 0;
        if ((error != 0 || std::ferror(stdout)) && code == kOutcomeSuccess)
            code = fail(error != 0 ? outcomeOfWriteError(error) : kOutcomeUnwritable,
                        {"cannot write standard output: %s", "无法写入标准输出: %s"},
                        error != 0 ? std::strerror(error) : pick({"write error", "写入错误"}));
        return code;
    }
    osInitCommandLine(argc, argv);
    sizeSwitchNote = noteSizeSwitch;
    osExitProcess(programEntry());
}
