// The exit codes of the subcommands (the compatible switches keep their own).
#pragma once

enum Outcome : int {
    kOutcomeSuccess = 0,
    kOutcomeChecksum = 1,    // the data's checksum differs from the one the set recorded
    kOutcomeUsage = 2,       // wrong arguments: nothing was written
    kOutcomeMissing = 3,     // the file to split or a piece of the set is missing or unreadable
    kOutcomeDamaged = 4,     // a piece is damaged: a bad header, a length that cannot belong to the set
    kOutcomeUnwritable = 5,  // the output cannot be written (exists without --force, no permission, no folder)
    kOutcomeDiskFull = 6,    // no space left on the output's device
    kOutcomeUnrepairable = 7,  // pieces are lost or damaged beyond what the recovery volumes can rebuild
    kOutcomeChanged = 8,       // the file grew while it was cut: the set holds what it was at the start
    kOutcomeInterrupted = 130,  // stopped by a signal; the process then ends by that signal (endIfStopped)
};
