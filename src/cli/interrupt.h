// A file removed if the process is stopped by a signal (Ctrl+C, kill, a closed terminal) before it is finished.
#pragma once

// Removes path if SIGINT, SIGTERM or SIGHUP ends the process; then the signal ends it as it would have.
void removeIfInterrupted(const char* path);
// The file is finished: a signal from now on leaves it.
void keepFromNowOn();
