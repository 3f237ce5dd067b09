// The job worker and the steps the split and the join share.
#pragma once
#include <cstdint>

#include "engine/window.h"
#include "os/os.h"

void jobWorker(WindowRef window);
void askOverwrite(WindowRef window, const char* path);
void askMediumReady(WindowRef window, const char* firstLine);

// The two branches of the worker.
void runSplit(WindowRef window);
void runJoin(WindowRef window);
// Removes the output folder when this job made it and it is still empty (a job that failed or was cancelled).
void removeMadeOutputFolder();
// The normal end of every job: buffer released, then phase 200 as the last act.
void finishJob();
// Ends a job before it creates anything: the message (unless quiet), then jobResult 99.
void refuseJob(WindowRef window, const char* line2, const char* line4);
// Ends the process after the write-error message.
[[noreturn]] void fatalWriteError(WindowRef window);
