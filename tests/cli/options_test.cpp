// The commands' parsing: piece sizes with units and presets, options in their forms, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/options.h"

namespace {
ParsedLine parse(std::vector<std::string> args) { return parseArguments(args); }
}  // namespace

TEST(PieceSize, NumbersUnitsAndPresets) {
    struct Case {
        const char* text;
        uint32_t kib;
    } cases[] = {{"899", 899},         {"899K", 899},        {"899k", 899},         {"899KiB", 899},
                 {"700M", 716800},     {"700mb", 716800},    {"4G", 4194304},       {"4095G", 4293918720u},
                 {"email", 899},       {"电邮", 899},        {"floppy", 1399},      {"superfloppy", 121999},
                 {"Zip 100", 101999},  {"zip250", 254999},   {"CD 74", 660479},     {"cd80", 716799},
                 {"flash4", 3583},     {"Flash 1024", 972799}, {"dvd", 4927999},    {"DVD", 4927999}};
    for (const Case& c : cases) {
        uint32_t kib = 0;
        EXPECT_TRUE(parsePieceSize(c.text, kib)) << c.text;
        EXPECT_EQ(kib, c.kib) << c.text;
    }
    for (const char* bad : {"", "0", "0K", "K", "5T", "5.5M", "-5", "4096G", "99999999999999", "email2", "1 2"}) {
        uint32_t kib = 7;
        EXPECT_FALSE(parsePieceSize(bad, kib)) << bad;
    }
}

// A preset names each piece's data as the window does; a number the largest piece file. The last -s decides which.
TEST(PieceSize, PresetsAreToldFromNumbers) {
    bool preset = false;
    uint32_t kib = 0;
    EXPECT_TRUE(parsePieceSize("cd80", kib, &preset));
    EXPECT_TRUE(preset);
    EXPECT_TRUE(parsePieceSize("716799", kib, &preset));
    EXPECT_FALSE(preset);
    EXPECT_EQ(kib, 716799u);
    EXPECT_TRUE(parsePieceSize("Zip 100", kib, &preset));
    EXPECT_TRUE(preset);
    ParsedLine line = parse({"split", "x", "-s", "email", "-s", "899K"});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_FALSE(line.options.sizePreset);
    EXPECT_EQ(line.options.sizeKiB, 899u);
    line = parse({"split", "x", "-s", "899K", "--size=email"});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_TRUE(line.options.sizePreset);
    EXPECT_EQ(line.options.sizeKiB, 899u);
}

TEST(Arguments, EveryOptionInItsForms) {
    ParsedLine line = parse({"split", "-s", "700M", "-o", "out", "--script", "--key=pw", "-d", "text", "--no-checksum",
                             "-q", "--force", "in.bin"});
    ASSERT_TRUE(line.ok) << line.error;
    const Options& o = line.options;
    EXPECT_EQ(o.command, Command::Split);
    EXPECT_EQ(o.operand, "in.bin");
    EXPECT_EQ(o.sizeKiB, 716800u);
    EXPECT_EQ(o.output, "out");
    EXPECT_TRUE(o.script && o.haveKey && o.haveDescription && o.quiet && o.force);
    EXPECT_EQ(o.key, "pw");
    EXPECT_EQ(o.description, "text");
    EXPECT_FALSE(o.checksum);

    line = parse({"verify", "a", "--json", "--", "-b"});  // reports take several sets
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.options.operands, (std::vector<std::string>{"a", "-b"}));

    line = parse({"split", "-s899K", "--", "-odd name"});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.options.sizeKiB, 899u);
    EXPECT_EQ(line.options.operand, "-odd name");

    line = parse({"join", "x0001.trn", "-o", "-", "-y", "--key", ""});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.options.output, "-");
    EXPECT_TRUE(line.options.yes && line.options.haveKey);
    EXPECT_EQ(line.options.key, "");

    line = parse({"split", "-", "--name", "db.sql", "-n", "3"});
    EXPECT_FALSE(line.ok);  // a stream has no length to share out
    line = parse({"split", "-", "--name", "db.sql"});
    EXPECT_TRUE(line.ok) << line.error;

    // Flags cluster as getopt lets them; the last of a cluster may take the rest, or the next word, as its value.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"split", "-qfs", "10K", "x"},
                                                 std::vector<std::string>{"split", "-fqs10K", "x"}}) {
        line = parse(args);
        ASSERT_TRUE(line.ok) << line.error;
        EXPECT_TRUE(line.options.quiet && line.options.force);
        EXPECT_EQ(line.options.sizeKiB, 10u);
        EXPECT_EQ(line.options.operand, "x");
    }
    line = parse({"join", "-yq", "x0001.trn"});
    EXPECT_TRUE(line.ok && line.options.yes && line.options.quiet) << line.error;

    // As with GNU tools: a long option by any beginning only one of the command's options has, and an option given
    // again takes its last value. "--n" is ambiguous (--name, --no-checksum), "--js" does not apply to a join.
    line = parse({"split", "x", "--desc", "d", "--si=1K", "-s", "2K", "-o", "a", "-o", "b", "--rec", "3"});
    ASSERT_TRUE(line.ok) << line.error;
    EXPECT_EQ(line.options.description, "d");
    EXPECT_EQ(line.options.sizeKiB, 2u);
    EXPECT_EQ(line.options.output, "b");
    EXPECT_EQ(line.options.recovery, 3u);
    EXPECT_NE(parse({"split", "x", "--n", "a"}).error.find("--name --no-checksum"), std::string::npos);
    EXPECT_NE(parse({"join", "x", "--js"}).error.find("does not apply"), std::string::npos);

    line = parse({"split", "--help"});
    EXPECT_TRUE(line.ok && line.options.commandHelp);
    EXPECT_TRUE(parse({"--version"}).ok);
    EXPECT_EQ(parse({"--version"}).options.command, Command::Version);
    EXPECT_EQ(parse({"help"}).options.command, Command::Help);
    line = parse({"help", "verify"});
    EXPECT_TRUE(line.ok && line.options.commandHelp);
    EXPECT_EQ(line.options.command, Command::Verify);
    line = parse({"help", "frob"});
    EXPECT_FALSE(line.ok);
    EXPECT_NE(line.error.find("split, join, info, verify and repair"), std::string::npos) << line.error;
}

