// tarn info: what a set holds, from its first piece's header and the pieces in its folder.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/console.h"
#include "set/text.h"
#include "cli/outcome.h"
#include "cli/report.h"
#include "cli/setcheck.h"
#include "cli/volumes.h"
#include "cli/times.h"
#include "text/textops.h"

namespace {
std::string attributeWords(uint32_t attributes) {
    static const struct {
        uint32_t bit;
        const char* word;
    } kBits[] = {{0x01, "read-only"}, {0x02, "hidden"}, {0x04, "system"}, {0x20, "archive"}, {0x80, "normal"}};
    std::string words;
    for (const auto& b : kBits)
        if (attributes & b.bit) words += (words.empty() ? "" : ", ") + std::string(b.word);
    return words;
}

std::string jsonTime(uint64_t filetime) {
    std::string text = filetimeText(filetime);
    return text.empty() ? "null" : jsonString(text);
}

std::string recoveryJson(const SetVolumes& volumes) {
    if (!volumes.found()) return "null";
    return "{\"files\":" + std::to_string(volumes.set.volumes.size()) + ",\"blocks\":" +
           std::to_string(volumes.set.recovery.size()) + ",\"block_size\":" + std::to_string(volumes.set.sliceSize) +
           "}";
}

void printJson(const PieceSet& set, const std::string& operand, const SetVolumes& volumes) {
    bool raw = set.format == SetFormat::Raw;
    std::printf("{\"set\":%s,\"kind\":\"%s\",\"script\":%s,\"mark\":%s,\"name\":%s,\"size\":%llu,\"pieces\":%u,"
                "\"piece_size\":%llu,",
                jsonString(operand).c_str(), formatWord(set.format), set.scripted ? "true" : "false",
                jsonString(set.mark).c_str(),
                jsonString(diskFileName(set.storedName)).c_str(), static_cast<unsigned long long>(set.size), set.count,
                static_cast<unsigned long long>(set.pieceBytes));
    std::printf("\"description\":%s,\"checksum\":%s,", raw ? "null" : jsonString(set.description).c_str(),
                raw || set.checksum == 0 ? "null" : std::to_string(set.checksum).c_str());
    std::printf("\"created\":%s,\"accessed\":%s,\"modified\":%s,\"attributes\":%s,",
                raw ? "null" : jsonTime(set.created).c_str(), raw ? "null" : jsonTime(set.accessed).c_str(),
                raw ? "null" : jsonTime(set.written).c_str(), raw ? "null" : std::to_string(set.attributes).c_str());
    std::printf("\"header_consistent\":%s,\"present\":%s,\"missing\":%s,\"wrong\":%s,\"recovery\":%s}\n",
                raw || set.headerConsistent ? "true" : "false", jsonNumbers(presentPieces(set)).c_str(),
                jsonNumbers(set.missing()).c_str(), jsonProblems(set).c_str(), recoveryJson(volumes).c_str());
}

// Labels line up in columns on a terminal: a Chinese character takes two columns and three bytes.
void row(const Text& label, const std::string& value) {
    std::string text = pick(label);
    size_t columns = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) columns += c >= 0xE0 ? 2 : 1;
    text.append(columns < 14 ? 14 - columns : 1, ' ');
    std::printf("%s %s\n", text.c_str(), value.c_str());
}

void printText(const PieceSet& set, const SetVolumes& volumes) {
    bool raw = set.format == SetFormat::Raw;
    char number[40];
    row({"kind:", "类型:"}, formatPhrase(set));
    // The name as a join writes it here, so that what info shows is what ls will.
    row({"name:", "名称:"}, shownText(diskFileName(set.storedName)));
    row({"size:", "大小:"}, groupedNumber(set.size) + pick({" bytes", " 字节"}) + " (" +
                                humanBytes(set.size) + ")");
    std::string pieces = std::to_string(set.count);
    if (set.count > 1) pieces += pick({" of ", ", 每块 "}) + groupedNumber(set.pieceBytes) +
                                 pick({" bytes", " 字节"});
    row({"pieces:", "块数:"}, pieces);
    if (!raw) {
        if (!set.description.empty()) row({"description:", "描述:"}, shownText(set.description));
        row({"checksum:", "CRC:"}, set.checksum == 0 ? pick({"none recorded", "未记录"}) : std::to_string(set.checksum));
        const std::string none = pick({"none recorded", "未记录"});
        std::string t = filetimeText(set.created);
        row({"created:", "创建时间:"}, t.empty() ? none : t);
        t = filetimeText(set.accessed);
        row({"accessed:", "访问时间:"}, t.empty() ? none : t);
        t = filetimeText(set.written);
        row({"modified:", "修改时间:"}, t.empty() ? none : t);
        std::snprintf(number, sizeof number, "0x%04X", set.attributes);
        std::string words = attributeWords(set.attributes);
        row({"attributes:", "属性:"}, std::string(number) + (words.empty() ? "" : " (" + words + ")"));
    }
    std::vector<uint32_t> present = presentPieces(set), missing = set.missing();
    row({"present:", "存在:"}, present.empty() ? "-" : indexRanges(present));
    row({"missing:", "缺失:"}, missing.empty() ? pick({"none", "无"}) : indexRanges(missing));
    for (const std::string& line : pieceProblemLines(set))
        if (line.find(pick({"is missing", "缺失"})) == std::string::npos) row({"problem:", "问题:"}, line);
    if (volumes.found()) {
        char text[300];
        std::snprintf(text, sizeof text,
                      pick({"%zu block(s) of %s bytes in %zu file(s): as many lost blocks can be rebuilt",
                            "%zu 个块, 每块 %s 字节, 在 %zu 个文件中: 同样多的丢失的块可以重建"}),
                      volumes.set.recovery.size(), groupedNumber(volumes.set.sliceSize).c_str(),
                      volumes.set.volumes.size());
        row({"recovery:", "恢复卷:"}, text);
    }
}
}  // namespace

int runInfoCommand(const Options& o) {
    PieceSet set;
    int code = openSetOrReport(o, set, true);
    if (code != kOutcomeSuccess) return code;
    const SetVolumes volumes = findVolumes(set.pieces[0].path);
    if (o.json)
        printJson(set, o.operand, volumes);
    else
        printText(set, volumes);
    return kOutcomeSuccess;
}
