// The recovery volumes beside a set as the commands report them: checked with a progress bar, damage and verdict
// in the user's language, rebuilds and failures reported with their exit codes.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "set/paritycheck.h"
#include "set/parityformat.h"
#include "set/setvolumes.h"

// Reads every file of the set against the volumes, with a progress bar unless quiet.
ParityCheck checkWithVolumes(const SetVolumes& volumes, bool quiet);

// A line for each file that is not whole, in the user's language.
std::vector<std::string> damageLines(const SetVolumes& volumes, const ParityCheck& check);
// Those lines on standard error, the first ten of them and how many more.
void reportDamage(const SetVolumes& volumes, const ParityCheck& check);
// What the volumes can do about it: "can be repaired …" or "cannot be repaired: …".
std::string repairVerdict(const ParityCheck& check);

// Rebuilds every own file that is not whole under the name nameFor gives it; the indexes of those files in
// rebuilt. Reports a failure and returns its exit code; kOutcomeSuccess when every one was rebuilt and checked.
int repairOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                   const std::function<RebuiltName(size_t file)>& nameFor, bool quiet, std::vector<size_t>& rebuilt);

struct RecoveryResult;
// Reports why volumes could not be written and returns the exit code; kOutcomeSuccess when they were.
int recoveryFailed(const RecoveryResult& result);
