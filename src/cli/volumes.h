// The recovery volumes beside a set, as the commands find them, report what they say and rebuild pieces with them.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "set/paritycheck.h"
#include "set/parityformat.h"

struct SetVolumes {
    std::string folder;
    std::string stem;  // the stem of the set's pieces
    ParitySet set;     // none found: its slice size is 0
    bool found() const { return set.sliceSize != 0; }
};

// The volume set in operand's folder that protects operand (a piece, or one of the volumes themselves; a path
// ending in a separator: the folder itself, and any set there).
SetVolumes findVolumes(const std::string& operand);

// Whether a name the volumes give is one of the set's own files, which a repair may write: a piece of the set's
// stem or its UnTarn.bat, in the set's folder. Any other name is read, at most, and never written.
bool ownFileOfSet(const SetVolumes& volumes, const std::string& name);

// Reads every file of the set against the volumes, with a progress bar unless quiet.
ParityCheck checkWithVolumes(const SetVolumes& volumes, bool quiet);

// A line for each file that is not whole, in the user's language.
std::vector<std::string> damageLines(const SetVolumes& volumes, const ParityCheck& check);
// Those lines on standard error, the first ten of them and how many more.
void reportDamage(const SetVolumes& volumes, const ParityCheck& check);
// What the volumes can do about it: "can be repaired …" or "cannot be repaired: …".
std::string repairVerdict(const ParityCheck& check);

// The name to write a rebuilt file under, and what a message calls it.
struct RebuiltName {
    std::string writing, shown;
};
// Rebuilds every own file that is not whole under the name nameFor gives it; the indexes of those files in
// rebuilt. Reports a failure and returns its exit code; kOutcomeSuccess when every one was rebuilt and checked.
int rebuildOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                    const std::function<RebuiltName(size_t file)>& nameFor, bool quiet, std::vector<size_t>& rebuilt);

struct RecoveryResult;
// Reports why volumes could not be written and returns the exit code; kOutcomeSuccess when they were.
int recoveryFailed(const RecoveryResult& result);
