// tarn verify: checks a set as a join would find it, without writing anything.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/outcome.h"
#include "cli/report.h"
#include "cli/setcheck.h"
#include "cli/volumes.h"
#include "set/datapass.h"
#include "set/threads.h"
#include "text/textops.h"

void printUnopenedSetJson(const std::string& operand, int outcome) {
    std::printf("{\"set\":%s,\"kind\":null,\"pieces\":null,\"size\":null,\"ok\":false,\"exit\":%d,\"problems\":[],"
                "\"checksum\":null}\n",
                jsonString(operand).c_str(), outcome);
}

namespace {
std::string recoveryJson(const SetVolumes& volumes, const ParityCheck& check) {
    if (!volumes.found()) return "null";
    return "{\"blocks\":" + std::to_string(check.blocks) + ",\"needed\":" + std::to_string(check.lost) +
           ",\"repairable\":" + (check.repairable() ? "true" : "false") + "}";
}

// A set whose volumes find pieces lost or damaged: those, and whether the volumes can rebuild them.
int reportDamage(const Options& o, const SetVolumes& volumes, const ParityCheck& check) {
    bool missing = false;
    for (const FileCheck& file : check.files) missing = missing || file.state == FileCheck::Missing;
    const int outcome = !check.repairable() ? kOutcomeUnrepairable : missing ? kOutcomeMissing : kOutcomeDamaged;
    std::vector<std::string> lines = damageLines(volumes, check);
    lines.push_back(repairVerdict(check) + (check.repairable() ? pick({" (tarn repair)", " (tarn repair)"}) : ""));
    if (o.json) {
        std::string problems;
        for (const std::string& line : lines) problems += (problems.empty() ? "" : ",") + jsonString(line);
        std::printf("{\"set\":%s,\"kind\":null,\"pieces\":null,\"size\":null,\"ok\":false,\"exit\":%d,"
                    "\"problems\":[%s],\"checksum\":null,\"recovery\":%s}\n",
                    jsonString(o.operand).c_str(), outcome, problems.c_str(), recoveryJson(volumes, check).c_str());
    } else if (!o.quiet) {
        for (const std::string& line : lines) std::printf("%s\n", line.c_str());
        std::printf("%s\n", pick({"FAILED", "失败"}));
    }
    return outcome;
}
// One line of JSON for a set that was opened; computed is the checksum found, null when none was computed.
void printVerifyJson(const std::string& operand, const PieceSet& set, int outcome, const uint32_t* computed,
                     const std::string& recovery) {
    const bool raw = set.format == SetFormat::Raw;
    std::string checksum = "null";
    if (!raw && set.checksum != 0)
        checksum = "{\"recorded\":" + std::to_string(set.checksum) + ",\"computed\":" +
                   (computed ? std::to_string(*computed) : "null") + ",\"match\":" +
                   (computed ? (*computed != set.checksum ? "false" : "true") : "null") + "}";
    std::printf("{\"set\":%s,\"kind\":\"%s\",\"pieces\":%u,\"size\":%llu,\"ok\":%s,\"exit\":%d,"
                "\"problems\":%s,\"checksum\":%s,\"recovery\":%s}\n",
                jsonString(operand).c_str(), formatWord(set.format), set.count,
                static_cast<unsigned long long>(set.size), outcome == kOutcomeSuccess ? "true" : "false", outcome,
                jsonProblems(set).c_str(), checksum.c_str(), recovery.c_str());
}
}  // namespace

int runVerifyCommand(const Options& o) {
    // With recovery volumes beside it, every piece is checked against them first, the first piece's loss included.
    const SetVolumes volumes = findVolumes(o.operand);
    ParityCheck check;
    if (volumes.found()) {
        check = checkWithVolumes(volumes, o.quiet || o.json);
        if (!check.whole()) return reportDamage(o, volumes, check);
    }
    PieceSet set;
    int code = openSetOrReport(o, set, true, true);
    if (code != kOutcomeSuccess) {
        if (o.json) printUnopenedSetJson(o.operand, code);
        return code;
    }
    const bool raw = set.format == SetFormat::Raw;
    int outcome = reportPieceProblems(set, false);
    std::vector<std::string> problems = pieceProblemLines(set);

    // The checksum is only worth computing over a set whose every piece is where and as long as it must be.
    bool sum = outcome == kOutcomeSuccess && !raw && set.checksum != 0;
    DataPass pass;
    pass.sum = sum;
    pass.skipHoles = true;  // zeros add nothing to the sum: the holes of a sparse set need no reading
    if (o.haveKey) {
        pass.key = cipherKeyOf(o.key);
        pass.decipher = true;
    }
    bool readFailed = false;
    if (sum) {
        Progress progress(set.size, !o.quiet && !o.json);
        auto nothing = [](const uint8_t*, size_t, uint64_t) { return true; };
        if (readSetData(set, pass, progress, nothing, threadsFor(dataChunks(set))) != PassResult::Done) {
            readFailed = true;
            outcome = kOutcomeMissing;
            char line[900];
            std::snprintf(line, sizeof line, pick({"piece %u cannot be read: %s", "第 %u 块无法读取: %s"}),
                          pass.failedPiece, set.pieces[pass.failedPiece - 1].path.c_str());
            problems.push_back(line);
        }
    }
    bool mismatch = sum && !readFailed && pass.checksum != set.checksum;
    if (mismatch) outcome = kOutcomeChecksum;

    if (o.json) {
        printVerifyJson(o.operand, set, outcome, sum && !readFailed ? &pass.checksum : nullptr,
                        recoveryJson(volumes, check));
        return outcome;
    }
    if (o.quiet) return outcome;
    if (volumes.found())
        std::printf(pick({"recovery volumes: every piece sound, %u block(s) to rebuild lost ones\n",
                          "恢复卷: 每一块都完好, 有 %u 个块可重建丢失的块\n"}),
                    check.blocks);
    for (const std::string& line : problems) std::printf("%s\n", line.c_str());
    if (raw && set.scripted)
        std::printf("%s\n", pick({"no header: only the pieces' presence and lengths can be checked (by UnTarn.bat)",
                                  "没有头部: 只能检查块是否存在及其长度 (依据 UnTarn.bat)"}));
    else if (raw)
        std::printf("%s\n", pick({"no header: only the pieces' presence can be checked",
                                  "没有头部: 只能检查块是否存在"}));
    else if (set.checksum == 0)
        std::printf("%s\n", pick({"no checksum recorded", "没有记录CRC"}));
    else if (mismatch)
        std::printf(pick({"checksum mismatch: recorded %u, found %u%s\n", "CRC失败: 记录 %u, 实际 %u%s\n"}), set.checksum,
                    pass.checksum,
                    o.haveKey ? "" : pick({" (an enciphered set needs --key)", " (加密的块需要 --key)"}));
    else if (sum && !readFailed)
        std::printf(pick({"checksum matches: %u\n", "CRC正确: %u\n"}), set.checksum);
    if (outcome == kOutcomeSuccess)
        std::printf(set.count == 1 ? pick({"OK: %u piece, %s bytes\n", "正确: %u 块, %s 字节\n"})
                                   : pick({"OK: %u pieces, %s bytes\n", "正确: %u 块, %s 字节\n"}),
                    set.count, groupedNumber(set.size).c_str());
    else
        std::printf("%s\n", pick({"FAILED", "失败"}));
    return outcome;
}
