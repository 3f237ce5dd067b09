// The exit code a failed write or create deserves: a full disk, or an output that cannot be written.
#pragma once
#include "os/files.h"

int outcomeOfWriteError(const FileStatus& status);
// The same for an errno value (a flush of standard output).
int outcomeOfWriteError(int error);
