// Parses the subcommands' arguments: long and short options, "--opt=value", "--" and the operands.
#include "cli/options.h"

#include "set/text.h"

#include <cctype>
#include <cstdio>

#include "cli/language.h"
#include "set/format.h"
#include "engine/sizing.h"

namespace {
struct Preset {
    const char* name;
    const char* label;  // the main window's label
    uint32_t entry;
};
const Preset kPresets[] = {
    {"email", "电邮", 1},        {"floppy", "软盘", 2},        {"superfloppy", "超级软盘", 3},
    {"zip100", "zip100", 4},     {"zip250", "zip250", 5},      {"zip750", "zip750", 6},
    {"cd74", "cd74", 7},         {"cd80", "cd80", 8},          {"flash4", "flash4", 9},
    {"flash8", "flash8", 10},    {"flash16", "flash16", 11},   {"flash32", "flash32", 12},
    {"flash64", "flash64", 13},  {"flash128", "flash128", 14}, {"flash256", "flash256", 15},
    {"flash512", "flash512", 16}, {"flash1024", "flash1024", 17}, {"dvd", "dvd", 18},
};

// Lower-case ASCII with spaces dropped: "Zip 100" and "CD 74", as the window shows them, name presets too.
std::string presetKey(const std::string& text) {
    std::string key;
    for (unsigned char c : text)
        if (c != ' ') key += static_cast<char>(std::tolower(c));
    return key;
}

enum class Takes { Nothing, Value };
struct OptionRule {
    const char* longName;
    char shortName;
    Takes takes;
    unsigned commands;  // bit per Command
};
constexpr unsigned bit(Command c) { return 1u << static_cast<unsigned>(c); }
constexpr unsigned kSplit = bit(Command::Split), kJoin = bit(Command::Join), kInfo = bit(Command::Info),
                   kVerify = bit(Command::Verify), kRepair = bit(Command::Repair);
const OptionRule kOptions[] = {
    {"size", 's', Takes::Value, kSplit},
    {"count", 'n', Takes::Value, kSplit},
    {"output", 'o', Takes::Value, kSplit | kJoin},
    {"script", 0, Takes::Nothing, kSplit},
    {"key", 'k', Takes::Value, kSplit | kJoin | kVerify},
    {"description", 'd', Takes::Value, kSplit},
    {"name", 0, Takes::Value, kSplit},
    {"recovery", 'r', Takes::Value, kSplit},
    {"create", 'c', Takes::Value, kRepair},
    {"no-checksum", 0, Takes::Nothing, kSplit | kJoin},
    {"quiet", 'q', Takes::Nothing, kSplit | kJoin | kVerify | kRepair},
    {"yes", 'y', Takes::Nothing, kJoin},
    {"force", 'f', Takes::Nothing, kSplit | kJoin | kRepair},
    {"json", 0, Takes::Nothing, kInfo | kVerify},
    {"help", 'h', Takes::Nothing, kSplit | kJoin | kInfo | kVerify | kRepair},
};

std::string format(const Text& text, const std::string& argument) {
    char line[1024];
    std::snprintf(line, sizeof line, pick(text), argument.c_str());
    return line;
}

// Stores one option's value; returns an error text or "".
std::string apply(const OptionRule& rule, const std::string& value, Options& o) {
    std::string name = rule.longName;
    // An option given again takes its last value, as with GNU tools (a script may add to a command line).
    if (name == "size") {
        if (!parsePieceSize(value, o.sizeKiB, &o.sizePreset))
            return format({"not a piece size: '%s' (a number of KiB, 899K, 700M, 4G or a preset such as email, cd80, dvd)",
                           "不是块大小: '%s' (KiB数, 899K, 700M, 4G 或预设名, 如 email, cd80, dvd)"},
                          value);
        o.haveSize = true;
    } else if (name == "count") {
        char* end = nullptr;
        unsigned long n = value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))
                              ? 0
                              : std::strtoul(value.c_str(), &end, 10);
        if (end == nullptr || *end != 0 || n < 1 || n > kMaxPieces)
            return format({"not a piece count: '%s' (1 to 9999)", "不是块数: '%s' (1 到 9999)"}, value);
        o.count = static_cast<uint32_t>(n);
        o.haveCount = true;
    } else if (name == "output") {
        if (value.empty()) return format({"-o needs a folder", "-o 需要一个文件夹"}, "");
        o.output = value;
    } else if (name == "key") {
        o.haveKey = true;
        // The key's bytes as Tarn.exe takes them when it is typed there: code page 936 where it holds the key.
        o.key = storedText(value);
    } else if (name == "description") {
        o.haveDescription = true;
        o.description = value;
    } else if (name == "name") {
        o.name = value;
    } else if (name == "recovery" || name == "create") {
        const bool percent = !value.empty() && value.back() == '%';
        const std::string digits = percent ? value.substr(0, value.size() - 1) : value;
        char* end = nullptr;
        unsigned long n = digits.empty() || !std::isdigit(static_cast<unsigned char>(digits[0]))
                              ? 0
                              : std::strtoul(digits.c_str(), &end, 10);
        if (end == nullptr || *end != 0 || n < 1 || n > (percent ? 100u : 32768u))
            return format({"not a number of recovery volumes: '%s' (1 to 32768, or 1%% to 100%% of the pieces)",
                           "不是恢复卷的数目: '%s' (1 到 32768, 或块数的 1%% 到 100%%)"},
                          value);
        o.haveRecovery = true;
        o.recovery = static_cast<uint32_t>(n);
        o.recoveryPercent = percent;
        o.create = name == "create";
    } else {
        // The switches that take no value set one field each.
        static const struct {
            const char* name;
            bool Options::*field;
            bool value;
        } kSwitches[] = {{"script", &Options::script, true}, {"no-checksum", &Options::checksum, false},
                         {"quiet", &Options::quiet, true},   {"yes", &Options::yes, true},
                         {"force", &Options::force, true},   {"json", &Options::json, true},
                         {"help", &Options::commandHelp, true}};
        for (const auto& s : kSwitches)
            if (name == s.name) o.*s.field = s.value;
    }
    return "";
}

