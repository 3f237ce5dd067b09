// The four subcommands and the help texts; each returns the process exit code (see cli/outcome.h).
#pragma once
#include <string>
#include <vector>

#include "cli/options.h"

int runSplitCommand(const Options& options);
int runJoinCommand(const Options& options);
int runInfoCommand(const Options& options);
int runVerifyCommand(const Options& options);

// Runs "tarn WORD …" for a subcommand word (see isSubcommandWord); args include the word.
int runSubcommand(const std::vector<std::string>& args);
void printHelp(Command command);
void printVersion();
