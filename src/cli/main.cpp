// Entry of the native tarn: the subcommands when the first argument names one, else the switches of Tarn.exe.
#include <cstdio>
#include <string>
#include <vector>

#include "app/startup.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/outcome.h"
#include "os/os.h"

int main(int argc, char** argv) {
    // A mistyped command ("splt") is told so; a word that names a file stays with the switches as before.
    std::vector<std::string> args(argv + 1, argv + argc);
    if (argc >= 2 && (isSubcommandWord(argv[1]) || (looksLikeCommand(argv[1]) && !osNameTaken(argv[1])) ||
                      optionBeforeCommand(args))) {
        int code = runSubcommand(args);
        // Output to a closed pipe or a full disk must not pass for success.
        if (std::fflush(stdout) != 0 && code == kOutcomeSuccess) code = kOutcomeUnwritable;
        return code;
    }
    osInitCommandLine(argc, argv);
    osExitProcess(programEntry());
}
