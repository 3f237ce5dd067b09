// The journal of an outputs transaction: records of NUL-separated fields, appended as the run goes.
#include "set/journal.h"

#include <vector>

#include "set/format.h"
#include "text/textops.h"

namespace {
constexpr char kSuffix[] = ".journal";
constexpr uint64_t kLongestJournal = 16u << 20;  // 9,999 pieces and their names, with room to spare

std::string inFolder(const std::string& folder, const std::string& name) {
    const bool ends = !folder.empty() && (folder.back() == '/' || folder.back() == kPathSeparator);
    return folder + (ends ? "" : kPathSeparatorText) + name;
}

std::string bareName(const std::string& path) {
    char name[kTextBufferSize];
    if (path.size() >= kTextBufferSize) return "";
    fileNameOfPath(path.c_str(), name);
    return name;
}

// A name of the transaction's own: ".tarn-" and eight letters or digits.
bool ownName(const std::string& name) {
    if (name.size() != 14 || name.compare(0, 6, ".tarn-") != 0) return false;
    for (size_t i = 6; i < 14; i++)
        if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9'))) return false;
    return true;
}

// A name inside the folder, and nothing else: a journal is a file anyone with the folder could have written.
bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find(':') == std::string::npos;
}

std::vector<std::string> fieldsOf(const OsFile& file) {
    std::vector<std::string> fields;
    const uint64_t length = file.length();
    if (length > kLongestJournal) return fields;
    std::string bytes(static_cast<size_t>(length), '\0');
    if (file.readAt(reinterpret_cast<uint8_t*>(&bytes[0]), bytes.size(), 0) != static_cast<int64_t>(length)) return fields;
    size_t start = 0;
    for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        fields.push_back(bytes.substr(start, end - start));
    return fields;
}

// Undoes (before the commit record) or finishes (after it) one stopped run's transaction.
bool recoverOne(const std::string& folder, const std::vector<std::string>& fields) {
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> doomed;
    bool committed = false;
    for (size_t i = 0; i < fields.size(); i++) {
        if (fields[i] == "W" && i + 2 < fields.size()) {
            files.emplace_back(fields[i + 1], fields[i + 2]);
            i += 2;
        } else if (fields[i] == "D" && i + 1 < fields.size()) {
            doomed.push_back(fields[++i]);
        } else if (fields[i] == "C") {
            committed = true;
        }
    }
    // A file retargeted later (a join whose checksum failed) is recorded again: the last record counts.
    std::vector<std::string> seen;
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        // A file of the run's own (no final name) goes either way.
        if (ownName(file->first) && file->second.empty() && osEntryKind(inFolder(folder, file->first)) == EntryKind::File)
            osRemoveFile(inFolder(folder, file->first));
        if (!ownName(file->first) || !plainName(file->second)) continue;
        bool again = false;
        for (const std::string& name : seen) again = again || name == file->first;
        if (again) continue;
        seen.push_back(file->first);
        const std::string writing = inFolder(folder, file->first);
        if (osEntryKind(writing) != EntryKind::File) continue;
        if (committed)
            osRenameReplacing(writing, inFolder(folder, file->second));
        else
            osRemoveFile(writing);
    }
    if (committed)
        for (const std::string& name : doomed) {
            // A name a new file has taken is no longer the old file's.
            bool taken = false;
            for (const auto& file : files) taken = taken || file.second == name;
            if (!taken && plainName(name) && osEntryKind(inFolder(folder, name)) == EntryKind::File)
                osRemoveFile(inFolder(folder, name));
        }
    return committed;
}
}  // namespace

bool Journal::begin(const std::string& folder) {
    uint8_t noise[8];
    osRandomBytes(noise, sizeof noise);
    std::string name = ".tarn-";
    for (uint8_t byte : noise) name += "abcdefghijklmnopqrstuvwxyz0123456789"[byte % 36];
    path_ = inFolder(folder, name + kSuffix);
    file_ = OsFile::createNew(path_, 0600);
    if (!file_.valid()) return false;
    if (!file_.lockExclusive()) {
        end();
        return false;
    }
    return true;
}

void Journal::append(const std::string& record) {
    if (!file_.valid()) return;
    file_.writeAt(reinterpret_cast<const uint8_t*>(record.data()), record.size(), at_);
    at_ += record.size();
}

void Journal::wrote(const std::string& writing, const std::string& final) {
    append(std::string("W") + '\0' + bareName(writing) + '\0' + bareName(final) + '\0');
}

void Journal::doomed(const std::string& name) { append(std::string("D") + '\0' + bareName(name) + '\0'); }

bool Journal::commit() {
    if (!file_.valid()) return true;
    const uint64_t before = at_;
    append(std::string("C") + '\0');
    return at_ == before + 2;
}

void Journal::end() {
    if (!file_.valid()) return;
    file_.close();
    osRemoveFile(path_);
}

StoppedRuns recoverStoppedRuns(const std::string& folder) {
    StoppedRuns found;
    for (const std::string& name : osListFolder(folder)) {
        if (name.size() != 14 + sizeof kSuffix - 1 || name.compare(14, std::string::npos, kSuffix) != 0 ||
            !ownName(name.substr(0, 14)))
            continue;
        const std::string path = inFolder(folder, name);
        OsFile file = OsFile::openRead(path);
        // Locked: its run is still at work.
        if (!file.valid() || !file.lockExclusive()) continue;
        (recoverOne(folder, fieldsOf(file)) ? found.finished : found.undone)++;
        file.close();
        osRemoveFile(path);
    }
    return found;
}