// A long option by its name or, as getopt_long takes them, by a beginning of it that only one of the command's
// options has ("--desc"). Several: an error listing them; none: nullptr.
const OptionRule* longOption(const std::string& name, Command command, std::string& error) {
    for (const OptionRule& rule : kOptions)
        if (name == rule.longName) return &rule;
    std::vector<const OptionRule*> found, elsewhere;
    for (const OptionRule& rule : kOptions)
        if (!name.empty() && std::string(rule.longName).compare(0, name.size(), name) == 0)
            ((rule.commands & bit(command)) != 0 ? found : elsewhere).push_back(&rule);
    if (found.empty() && elsewhere.size() == 1) return elsewhere[0];  // then told it does not apply here
    if (found.size() == 1) return found[0];
    if (found.size() > 1) {
        std::string names;
        for (const OptionRule* rule : found) names += std::string(names.empty() ? "" : " ") + "--" + rule->longName;
        char line[512];
        std::snprintf(line, sizeof line, pick({"option '--%s' is ambiguous: %s", "选项 '--%s' 有歧义: %s"}),
                      name.c_str(), names.c_str());
        error = line;
    }
    return nullptr;
}

const char* commandWord(Command c) {
    switch (c) {
        case Command::Split: return "split";
        case Command::Join: return "join";
        case Command::Info: return "info";
        case Command::Verify: return "verify";
        case Command::Repair: return "repair";
        default: return "";
    }
}
}  // namespace

bool isSubcommandWord(const std::string& word) {
    return word == "split" || word == "join" || word == "info" || word == "verify" || word == "repair" || word == "help" ||
           word == "--help" || word == "-h" || word == "--version" || word == "-V";
}

bool looksLikeCommand(const std::string& word) {
    size_t start = word.rfind("--", 0) == 0 ? 2 : 0;
    if (word.size() < start + 2 || word.size() > start + 16) return false;
    for (size_t i = start; i < word.size(); i++)
        if (!(word[i] >= 'a' && word[i] <= 'z') && !(i > start && word[i] == '-')) return false;
    return true;
}

