// Output files written under names of their own and renamed into place together, or removed on failure.
#include "set/outputs.h"

#include <atomic>

#include "set/format.h"
#include "set/threads.h"
#include "text/textops.h"

std::string temporaryNameIn(const std::string& folder) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t noise[8];
    osRandomBytes(noise, sizeof noise);
    char name[16] = ".tarn-";
    for (int i = 0; i < 8; i++) name[6 + i] = kLetters[noise[i] % 36];
    // Internal and never shown: it may pass the 599 bytes a real name must keep to, as long as the system takes it.
    const bool ends = !folder.empty() && (folder.back() == '/' || (kPathSeparator == '/' && folder.back() == kPathSeparator));
    return folder + (ends ? "" : kPathSeparatorText) + name;
}

OutputFiles::~OutputFiles() { rollBack(); }

bool OutputFiles::makeFolder() {
    if (osEntryKind(folder_) == EntryKind::Folder || osEntryKind(folder_ + kPathSeparatorText) == EntryKind::Folder)
        return true;
    return osMakeFolders(folder_, top_);
}

std::string OutputFiles::add(const std::string& path, bool direct) {
    Entry entry;
    entry.path = path;
    entry.writing = direct ? path : temporaryNameIn(folder_);
    if (!direct) {
        // Recorded before the file exists, so that no file of this run is ever unknown to the journal.
        if (!journalTried_) journal_.begin(folder_);
        journalTried_ = true;
        journal_.wrote(entry.writing, path);
    }
    entries_.push_back(entry);
    return entry.writing;
}

std::string OutputFiles::scratch() { return add(""); }

std::string OutputFiles::writingOf(const std::string& path) const {
    for (const Entry& entry : entries_)
        if (entry.path == path) return entry.writing;
    return "";
}

void OutputFiles::created(const std::string& writing, std::shared_ptr<OsFile> open) {
    for (Entry& entry : entries_)
        if (entry.writing == writing) {
            entry.made = true;
            if (open && open->valid()) entry.open = open;
        }
}

std::shared_ptr<OsFile> OutputFiles::held(const std::string& name) const {
    for (const Entry& entry : entries_)
        if ((entry.writing == name || entry.path == name) && entry.open && entry.open->valid()) return entry.open;
    return nullptr;
}

bool OutputFiles::rename(Entry& entry) {
    if (entry.open) return entry.open->renameTo(entry.writing, entry.path);
    return osRenameReplacing(entry.writing, entry.path);
}

void OutputFiles::retarget(const std::string& writing, const std::string& path) {
    for (Entry& entry : entries_)
        if (entry.writing == writing) entry.path = path;
    journal_.wrote(writing, path);
}

void OutputFiles::removeAtCommit(const std::string& path) {
    doomed_.push_back(path);
    journal_.doomed(path);
}

// Under Wine a rename searches the folder for the new name in any letter case, as long as the folder holds the
// new set's temporary files too: two threads share a large set's renames. Their order does not matter once the
// commit is recorded; one that fails is left to the caller's thread, which reports its error.
void OutputFiles::renameOnThreads() {
    const unsigned threads = entries_.size() < 64 ? 1 : threadsFor(entries_.size());
    if (threads < 2) return;
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    runEach(threads, [&](unsigned) {
        for (size_t i = next++; i < entries_.size() && !failed; i = next++) {
            Entry& entry = entries_[i];
            if (entry.path.empty() || entry.writing == entry.path) continue;
            if (rename(entry)) entry.renamed = true;
            else failed = true;
        }
    });
}

bool OutputFiles::commit() {
    // Files kept open that need not stay so are closed first: a write error they show stops the work whole.
    for (Entry& entry : entries_) {
        const bool renamedOpen = entry.open && !entry.path.empty() && entry.writing != entry.path;
        if (entry.open && !(renamedOpen ? entry.open->settleForRename() : entry.open->close())) return false;
    }
    // From the commit record on, a run killed among the renames is finished by the next one.
    if (!journal_.commit()) return false;
    renameOnThreads();
    for (Entry& entry : entries_) {
        if (entry.path.empty() || entry.renamed) continue;
        if (entry.writing != entry.path && !rename(entry)) return false;
        entry.renamed = true;
    }
    for (Entry& entry : entries_)
        if (entry.path.empty() && entry.made) osRemoveFile(entry.writing);
    done_ = true;
    for (const std::string& path : doomed_) {
        // A file to go whose name a new one has taken is gone already.
        bool taken = false;
        for (const Entry& entry : entries_) taken = taken || entry.path == path;
        if (!taken) osRemoveFile(path);
    }
    journal_.end();
    return true;
}

void OutputFiles::rollBack() {
    if (done_) return;
    done_ = true;
    for (const Entry& entry : entries_) {
        // An open file cannot be removed on Windows.
        if (entry.open) entry.open->close();
        if (entry.made && !entry.renamed) osRemoveFile(entry.writing);
    }
    journal_.end();
    if (!top_.empty()) osRemoveMadeFolders(folder_.c_str(), top_.c_str());
}
