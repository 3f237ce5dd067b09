// Runs one subcommand: parses its arguments, then hands over to the command.
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "cli/setcheck.h"

int runSubcommand(const std::vector<std::string>& args) {
    ParsedLine line = parseArguments(args);
    if (!line.ok) {
        report({"%s", "%s"}, line.error.c_str());
        report({"try 'tarn --help'", "请看 'tarn --help'"});
        return kOutcomeUsage;
    }
    Options& o = line.options;
    if (o.command == Command::Version) {
        printVersion();
        return kOutcomeSuccess;
    }
    if (o.command == Command::Help || o.commandHelp) {
        printHelp(o.command);
        return kOutcomeSuccess;
    }
    if (o.command == Command::Split) {
        // Ends by the signal that stopped it, once the split has undone itself.
        const int code = runSplitCommand(o);
        endIfStopped();
        return code;
    }
    // The folder a split made stands for its set.
    const int code = pieceOfFolder(o);
    if (code != kOutcomeSuccess) return code;
    switch (o.command) {
        case Command::Join: return runJoinCommand(o);
        case Command::Info: return runInfoCommand(o);
        case Command::Verify: return runVerifyCommand(o);
        default: return kOutcomeUsage;
    }
}