namespace {
bool isCommandWord(const std::string& word) {
    return word == "split" || word == "join" || word == "info" || word == "verify" || word == "repair";
}

// The command word that follows an option written first, or nullptr.
const std::string* commandAfterOption(const std::vector<std::string>& args) {
    if (args.empty() || args[0].size() < 2 || args[0][0] != '-') return nullptr;
    for (const std::string& a : args)
        if (isCommandWord(a)) return &a;
    return nullptr;
}
}  // namespace

bool optionBeforeCommand(const std::vector<std::string>& args) { return commandAfterOption(args) != nullptr; }

bool parsePieceSize(const std::string& text, uint32_t& kib, bool* preset) {
    std::string key = presetKey(text);
    for (const Preset& p : kPresets)
        if (key == p.name || key == p.label) {
            kib = kPresetTable[p.entry] - 1;
            if (preset) *preset = true;
            return true;
        }
    if (preset) *preset = false;
    key.clear();  // a number takes no spaces: "1 2" is no size
    for (unsigned char c : text) key += static_cast<char>(std::tolower(c));
    size_t digits = 0;
    while (digits < key.size() && std::isdigit(static_cast<unsigned char>(key[digits]))) digits++;
    if (digits == 0 || digits > 12) return false;
    uint64_t value = std::stoull(key.substr(0, digits));
    std::string unit = key.substr(digits);
    uint64_t scale;
    if (unit.empty() || unit == "k" || unit == "kb" || unit == "kib")
        scale = 1;
    else if (unit == "m" || unit == "mb" || unit == "mib")
        scale = 1024;
    else if (unit == "g" || unit == "gb" || unit == "gib")
        scale = 1024 * 1024;
    else
        return false;
    value *= scale;
    if (value == 0 || value > 0xFFFFFFFFull) return false;
    kib = static_cast<uint32_t>(value);
    return true;
}

namespace {
// The first word: help, version or a command. False when the line ends there, with result saying how.
bool readCommandWord(const std::vector<std::string>& args, ParsedLine& result) {
    Options& o = result.options;
    const std::string& word = args[0];
    if (word == "--help" || word == "-h" || word == "help") {
        o.command = Command::Help;
        result.ok = true;
        if (word == "help" && args.size() > 1) {  // "tarn help split", as "tarn split --help"
            result = parseArguments({args[1], "--help"});
            if (!result.ok && !isCommandWord(args[1]))
                result.error = format({"no help on '%s': the commands are split, join, info, verify and repair",
                                       "没有 '%s' 的帮助: 命令有 split, join, info, verify 和 repair"},
                                      args[1]);
        }
        return false;
    }
    if (word == "--version" || word == "-V") {
        o.command = Command::Version;
        result.ok = true;
        return false;
    }
    if (word == "split") o.command = Command::Split;
    else if (word == "join") o.command = Command::Join;
    else if (word == "info") o.command = Command::Info;
    else if (word == "verify") o.command = Command::Verify;
    else if (word == "repair") o.command = Command::Repair;
    else if (const std::string* command = commandAfterOption(args)) {
        char line[1024];
        std::snprintf(line, sizeof line, pick({"options go after the command: tarn %s %s …", "选项放在命令后面: tarn %s %s …"}),
                      command->c_str(), word.c_str());
        result.error = line;
        return false;
    } else {
        result.error = format({"unknown command '%s'", "未知命令 '%s'"}, word);
        return false;
    }
    return true;
}

// The rule of the option list[i] names, with the value given inside the word; a cluster of short options ("-qy")
// leaves its rest as the next word. Null with result.error set when there is no such option.
const OptionRule* ruleOf(std::vector<std::string>& list, size_t i, std::string& value, bool& haveValue,
                         ParsedLine& result) {
    std::string& a = list[i];
    const OptionRule* rule = nullptr;
    if (a[1] == '-') {
        std::string name = a.substr(2);
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            haveValue = true;
        }
        rule = longOption(name, result.options.command, result.error);
        if (!result.error.empty()) return nullptr;
    } else {
        for (const OptionRule& s : kOptions)
            if (s.shortName != 0 && a[1] == s.shortName) rule = &s;
        if (rule != nullptr && a.size() > 2) {
            if (rule->takes == Takes::Nothing && a[2] == '-') rule = nullptr;
            else if (rule->takes == Takes::Nothing) {
                // "-qy", "-qs 899K": the rest of the cluster is read next, as getopt does.
                list.insert(list.begin() + static_cast<std::ptrdiff_t>(i) + 1, "-" + a.substr(2));
                list[i].resize(2);
            } else {
                value = a.substr(2);  // "-s899K"
                haveValue = true;
            }
        }
    }
    if (rule == nullptr) result.error = format({"unknown option '%s'", "未知选项 '%s'"}, list[i]);
    return rule;
}

