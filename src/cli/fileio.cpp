// Failed file calls as the commands' exit codes.
#include "cli/fileio.h"

#include <cerrno>

#include "cli/outcome.h"

int outcomeOfWriteError(const FileStatus& status) {
    return status.what == FileError::NoSpace ? kOutcomeDiskFull : kOutcomeUnwritable;
}

int outcomeOfWriteError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? kOutcomeDiskFull : kOutcomeUnwritable;
}
