// The subcommands' command line: which command, its operands and its options; and the piece-size parser.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "set/setvolumes.h"

enum class Command { Split, Join, Info, Verify, Repair, Help, Version };

struct Options {
    Command command = Command::Help;
    bool commandHelp = false;  // "tarn COMMAND --help"
    std::string operand;       // the file to split ("-": standard input) or a piece of the set
    std::vector<std::string> operands;  // all of them: info and verify take several sets, the others one
    std::string output;        // -o; empty: the default place; "-": standard output (join)
    bool haveSize = false;
    uint32_t sizeKiB = 0;
    // A preset names the data of each piece, as in Tarn.exe's window; a number or 899K the largest piece file.
    bool sizePreset = false;
    bool haveCount = false;
    uint32_t count = 0;
    bool script = false;
    bool haveKey = false;
    std::string key;
    bool haveDescription = false;
    std::string description;
    std::string name;  // --name: what a split of standard input calls the file
    bool haveRecovery = false;  // --recovery: recovery volumes beside the pieces
    uint32_t recovery = 0;      // volumes, or a percentage of the pieces
    bool recoveryPercent = false;
    bool create = false;        // repair --create: volumes for a set that has none
    bool checksum = true;
    bool quiet = false;
    bool yes = false;
    bool force = false;
    bool json = false;
};

struct ParsedLine {
    bool ok = false;
    std::string error;  // in the user's language when !ok
    Options options;
};

// Whether the first argument selects the subcommands rather than the compatible switches.
bool isSubcommandWord(const std::string& word);
// A first argument shaped like a command (lower-case letters, or "--" and letters) that is none: told apart from
// a file name by the caller, it gets "unknown command" rather than the switches' usage.
bool looksLikeCommand(const std::string& word);
// An option written before a command word ("tarn -q split FILE"): the switches take only "/" words, so this is
// someone reaching for a command, told where the option goes.
bool optionBeforeCommand(const std::vector<std::string>& args);
// args: everything after the program name, the command word first.
ParsedLine parseArguments(const std::vector<std::string>& args);

// The recovery volumes asked for a set of that many pieces (a percentage rounded up).
inline uint32_t recoveryBlocks(const Options& o, uint32_t pieces) {
    return recoveryBlocksFor(pieces, o.recovery, o.recoveryPercent);
}

// A piece size: KiB as a number, a number with K, M or G (binary; "KiB", "MB" and the like too), or a preset
// name ("email", "cd80", "dvd", "电邮"). False for anything else, for 0 and for sizes over 2^32-1 KiB.
// preset, when given, tells whether the text named a preset.
bool parsePieceSize(const std::string& text, uint32_t& kib, bool* preset = nullptr);
