// Finding a set's recovery volumes, telling its own files from others, and rebuilding those with the volumes.
#include "set/setvolumes.h"

#include <algorithm>

#include "os/files.h"
#include "set/format.h"
#include "set/parityread.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}
}  // namespace

bool pieceShapedName(const std::string& name) {
    if (name.size() <= 8) return false;
    const std::string tail = lowered(name.substr(name.size() - 8));
    return std::all_of(tail.begin(), tail.begin() + 4, [](char c) { return c >= '0' && c <= '9'; }) &&
           tail.compare(4, 4, ".trn") == 0;
}

SetVolumes findVolumes(const std::string& operand) {
    SetVolumes found;
    const size_t slash = operand.find_last_of(kPathSeparator);
    found.folder = slash == std::string::npos ? "." : operand.substr(0, slash + 1);
    // The volumes record names in UTF-8.
    std::string name;
    if (!osToUtf8(baseNameOf(operand), name)) name = baseNameOf(operand);
    const bool piece = pieceShapedName(name);
    const std::vector<ParitySet> sets = readParitySets(found.folder, threadsFor(2));
    // The set that names the piece (or holds packets in the volume named); the one with most recovery first.
    for (const ParitySet& set : sets) {
        bool ours = name.empty();  // a folder: any set of its volumes
        if (piece)
            for (const ParityFile& file : set.files) ours = ours || file.name == name;
        else
            for (const std::string& volume : set.volumes) ours = ours || baseNameOf(volume) == name;
        if (ours && set.complete && (!found.found() || set.recovery.size() > found.set.recovery.size()))
            found.set = set;
    }
    if (piece) {
        found.stem = name.substr(0, name.size() - 8);
    } else {
        for (const ParityFile& file : found.set.files)
            if (found.stem.empty() && plainFileName(file.name) && pieceShapedName(file.name))
                found.stem = file.name.substr(0, file.name.size() - 8);
    }
    return found;
}

bool ownFileOfSet(const SetVolumes& volumes, const std::string& name) {
    if (!plainFileName(name)) return false;
    if (lowered(name) == lowered(kScriptName)) return true;
    return pieceShapedName(name) && !volumes.stem.empty() && name.size() == volumes.stem.size() + 8 &&
           name.compare(0, volumes.stem.size(), volumes.stem) == 0;
}

std::vector<std::string> volumesOfStem(const std::string& folder, const std::string& stem) {
    SetVolumes of;
    if (!osToUtf8(stem, of.stem)) return {};
    std::vector<std::string> volumes;
    for (const ParitySet& set : readParitySets(folder, threadsFor(2))) {
        bool ours = false;
        for (const ParityFile& file : set.files) ours = ours || (pieceShapedName(file.name) && ownFileOfSet(of, file.name));
        if (ours) volumes.insert(volumes.end(), set.volumes.begin(), set.volumes.end());
    }
    return volumes;
}

bool ownFileToRebuild(const SetVolumes& volumes, const ParityCheck& check) {
    for (size_t f = 0; f < check.files.size(); f++)
        if (check.files[f].state != FileCheck::Whole && ownFileOfSet(volumes, volumes.set.files[f].name)) return true;
    return false;
}

uint32_t recoveryBlocksFor(uint32_t pieces, uint32_t value, bool percent) {
    return percent ? static_cast<uint32_t>((static_cast<uint64_t>(pieces) * value + 99) / 100) : value;
}

RecoveryPlan recoveryPlanFor(const std::string& folder, const std::string& baseName, uint32_t blocks,
                             const std::vector<std::string>& finals, const OutputFiles* outputs) {
    RecoveryPlan plan;
    plan.folder = folder;
    plan.baseName = baseName;
    plan.blocks = blocks;
    std::vector<uint64_t> lengths;
    for (const std::string& path : finals) {
        ProtectedFile file;
        file.reading = outputs ? outputs->writingOf(path) : path;
        if (!osToUtf8(baseNameOf(path), file.name)) file.name = baseNameOf(path);
        file.opened = outputs ? outputs->held(path) : nullptr;
        file.borrowed = file.opened != nullptr;
        if (!file.borrowed) file.opened = std::make_shared<OsFile>(OsFile::openRead(file.reading));
        file.length = file.opened->length();
        lengths.push_back(file.length);
        plan.files.push_back(file);
    }
    plan.sliceSize = sliceSizeFor(lengths);
    return plan;
}

ParityRepair rebuildOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                             const std::function<RebuiltName(size_t file)>& nameFor, SetEvents& events,
                             std::vector<size_t>& rebuilt) {
    std::vector<RebuildTarget> targets;
    if (check.repairable())
        for (size_t f = 0; f < check.files.size(); f++) {
            if (check.files[f].state == FileCheck::Whole || !ownFileOfSet(volumes, volumes.set.files[f].name)) continue;
            const RebuiltName name = nameFor(f);
            targets.push_back({f, name.writing, name.shown});
            rebuilt.push_back(f);
        }
    return rebuildFromParity(volumes.set, check, targets, events, threadsFor(check.lost));
}
