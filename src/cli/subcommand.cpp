// Runs one subcommand: parses its arguments, then hands over to the command.
#include <cstdio>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "set/text.h"
#include "cli/outcome.h"
#include "cli/setcheck.h"

namespace {
// One set's report or join: the folder a split made stands for its set.
int runOnSet(Options& o) {
    const int code = pieceOfFolder(o);
    if (code != kOutcomeSuccess) {
        if (o.command == Command::Verify && o.json) printUnopenedSetJson(o.operand, code);
        return code;
    }
    switch (o.command) {
        case Command::Join: return runJoinCommand(o);
        case Command::Info: return runInfoCommand(o);
        case Command::Verify: return runVerifyCommand(o);
        case Command::Repair: return runRepairCommand(o);
        default: return kOutcomeUsage;
    }
}

// Several sets for info or verify, one after the other, each under its name as ls lists folders (JSON: one
// object a line). Every set is looked at; the exit code is that of the first one that failed.
int runOnEachSet(const Options& o) {
    const bool headings = !o.json && !(o.command == Command::Verify && o.quiet);
    int first = kOutcomeSuccess;
    for (size_t i = 0; i < o.operands.size(); i++) {
        Options one = o;
        one.operand = o.operands[i];
        if (headings) std::printf("%s%s:\n", i > 0 ? "\n" : "", shownText(one.operand).c_str());
        std::fflush(stdout);  // the heading before any message of this set on standard error
        const int code = runOnSet(one);
        if (first == kOutcomeSuccess) first = code;
    }
    return first;
}
}  // namespace

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
    // A split or join that a signal stopped ends by that signal, once it has undone itself.
    const int code = o.command == Command::Split ? runSplitCommand(o)
                     : o.operands.size() > 1    ? runOnEachSet(o)
                                                : runOnSet(o);
    endIfStopped();
    return code;
}
