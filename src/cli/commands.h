// The five subcommands and the help texts; each returns the process exit code (see cli/outcome.h).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"

int runSplitCommand(const Options& options);
int runJoinCommand(const Options& options);
int runInfoCommand(const Options& options);
int runVerifyCommand(const Options& options);
int runRepairCommand(const Options& options);
// verify --json for a set that could not be opened: a line all the same, so that a line stands for every set.
void printUnopenedSetJson(const std::string& operand, int outcome);

// Runs "tarn WORD …" for a subcommand word (see isSubcommandWord); args include the word.
int runSubcommand(const std::vector<std::string>& args);
// The help of a command, or the general help (Command::Help), on out.
void printHelp(Command command, std::FILE* out = stdout);
void printVersion();
