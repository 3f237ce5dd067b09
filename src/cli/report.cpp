// Text helpers for the info and verify reports.
#include "cli/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/console.h"
#include "cli/language.h"
#include "set/text.h"

std::string jsonString(const std::string& text) {
    std::string shown = localText(text);
    bool utf8 = isUtf8(shown);
    std::string out = "\"";
    char escape[8];
    for (unsigned char c : shown) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || (!utf8 && c >= 0x80)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string groupedNumber(uint64_t value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); i++) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string indexRanges(const std::vector<uint32_t>& indices) {
    std::string out;
    for (size_t i = 0; i < indices.size();) {
        size_t j = i;
        while (j + 1 < indices.size() && indices[j + 1] == indices[j] + 1) j++;
        if (!out.empty()) out += ", ";
        out += std::to_string(indices[i]);
        if (j > i) out += "-" + std::to_string(indices[j]);
        i = j + 1;
    }
    return out;
}

std::string jsonNumbers(const std::vector<uint32_t>& indices) {
    std::string out = "[";
    for (size_t i = 0; i < indices.size(); i++) out += (i ? "," : "") + std::to_string(indices[i]);
    return out + "]";
}

const char* formatWord(SetFormat format) {
    switch (format) {
        case SetFormat::Header: return "header";
        case SetFormat::OtherVersion: return "other-version";
        case SetFormat::Raw: return "raw";
    }
    return "";
}

std::string formatPhrase(const PieceSet& set) {
    switch (set.format) {
        case SetFormat::Header: return pick({"Tarn set with header (TARN1500)", "带头部的Tarn块 (TARN1500)"});
        case SetFormat::OtherVersion:
            return std::string(pick({"set of another Tarn version (", "其他版本的Tarn块 ("})) + set.mark + ")";
        case SetFormat::Raw:
            if (set.scripted)
                return pick({"script set without header (named by UnTarn.bat)", "没有头部的脚本方式的块 (由 UnTarn.bat 命名)"});
            return pick({"pieces without header (a script set or another tool's)", "没有头部的块 (脚本方式或其他程序)"});
    }
    return "";
}

std::vector<uint32_t> presentPieces(const PieceSet& set) {
    std::vector<uint32_t> list;
    for (const PieceState& p : set.pieces)
        if (p.present) list.push_back(p.index);
    return list;
}

std::string jsonProblems(const PieceSet& set) {
    std::string out = "[";
    bool first = true;
    for (const PieceState& p : set.pieces) {
        std::string item;
        if (!p.present && p.error.what != FileError::NotFound)
            item = "{\"piece\":" + std::to_string(p.index) + ",\"problem\":\"unreadable\",\"reason\":" +
                   jsonString(p.error.what == FileError::NotRegular ? "not a regular file" : osFileErrorText(p.error)) +
                   ",\"path\":" + jsonString(p.path) + "}";
        else if (!p.present)
            item = "{\"piece\":" + std::to_string(p.index) + ",\"problem\":\"missing\",\"path\":" + jsonString(p.path) + "}";
        else if (!p.marked)
            item = "{\"piece\":" + std::to_string(p.index) + ",\"problem\":\"mark\",\"path\":" + jsonString(p.path) + "}";
        else if (!p.fits())
            item = "{\"piece\":" + std::to_string(p.index) + ",\"problem\":\"length\",\"length\":" +
                   std::to_string(p.length) + ",\"expected\":" + std::to_string(p.expected) +
                   ",\"path\":" + jsonString(p.path) + "}";
        else
            continue;
        out += (first ? "" : ",") + item;
        first = false;
    }
    return out + "]";
}

void reportStoredNameChange(const std::string& stored, const std::string& written) {
    const std::string local = localText(stored);
    if (written == local) return;
    const size_t slash = local.find_last_of("/\\");
    const std::string bare = slash == std::string::npos ? local : local.substr(slash + 1);
    std::string why;
    auto add = [&why](const Text& text) { why += (why.empty() ? "" : "; ") + std::string(pick(text)); };
    if (slash != std::string::npos) add({"a file name takes no folders", "文件名不含文件夹"});
    if (bare.empty() || bare == "." || bare == "..")
        add({"'.', '..' and an empty name name no file", "'.', '..' 和空名都不是文件名"});
    else if (written != bare)
        add({"control characters and bytes that are no text become '_'", "控制字符和不成文字的字节变为 '_'"});
    report({"the stored name '%s' is written as '%s': %s", "保存的文件名 '%s' 写为 '%s': %s"}, shownText(stored).c_str(),
           shownText(written).c_str(), why.c_str());
}
