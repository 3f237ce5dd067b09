// Finding a set's recovery volumes, saying what they found, and rebuilding the set's own pieces with them.
#include "cli/volumes.h"

#include <algorithm>

#include "cli/fileio.h"
#include "cli/outcome.h"
#include "set/format.h"
#include "set/parityread.h"
#include "set/parityrepair.h"
#include "set/recovery.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool pieceShaped(const std::string& name) {
    if (name.size() <= 8) return false;
    std::string tail = name.substr(name.size() - 8);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return std::all_of(tail.begin(), tail.begin() + 4, [](char c) { return c >= '0' && c <= '9'; }) &&
           tail.compare(4, 4, ".trn") == 0;
}

bool sameNoCase(std::string a, std::string b) {
    for (std::string* s : {&a, &b})
        for (char& c : *s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return a == b;
}
}  // namespace

SetVolumes findVolumes(const std::string& operand) {
    SetVolumes found;
    const size_t slash = operand.find_last_of(kPathSeparator);
    found.folder = slash == std::string::npos ? "." : operand.substr(0, slash + 1);
    const std::string name = baseNameOf(operand);
    const bool piece = pieceShaped(name);
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
            if (found.stem.empty() && plainFileName(file.name) && pieceShaped(file.name))
                found.stem = file.name.substr(0, file.name.size() - 8);
    }
    return found;
}

bool ownFileOfSet(const SetVolumes& volumes, const std::string& name) {
    if (!plainFileName(name)) return false;
    if (sameNoCase(name, kScriptName)) return true;
    return pieceShaped(name) && !volumes.stem.empty() && name.compare(0, name.size() - 8, volumes.stem) == 0 &&
           name.size() == volumes.stem.size() + 8;
}

ParityCheck checkWithVolumes(const SetVolumes& volumes, bool quiet) {
    uint64_t total = 0;
    for (const ParityFile& file : volumes.set.files) total += file.length;
    Progress progress(total, !quiet);
    ParityCheck check = checkParitySet(volumes.set, volumes.folder, progress, threadsFor(volumes.set.files.size()));
    progress.finish();
    return check;
}

std::vector<std::string> damageLines(const SetVolumes& volumes, const ParityCheck& check) {
    std::vector<std::string> lines;
    char line[1200];
    std::vector<size_t> byName(check.files.size());
    for (size_t f = 0; f < byName.size(); f++) byName[f] = f;
    std::sort(byName.begin(), byName.end(),
              [&](size_t a, size_t b) { return volumes.set.files[a].name < volumes.set.files[b].name; });
    for (size_t f : byName) {
        const FileCheck& file = check.files[f];
        const std::string shown = shownText(volumes.set.files[f].name);
        const uint32_t slices = static_cast<uint32_t>(file.sound.size());
        if (file.state == FileCheck::Missing)
            std::snprintf(line, sizeof line, pick({"%s: missing", "%s: 缺失"}), shown.c_str());
        else if (file.state == FileCheck::Damaged && slices > 1)
            std::snprintf(line, sizeof line, pick({"%s: damaged (%u of its %u blocks)", "%s: 已损坏 (%u/%u 个块)"}),
                          shown.c_str(), file.lostSlices(), slices);
        else if (file.state == FileCheck::Damaged)
            std::snprintf(line, sizeof line, pick({"%s: damaged", "%s: 已损坏"}), shown.c_str());
        else
            continue;
        lines.push_back(line);
    }
    return lines;
}

void reportDamage(const SetVolumes& volumes, const ParityCheck& check) {
    const std::vector<std::string> lines = damageLines(volumes, check);
    for (size_t i = 0; i < lines.size() && i < 10; i++) report({"%s", "%s"}, lines[i].c_str());
    if (lines.size() > 10)
        report({"… and %zu more (tarn verify lists them all)", "… 还有 %zu 个 (tarn verify 列出全部)"}, lines.size() - 10);
}

std::string repairVerdict(const ParityCheck& check) {
    char line[400];
    if (check.repairable())
        std::snprintf(line, sizeof line,
                      pick({"can be repaired: %u block(s) needed, %u in the recovery volumes",
                            "可以修复: 需要 %u 个块, 恢复卷中有 %u 个"}),
                      check.lost, check.blocks);
    else
        std::snprintf(line, sizeof line,
                      pick({"cannot be repaired: %u block(s) needed, only %u in the recovery volumes",
                            "无法修复: 需要 %u 个块, 恢复卷中只有 %u 个"}),
                      check.lost, check.blocks);
    return line;
}

int rebuildOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                    const std::function<RebuiltName(size_t file)>& nameFor, bool quiet, std::vector<size_t>& rebuilt) {
    if (!check.repairable())
        return fail(kOutcomeUnrepairable, {"%s: nothing was written", "%s: 没有写入任何文件"}, repairVerdict(check).c_str());
    std::vector<RebuildTarget> targets;
    uint64_t total = 0;
    for (size_t f = 0; f < check.files.size(); f++) {
        total += volumes.set.sliceSize;
        if (check.files[f].state == FileCheck::Whole || !ownFileOfSet(volumes, volumes.set.files[f].name)) continue;
        const RebuiltName name = nameFor(f);
        targets.push_back({f, name.writing, name.shown});
        rebuilt.push_back(f);
    }
    Progress progress(total, !quiet);
    const ParityRepair result = rebuildFromParity(volumes.set, check, targets, progress, threadsFor(check.lost));
    progress.finish();
    switch (result.what) {
        case ParityRepair::Done: return kOutcomeSuccess;
        case ParityRepair::Stopped: return kOutcomeInterrupted;
        case ParityRepair::TooMuchDamage:
        case ParityRepair::Unsolvable:
            return fail(kOutcomeUnrepairable, {"the recovery volumes cannot rebuild the lost blocks: nothing was written",
                                               "恢复卷无法重建丢失的块: 没有写入任何文件"});
        case ParityRepair::Mismatch:
            return fail(kOutcomeUnrepairable, {"a rebuilt file does not match its recorded digest (the volumes are not "
                                               "this set's): nothing was written",
                                               "重建的文件与记录的摘要不符 (恢复卷不属于这组块): 没有写入任何文件"});
        case ParityRepair::ReadFailed:
            return fail(kOutcomeMissing, {"cannot read '%s': %s", "无法读取 '%s': %s"}, result.path.c_str(),
                        osFileErrorText(result.error).c_str());
        case ParityRepair::WriteFailed: break;
    }
    return fail(outcomeOfWriteError(result.error), {"cannot write '%s': %s", "无法写入 '%s': %s"}, result.path.c_str(),
                osFileErrorText(result.error).c_str());
}

int recoveryFailed(const RecoveryResult& result) {
    switch (result.what) {
        case RecoveryResult::Done: return kOutcomeSuccess;
        case RecoveryResult::Stopped: return kOutcomeInterrupted;
        case RecoveryResult::ReadFailed:
            return fail(kOutcomeMissing, {"cannot read '%s' back: %s", "无法读回 '%s': %s"}, result.path.c_str(),
                        osFileErrorText(result.error).c_str());
        case RecoveryResult::WriteFailed: break;
    }
    return fail(outcomeOfWriteError(result.error), {"cannot write '%s': %s", "无法写入 '%s': %s"}, result.path.c_str(),
                osFileErrorText(result.error).c_str());
}