TEST(Arguments, RefusedWithAReason) {
    const std::vector<std::vector<std::string>> refused = {
        {"splitt", "x"},           {"split"},                      {"split", "a", "b"},
        {"split", "x", "-s"},      {"split", "x", "-s", "0"},      {"split", "x", "-n", "10000"},
        {"split", "x", "-n", "3x"}, {"split", "x", "-s", "1", "-n", "2"}, {"split", "x", "--n", "a"},
        {"split", "x", "--json"},  {"join", "x", "--script"},      {"info", "x", "--key", "k"},
        {"split", "x", "-qz"},     {"split", "x", "--quiet=yes"},  {"split", "x", "--sizes=5"},
        {"split", "-"},            {"split", "x", "-o", ""},       {"split", "x", "-o", "-"},
        {"verify", "x", "-y"},     {"split", "x", "-q-"},          {"split", "x", "-qs"},
        {"join", "a", "b"},        {"info", "--json"},
    };
    for (const auto& args : refused) {
        ParsedLine line = parse(args);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_FALSE(line.ok) << shown;
        EXPECT_FALSE(line.error.empty()) << shown;
    }
}

TEST(Arguments, OnlyCommandWordsLeaveTheSwitchesOfTarnExe) {
    for (const char* word : {"split", "join", "info", "verify", "help", "--help", "-h", "--version", "-V"})
        EXPECT_TRUE(isSubcommandWord(word)) << word;
    for (const char* word : {"/i=x.bin", "/q", "Split", "", "x0001.trn", "-q"}) EXPECT_FALSE(isSubcommandWord(word)) << word;
    for (const char* word : {"splt", "joni", "--versoin", "--no-such"}) EXPECT_TRUE(looksLikeCommand(word)) << word;
    for (const char* word : {"/i=x", "x.bin", "a", "--", "-q", "Split", "data2", "--x", ""})
        EXPECT_FALSE(looksLikeCommand(word)) << word;
    // An option before the command is told where it goes; the switches never start with "-".
    EXPECT_TRUE(optionBeforeCommand({"-q", "split", "x.bin"}));
    EXPECT_FALSE(optionBeforeCommand({"/q", "/i=split"}));
    EXPECT_FALSE(optionBeforeCommand({"-q", "/i=x.bin"}));
    EXPECT_FALSE(optionBeforeCommand({"-", "join"}));
    ParsedLine line = parse({"-s", "1M", "split", "x.bin"});
    EXPECT_FALSE(line.ok);
    EXPECT_NE(line.error.find("tarn split -s"), std::string::npos) << line.error;
}
