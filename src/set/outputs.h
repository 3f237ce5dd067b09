// The files one piece of work creates, as one transaction: written under names of their own in the output folder,
// they take their real names together once all are whole, and a run that fails or stops leaves what was there.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/files.h"
#include "set/journal.h"

class OutputFiles {
public:
    explicit OutputFiles(std::string folder) : folder_(std::move(folder)) {}
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;
    // Not committed: every file it made is removed, and the folders made for them.
    ~OutputFiles();

    const std::string& folder() const { return folder_; }
    // Makes the folder, with any folder missing on the way, unless it is there; false (reason in
    // osLastFileError) when it cannot be made.
    bool makeFolder();
    bool madeFolder() const { return !top_.empty(); }
    const std::string& topFolderMade() const { return top_; }
    // Registers a file to create under path and returns the name to write it under now: one of its own beside
    // it, or path itself when direct (a removable medium, whose earlier disks are gone by the end).
    std::string add(const std::string& path, bool direct = false);
    // A file of the work's own, read before the commit and gone after it either way: the name to write it under.
    std::string scratch();
    // The name a registered file is written under now (empty when path is not registered).
    std::string writingOf(const std::string& path) const;
    // The file registered under that name now exists: it is removed if the work does not commit. Given open, it
    // stays open, to be read meanwhile through held() and renamed through at the commit: under Wine each open of
    // a file costs round trips to its server.
    void created(const std::string& writing, std::shared_ptr<OsFile> open = nullptr);
    // The open file of a registered file, by its name now or at the commit; null when it is not held open.
    std::shared_ptr<OsFile> held(const std::string& name) const;
    // The file written under writing takes another name at the commit.
    void retarget(const std::string& writing, const std::string& path);
    // An existing file that is to go when the work commits (a replaced set's later pieces).
    void removeAtCommit(const std::string& path);
    // Renames every file onto its name (replacing what was there), then removes those to go. False when a rename
    // fails; what was renamed stays.
    bool commit();
    // The work is abandoned now: the same as the destructor, at a moment of the caller's choosing.
    void rollBack();

private:
    struct Entry {
        std::string path, writing;
        std::shared_ptr<OsFile> open;
        bool made = false;
        bool renamed = false;  // under its name now: no longer ours to remove
    };
    static bool rename(Entry& entry);
    void renameOnThreads();
    std::string folder_, top_;
    std::vector<Entry> entries_;
    std::vector<std::string> doomed_;
    Journal journal_;  // so that a run killed meanwhile is finished or undone by the next one
    bool journalTried_ = false;
    bool done_ = false;
};

// A fresh name of that form in folder; the file is not made.
std::string temporaryNameIn(const std::string& folder);
