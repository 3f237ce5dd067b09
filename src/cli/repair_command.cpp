// tarn repair: writes a set's lost or damaged pieces back from its recovery volumes; --create adds volumes to a
// set that has none.
#include <cstdio>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/outcome.h"
#include "cli/setcheck.h"
#include "cli/volumes.h"
#include "set/format.h"
#include "set/outputs.h"
#include "set/recovery.h"
#include "set/text.h"
#include "set/threads.h"
#include "text/textops.h"

namespace {
// A name beside a damaged file to keep it under ("repo0003.trn.1", or the next number free).
std::string keptNameFor(const std::string& path) {
    for (unsigned n = 1;; n++) {
        const std::string kept = path + "." + std::to_string(n);
        if (osEntryKind(kept) == EntryKind::None) return kept;
    }
}

int createVolumes(const Options& o) {
    PieceSet set;
    int code = openSetOrReport(o, set, true);
    if (code != kOutcomeSuccess) return code;
    if ((code = reportPieceProblems(set, true)) != kOutcomeSuccess) return code;
    const SetVolumes existing = findVolumes(set.pieces[0].path);
    if (existing.found() && !o.force)
        return fail(kOutcomeUnwritable, {"the set already has recovery volumes (%s): --force replaces them",
                                         "这组块已有恢复卷 (%s): --force 可替换"},
                    existing.set.volumes[0].c_str());
    const size_t slash = o.operand.find_last_of(kPathSeparator);
    std::vector<std::string> paths;
    for (const PieceState& piece : set.pieces) paths.push_back(piece.path);
    const std::string folder = slash == std::string::npos ? "." : o.operand.substr(0, slash + 1);
    char script[kTextBufferSize];
    if (pathInFolder(folder.c_str(), kScriptName, script) && osEntryKind(script) == EntryKind::File)
        paths.push_back(script);
    const RecoveryPlan plan = recoveryPlanFor(folder, fittedFileName(localFileName(set.storedName)),
                                              recoveryBlocks(o, set.count), paths, nullptr);
    OutputFiles outputs(plan.folder);
    for (const std::string& volume : existing.set.volumes) outputs.removeAtCommit(volume);
    stopOnSignal();
    Progress progress(plan.blocks == 0 ? 0 : set.size, !o.quiet);
    code = recoveryFailed(writeRecoveryVolumes(plan, outputs, progress, threadsFor(plan.files.size())));
    progress.finish();
    if (code != kOutcomeSuccess) return code;
    if (!outputs.commit())
        return fail(kOutcomeUnwritable, {"cannot name the volumes in '%s': %s", "无法在 '%s' 中命名恢复卷: %s"},
                    plan.folder.c_str(), osFileErrorText(osLastFileError()).c_str());
    if (!o.quiet)
        report({"%s: %u recovery volume(s) written in %s: as many lost or damaged pieces can be rebuilt",
                "%s: 已在 %s 中写入 %u 个恢复卷: 同样多的丢失或损坏的块可以重建"},
               shownText(plan.baseName).c_str(), plan.blocks, plan.folder.c_str());
    return kOutcomeSuccess;
}
}  // namespace

int runRepairCommand(const Options& o) {
    if (o.create) return createVolumes(o);
    const SetVolumes volumes = findVolumes(o.operand);
    if (!volumes.found())
        return fail(kOutcomeMissing, {"no recovery volumes for '%s' in its folder", "'%s' 的文件夹中没有它的恢复卷"},
                    o.operand.c_str());
    recoverFolder(volumes.folder, o.quiet);
    const ParityCheck check = checkWithVolumes(volumes, o.quiet);
    if (!o.quiet) reportDamage(volumes, check);
    bool work = false;
    for (const FileCheck& file : check.files) work = work || file.state != FileCheck::Whole;
    if (!work) {
        if (!o.quiet)
            report({"all %zu file(s) of the set are sound: nothing to repair", "这组的 %zu 个文件都完好: 无需修复"},
                   check.files.size());
        return kOutcomeSuccess;
    }
    OutputFiles outputs(volumes.folder);
    stopOnSignal();
    std::vector<size_t> rebuilt;
    int code = repairOwnFiles(
        volumes, check,
        [&](size_t f) {
            const std::string writing = outputs.add(check.files[f].path);
            outputs.created(writing);
            return RebuiltName{writing, check.files[f].path};
        },
        o.quiet, rebuilt);
    if (code != kOutcomeSuccess) return code;
    // A damaged piece is kept beside the rebuilt one: what the volumes called damage may have been the user's.
    std::vector<std::string> kept(check.files.size());
    for (size_t f : rebuilt)
        if (check.files[f].state == FileCheck::Damaged) {
            kept[f] = keptNameFor(check.files[f].path);
            if (!osRenameReplacing(check.files[f].path, kept[f]))
                return fail(kOutcomeUnwritable, {"cannot move '%s' aside: %s", "无法移开 '%s': %s"},
                            check.files[f].path.c_str(), osFileErrorText(osLastFileError()).c_str());
        }
    if (!outputs.commit())
        return fail(kOutcomeUnwritable, {"cannot name the rebuilt pieces: %s", "无法命名重建的块: %s"},
                    osFileErrorText(osLastFileError()).c_str());
    if (o.quiet) return kOutcomeSuccess;
    for (size_t f : rebuilt)
        if (kept[f].empty())
            report({"%s: rebuilt", "%s: 已重建"}, shownText(check.files[f].path).c_str());
        else
            report({"%s: rebuilt; the damaged one is kept as %s", "%s: 已重建; 损坏的文件保存为 %s"},
                   shownText(check.files[f].path).c_str(), shownText(kept[f]).c_str());
    for (size_t f = 0; f < check.files.size(); f++)
        if (check.files[f].state != FileCheck::Whole && !ownFileOfSet(volumes, volumes.set.files[f].name))
            report({"'%s' is no piece of this set: not written", "'%s' 不是这组块的文件: 未写入"},
                   shownText(volumes.set.files[f].name).c_str());
    return kOutcomeSuccess;
}
