// What a set's recovery volumes found, said in the user's language, and their rebuilds and failures reported.
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

int repairOwnFiles(const SetVolumes& volumes, const ParityCheck& check,
                   const std::function<RebuiltName(size_t file)>& nameFor, bool quiet, std::vector<size_t>& rebuilt) {
    if (!check.repairable())
        return fail(kOutcomeUnrepairable, {"%s: nothing was written", "%s: 没有写入任何文件"}, repairVerdict(check).c_str());
    Progress progress(static_cast<uint64_t>(check.files.size()) * volumes.set.sliceSize, !quiet);
    const ParityRepair result = rebuildOwnFiles(volumes, check, nameFor, progress, rebuilt);
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
