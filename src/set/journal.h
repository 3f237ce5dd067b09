// The record an outputs transaction keeps beside its files, so that a run killed at any moment is finished or
// undone by the next run in that folder: before its commit record the old files are whole and the new ones go;
// after it the new ones are whole and take their names.
#pragma once
#include <cstdint>
#include <string>

#include "os/files.h"

class Journal {
public:
    // Begins the journal in folder, held locked while this run lives; false when it cannot be written.
    bool begin(const std::string& folder);
    bool active() const { return file_.valid(); }
    // A file written under writing (a name of its own in the folder) that is to take the name final.
    void wrote(const std::string& writing, const std::string& final);
    // A file that goes once the new ones are in place.
    void doomed(const std::string& name);
    // From here the new files are whole: a stopped run is finished, not undone.
    bool commit();
    // The transaction is over either way: the journal goes.
    void end();

private:
    void append(const std::string& record);
    OsFile file_;
    std::string path_;
    uint64_t at_ = 0;
};

// What a look at a folder found of runs stopped there (killed, or the machine went down).
struct StoppedRuns {
    uint32_t undone = 0;    // runs whose unfinished files were removed
    uint32_t finished = 0;  // runs whose whole new files were given their names
};
// Finishes or undoes every stopped run's transaction in folder; runs still alive (their journal locked) are left.
StoppedRuns recoverStoppedRuns(const std::string& folder);
