// Opening a set for join, info and verify, and the words for what is wrong with its pieces.
#include "cli/setcheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/console.h"
#include "cli/volumes.h"
#include "set/text.h"
#include "cli/outcome.h"
#include "set/format.h"
#include "os/os.h"
#include "text/textops.h"

int pieceOfFolder(Options& o) {
    if (!osFolderExists(o.operand.c_str())) return kOutcomeSuccess;
    const std::vector<std::string> firsts = firstPiecesIn(o.operand);
    char path[kTextBufferSize];
    if (firsts.size() == 1) {
        if (!pathInFolder(o.operand.c_str(), firsts[0].c_str(), path))
            return fail(kOutcomeUsage, {"the path is too long: '%s'", "路径太长: '%s'"}, o.operand.c_str());
        o.operand = path;
        return kOutcomeSuccess;
    }
    // A set whose first piece is lost is still named by its recovery volumes, which can bring that piece back.
    const SetVolumes volumes = firsts.empty() ? findVolumes(o.operand + (o.operand.back() == kPathSeparator ? "" : kPathSeparatorText)) : SetVolumes();
    for (const ParityFile& file : volumes.set.files)
        if (ownFileOfSet(volumes, file.name) && file.name.size() > 8 &&
            file.name.compare(file.name.size() - 8, 4, "0001") == 0 && pathInFolder(o.operand.c_str(), file.name.c_str(), path)) {
            o.operand = path;
            return kOutcomeSuccess;
        }
    if (firsts.empty())
        return fail(kOutcomeUsage, {"'%s' is a folder without the first piece of a set (NAME0001.trn)",
                                    "'%s' 是文件夹, 里面没有第一块 (名称0001.trn)"},
                    o.operand.c_str());
    std::string names;
    for (const std::string& name : firsts) names += (names.empty() ? "" : ", ") + shownText(name);
    return fail(kOutcomeUsage, {"'%s' holds %u sets: name the first piece of one (%s)",
                                "'%s' 里有 %u 组块: 请指定其中一组的第一块 (%s)"},
                o.operand.c_str(), static_cast<unsigned>(firsts.size()), names.c_str());
}

int openSetOrReport(const Options& o, PieceSet& set, bool allowOdd, bool hold, const StandIns& standIns) {
    switch (openPieceSet(o.operand, set, hold, standIns)) {
        case SetOpening::NotAPiece:
            return fail(kOutcomeUsage, {"'%s' is not a piece of a set (NAME0001.trn)", "'%s' 不是块文件 (名称0001.trn)"},
                        o.operand.c_str());
        case SetOpening::FirstMissing:
            if (set.firstError.what == FileError::NotRegular)
                return fail(kOutcomeMissing, {"the first piece of '%s' is not a regular file",
                                              "'%s' 的第一个文件不是普通文件"},
                            o.operand.c_str());
            if (set.firstError.what != FileError::NotFound)
                return fail(kOutcomeMissing, {"cannot read the first piece of '%s': %s", "无法读取 '%s' 的第一个文件: %s"},
                            o.operand.c_str(), osFileErrorText(set.firstError).c_str());
            return fail(kOutcomeMissing, {"the first piece of '%s' is missing", "找不到 '%s' 的第一个文件"},
                        o.operand.c_str());
        case SetOpening::Opened: break;
    }
    if (!allowOdd && set.format == SetFormat::OtherVersion)
        return fail(kOutcomeDamaged,
                    {"this set was cut by another version of Tarn (%s): -y joins it anyway",
                     "这些文件被不同版本的Tarn程序劈分 (%s): 用 -y 仍然合并"},
                    set.mark.c_str());
    if (!allowOdd && set.scripted)
        return fail(kOutcomeDamaged, {"these pieces have no Tarn header (a script set, named by its UnTarn.bat): "
                                      "-y joins them",
                                      "这些文件没有Tarn头部 (脚本方式, 由 UnTarn.bat 命名): 用 -y 合并"});
    if (!allowOdd && set.format == SetFormat::Raw)
        return fail(kOutcomeDamaged,
                    {"these pieces have no Tarn header: -y joins them in order, up to the highest number there",
                     "这些文件没有Tarn头部: 用 -y 按顺序合并到编号最大的那一块"});
    if (set.format != SetFormat::Raw && !set.headerConsistent && set.count == 0)
        return fail(kOutcomeDamaged, {"the header of the first piece is damaged: it records no valid piece count",
                                      "第一个文件的头部已损坏: 块数无效"});
    return kOutcomeSuccess;
}

std::vector<std::string> pieceProblemLines(const PieceSet& set) {
    std::vector<std::string> lines;
    char line[1200];
    if (set.format != SetFormat::Raw && !set.headerConsistent) {
        std::snprintf(line, sizeof line,
                      pick({"the header does not agree with the first piece: %u pieces, %llu bytes, first piece %lld bytes",
                            "头部与第一个文件不符: %u 块, %llu 字节, 第一个文件 %lld 字节"}),
                      set.count, static_cast<unsigned long long>(set.size),
                      static_cast<long long>(set.pieces.empty() ? -1 : set.pieces[0].length));
        lines.push_back(line);
    }
    for (const PieceState& p : set.pieces) {
        if (!p.present && p.error.what == FileError::NotRegular) {
            std::snprintf(line, sizeof line, pick({"piece %u is not a regular file: %s", "第 %u 块不是普通文件: %s"}),
                          p.index, p.path.c_str());
        } else if (!p.present && p.error.what != FileError::NotFound) {
            std::snprintf(line, sizeof line, pick({"piece %u cannot be read (%s): %s", "无法读取第 %u 块 (%s): %s"}),
                          p.index, osFileErrorText(p.error).c_str(), p.path.c_str());
        } else if (!p.present) {
            std::snprintf(line, sizeof line, pick({"piece %u is missing: %s", "第 %u 块缺失: %s"}), p.index, p.path.c_str());
        } else if (!p.marked) {
            std::snprintf(line, sizeof line, pick({"piece %u does not begin with the piece mark: %s",
                                                   "第 %u 块没有块标记: %s"}),
                          p.index, p.path.c_str());
        } else if (!p.fits()) {
            std::snprintf(line, sizeof line,
                          pick({"piece %u has %lld bytes, the set needs %lld: %s", "第 %u 块有 %lld 字节, 应为 %lld: %s"}),
                          p.index, static_cast<long long>(p.length), static_cast<long long>(p.expected), p.path.c_str());
        } else {
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

int reportPieceProblems(const PieceSet& set, bool toStderr) {
    if (toStderr)
        for (const std::string& line : pieceProblemLines(set)) std::fprintf(stderr, "tarn: %s\n", line.c_str());
    if (!set.missing().empty()) return kOutcomeMissing;
    if (!set.misfits().empty() || (set.format != SetFormat::Raw && !set.headerConsistent)) return kOutcomeDamaged;
    return kOutcomeSuccess;
}