// One option at list[i], its value perhaps the next word (i then moves on). False with result.error when refused.
bool readOption(std::vector<std::string>& list, size_t& i, ParsedLine& result) {
    Options& o = result.options;
    std::string value;
    bool haveValue = false;
    const OptionRule* rule = ruleOf(list, i, value, haveValue, result);
    if (rule == nullptr) return false;
    const std::string a = list[i];
    if ((rule->commands & bit(o.command)) == 0) {
        char line[512];
        std::snprintf(line, sizeof line, pick({"option '%s' does not apply to '%s'", "选项 '%s' 不适用于 '%s'"}),
                      a.c_str(), commandWord(o.command));
        result.error = line;
        return false;
    }
    if (rule->takes == Takes::Value && !haveValue) {
        if (i + 1 >= list.size()) {
            result.error = format({"option '%s' needs a value", "选项 '%s' 需要一个值"}, a);
            return false;
        }
        value = list[++i];
    } else if (rule->takes == Takes::Nothing && haveValue) {
        result.error = format({"option '%s' takes no value", "选项 '%s' 不带值"}, a);
        return false;
    }
    result.error = apply(*rule, value, o);
    return result.error.empty();
}

// The files named and the rules between options, once every option is read.
void checkOperands(const std::vector<std::string>& operands, ParsedLine& result) {
    Options& o = result.options;
    // Reports take several sets, as a user who received several checks them all ("tarn verify */").
    const bool several = o.command == Command::Info || o.command == Command::Verify;
    if (operands.empty() || (operands.size() > 1 && !several)) {
        result.error = operands.empty()
                           ? format({"'%s' needs a file", "'%s' 需要一个文件"}, commandWord(o.command))
                           : format({"one file at a time: '%s' is one too many", "一次一个文件: '%s' 多余"},
                                    operands[1]);
        return;
    }
    o.operand = operands[0];
    o.operands = operands;
    const bool split = o.command == Command::Split;
    if (o.haveSize && o.haveCount)
        result.error = format({"give either -s or -n, not both", "只能给 -s 或 -n 其中之一"}, "");
    else if (split && o.operand == "-" && o.name.empty())
        result.error = format({"a split of standard input needs --name NAME", "劈分标准输入需要 --name 名称"}, "");
    else if (split && o.operand == "-" && o.haveCount)
        result.error = format({"standard input has no known length: use -s, not -n",
                               "标准输入的长度未知: 请用 -s, 不要用 -n"},
                              "");
    else if (split && o.output == "-")
        result.error = format({"a split writes pieces into a folder: -o - is for join",
                               "劈分把块写入文件夹: -o - 只用于合并"},
                              "");
    result.ok = result.error.empty();
}
}  // namespace

ParsedLine parseArguments(const std::vector<std::string>& args) {
    ParsedLine result;
    if (args.empty() || !readCommandWord(args, result)) return result;
    std::vector<std::string> operands;
    bool optionsEnd = false;
    std::vector<std::string> list(args);
    for (size_t i = 1; i < list.size(); i++) {
        const std::string& a = list[i];
        if (optionsEnd || a == "-" || a.size() < 2 || a[0] != '-') {
            operands.push_back(a);
        } else if (a == "--") {
            optionsEnd = true;
        } else if (!readOption(list, i, result)) {
            return result;
        }
    }
    if (result.options.commandHelp) {
        result.ok = true;
        return result;
    }
    checkOperands(operands, result);
    return result;
}
