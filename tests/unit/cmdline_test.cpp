// The command-line tokenizer, the size parser and the switch rules of the argument loop.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/cmdline.h"
#include "app/startup.h"
#include "engine/jobstate.h"
#include "fake_ui.h"
#include "os/os.h"

namespace {
struct Token {
    int result;
    std::string text;
};
Token tokenOf(const std::string& line, uint32_t n) {
    char out[kTextBufferSize];
    std::strcpy(out, "untouched");
    int result = commandLineTokenOf(line.c_str(), n, out);
    return {result, out};
}

struct SwitchTest : ::testing::Test {
    void SetUp() override {
        resetProcessRecords();
        resetFakeUi();
        jobState.pieceSizeKB = 512;
        std::strcpy(jobState.outputFolder, "desk");
    }
    void TearDown() override {
        osSetCommandLine("tarn");
        resetProcessRecords();
    }
    bool run(const std::string& line) {
        osSetCommandLine(line.c_str());
        return applyCommandLine();
    }
    uint32_t sizeFor(const std::string& value) {
        jobState.pieceSizeKB = 512;
        run("tarn /s=" + value);
        return jobState.pieceSizeKB;
    }
};
}  // namespace

TEST(Tokenizer, SplitsOnRunsOfSpacesAndTabs) {
    const std::string line = "  prog\t a \t\tb";
    EXPECT_EQ(tokenOf(line, 0).text, "prog");
    EXPECT_EQ(tokenOf(line, 1).text, "a");
    Token b = tokenOf(line, 2);
    EXPECT_EQ(b.result, tokenFound);
    EXPECT_EQ(b.text, "b");
    Token missing = tokenOf(line, 3);
    EXPECT_EQ(missing.result, tokenMissing);
    EXPECT_EQ(missing.text, "");
    EXPECT_EQ(tokenOf(line, 4000000000u).result, tokenMissing);
}

TEST(Tokenizer, TrailingSpacesGiveOneEmptyTokenThenMissing) {
    Token empty = tokenOf("prog a   ", 2);
    EXPECT_EQ(empty.result, tokenEmpty);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(tokenOf("prog a   ", 3).result, tokenMissing);
    EXPECT_EQ(tokenOf("prog a\t", 2).result, tokenEmpty);
    EXPECT_EQ(tokenOf("prog a", 2).result, tokenMissing);
}

TEST(Tokenizer, QuotesJoinSpacesAndAreRemoved) {
    EXPECT_EQ(tokenOf("prog /i=\"C:\\my file.txt\" x", 1).text, "/i=C:\\my file.txt");
    EXPECT_EQ(tokenOf("prog \"/i=C:\\my file.txt\" x", 1).text, "/i=C:\\my file.txt");
    EXPECT_EQ(tokenOf("prog \"/i=C:\\my file.txt\" x", 2).text, "x");
    EXPECT_EQ(tokenOf("prog a\"b  c\"d\"\"e", 1).text, "ab  cde");
    EXPECT_EQ(tokenOf("prog \"a\tb\"", 1).text, "a b");  // a tab inside quotes is a space of the token
    EXPECT_EQ(tokenOf("\"C:\\Program Files\\tarn\" /q", 0).text, "C:\\Program Files\\tarn");

    Token empty = tokenOf("prog \"\" /i=x", 1);
    EXPECT_EQ(empty.result, tokenEmpty);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(tokenOf("prog \"\" /i=x", 2).text, "/i=x");
}

TEST(Tokenizer, OddQuotesLeaveTheOutputUnwritten) {
    for (const char* line : {"prog \"a b", "prog \"a\" \"b", "\"", "prog a\"\"\""}) {
        Token t = tokenOf(line, 1);
        EXPECT_EQ(t.result, quotesUnbalanced) << line;
        EXPECT_EQ(t.text, "untouched") << line;
    }
    EXPECT_EQ(tokenOf("prog \"a b", 0).result, quotesUnbalanced);
}

TEST(Tokenizer, Byte254IsPartOfItsCharacterNotASpace) {
    // 254 leads two-byte characters of code page 936 (and the four-byte forms of other names): it stays.
    Token t = tokenOf("prog a\xFE" "b c", 1);
    EXPECT_EQ(t.result, tokenFound);
    EXPECT_EQ(t.text, "a\xFE" "b");
    EXPECT_EQ(tokenOf("prog a\xFE" "b c", 2).text, "c");
    EXPECT_EQ(tokenOf("prog \"\xC4\xFE x\" y", 1).text, "\xC4\xFE x");
    EXPECT_EQ(tokenOf("prog \"\xC4\xFE x\" y", 2).text, "y");
}

TEST(Tokenizer, LongLinesAndLongTokens) {
    std::string line = "prog";
    for (int i = 1; i <= 3000; i++) line += " t" + std::to_string(i);
    EXPECT_GT(line.size(), 15000u);
    EXPECT_EQ(tokenOf(line, 1).text, "t1");
    EXPECT_EQ(tokenOf(line, 2999).text, "t2999");
    EXPECT_EQ(tokenOf(line, 3000).text, "t3000");
    EXPECT_EQ(tokenOf(line, 3001).result, tokenMissing);

    const std::string fits(kTextBufferSize - 1, 'f');
    Token ok = tokenOf("prog " + fits + " z", 1);
    EXPECT_EQ(ok.result, tokenFound);
    EXPECT_EQ(ok.text, fits);
    // Quotes do not count towards the length; the unquoted text does.
    EXPECT_EQ(tokenOf("prog \"" + fits + "\"", 1).result, tokenFound);

    const std::string tooLong(kTextBufferSize, 'g');
    Token big = tokenOf("prog " + tooLong + " z", 1);
    EXPECT_EQ(big.result, tokenTooLong);
    EXPECT_EQ(big.text, "");
    EXPECT_EQ(tokenOf("prog " + std::string(5000, 'h') + " z", 1).result, tokenTooLong);
    EXPECT_EQ(tokenOf("prog " + tooLong + " z", 2).text, "z");  // the tokens after it still read
}

TEST(DecimalToNumber, AcceptsEveryCharacterModulo) {
    EXPECT_EQ(decimalToNumber(""), 0u);
    EXPECT_EQ(decimalToNumber("0"), 0u);
    EXPECT_EQ(decimalToNumber("512"), 512u);
    EXPECT_EQ(decimalToNumber("12k"), 179u);
    EXPECT_EQ(decimalToNumber("-5"), 2535u);  // the minus sign is just another character: 253
    EXPECT_EQ(decimalToNumber(" 1"), 2401u);  // a space is 240
    EXPECT_EQ(decimalToNumber("\xB0"), 128u);
    EXPECT_EQ(decimalToNumber("4294967295"), 4294967295u);
    EXPECT_EQ(decimalToNumber("4294967296"), 0u);
    EXPECT_EQ(decimalToNumber("\x02" "5"), 0u - 5u);  // code 2 is the negative sign
    EXPECT_EQ(decimalToNumber("\x02"), 0u);
    EXPECT_EQ(decimalToNumber("5\x02"), 5u * 10u + 210u);  // only in first place
}

TEST_F(SwitchTest, OutputQuietAndSizeAreLowerCaseOnly) {
    run("tarn /O=upper /Q /S=77");
    EXPECT_STREQ(jobState.outputFolder, "desk");
    EXPECT_EQ(jobState.quietMode, 0u);
    EXPECT_EQ(jobState.pieceSizeKB, 512u);

    run("tarn /o=C:\\out /qanything /s=77");
    EXPECT_STREQ(jobState.outputFolder, "C:\\out");
    EXPECT_EQ(jobState.quietMode, 1u);
    EXPECT_EQ(jobState.pieceSizeKB, 77u);

    run("tarn \"/o=C:\\my out\" /s=5 /s=9");
    EXPECT_STREQ(jobState.outputFolder, "C:\\my out");
    EXPECT_EQ(jobState.pieceSizeKB, 9u);  // applied in order: the last one wins
    run("tarn /o=\"C:\\other dir\"");
    EXPECT_STREQ(jobState.outputFolder, "C:\\other dir");
    run("tarn /o=");
    EXPECT_STREQ(jobState.outputFolder, "");
}

TEST_F(SwitchTest, SizeSwitchIsClamped) {
    EXPECT_EQ(sizeFor("0"), 1u);
    EXPECT_EQ(sizeFor(""), 1u);
    EXPECT_EQ(sizeFor("1"), 1u);
    EXPECT_EQ(sizeFor("100000"), 100000u);
    EXPECT_EQ(sizeFor("100001"), 100000u);
    EXPECT_EQ(sizeFor("4294967295"), 100000u);  // compared unsigned
    EXPECT_EQ(sizeFor("4294967296"), 1u);       // wraps to 0
    EXPECT_EQ(sizeFor("12k"), 179u);
    EXPECT_EQ(sizeFor("1440"), 1440u);
}

TEST_F(SwitchTest, InputSwitchCountsInBothCases) {
    const std::string missing = std::string("no-such-dir") + kPathSeparator + "no-such-file.bin";
    run("tarn /I=" + missing);
    EXPECT_EQ(std::string(jobState.sourcePath), missing);
    EXPECT_EQ(jobState.inputLoaded, 0u);
    std::memset(jobState.sourcePath, 0, sizeof jobState.sourcePath);
    run("tarn \"/i=" + missing + " 2\"");
    EXPECT_EQ(std::string(jobState.sourcePath), missing + " 2");
    EXPECT_EQ(jobState.inputLoaded, 0u);
    EXPECT_TRUE(shownMessages.empty());
}

TEST_F(SwitchTest, LoopStopsAtTheFirstTokenNotFound) {
    run("tarn /s=7 \"");  // odd quotes: nothing at all
    EXPECT_EQ(jobState.pieceSizeKB, 512u);
    run("tarn \"\" /s=7");  // an empty quoted argument ends the loop
    EXPECT_EQ(jobState.pieceSizeKB, 512u);
    run("tarn file.txt unknown /x=1 /s=7");  // tokens that match nothing are passed over
    EXPECT_EQ(jobState.pieceSizeKB, 7u);
    EXPECT_STREQ(jobState.sourcePath, "");
    // A path switch too long for its buffer is never cut, and the run is told so: nothing may start.
    EXPECT_FALSE(run("tarn /o=" + std::string(700, 'p') + " /s=8"));
    EXPECT_STREQ(jobState.outputFolder, "desk");
    EXPECT_EQ(jobState.pieceSizeKB, 8u);
    EXPECT_FALSE(run("tarn /I=" + std::string(700, 'p')));
    EXPECT_TRUE(run("tarn /x=" + std::string(700, 'p') + " /s=6"));  // not a path switch: passed over
    EXPECT_EQ(jobState.pieceSizeKB, 6u);
    run("tarn /s=9  ");
    EXPECT_EQ(jobState.pieceSizeKB, 9u);
}

TEST_F(SwitchTest, ApplySwitchMatchesOnlyTheFirstCharacters) {
    applySwitch("/q");
    EXPECT_EQ(jobState.quietMode, 1u);
    jobState.quietMode = 0;
    applySwitch("/");
    applySwitch("");
    applySwitch("/s");
    applySwitch("/o");
    EXPECT_EQ(jobState.quietMode, 0u);
    EXPECT_EQ(jobState.pieceSizeKB, 512u);
    EXPECT_STREQ(jobState.outputFolder, "desk");
    applySwitch("/s=00042");
    EXPECT_EQ(jobState.pieceSizeKB, 42u);
}

TEST_F(SwitchTest, AnswerSwitchCountsWhereverItStands) {
    run("tarn /s=3 /y");
    EXPECT_EQ(jobState.answerSetQuestions, 1u);
    jobState.answerSetQuestions = 0;
    run("tarn /yes");  // like /q, the first two characters decide
    EXPECT_EQ(jobState.answerSetQuestions, 1u);
    jobState.answerSetQuestions = 0;
    run("tarn /Y /s=3");
    EXPECT_EQ(jobState.answerSetQuestions, 0u);
}

TEST_F(SwitchTest, OnlyTheFirstAcceptedInputCounts) {
    jobState.inputLoaded = 1;
    std::strcpy(jobState.sourcePath, "first.bin");
    applySwitch("/i=second.bin");
    EXPECT_STREQ(jobState.sourcePath, "first.bin");
}

TEST(PosixArguments, EachArgumentIsOneTokenAsItIs) {
    const char* argv[] = {"tarn", "/i=x\"y\"z.bin", "/o=a\tb c", "", "/q"};
    osInitCommandLine(5, const_cast<char**>(argv));
    if (osArgumentCount() < 0) {
        osSetCommandLine("tarn");
        GTEST_SKIP() << "Windows tokenizes its one command line";
    }
    char out[kTextBufferSize];
    EXPECT_EQ(commandLineToken(1, out), tokenFound);
    EXPECT_STREQ(out, "/i=x\"y\"z.bin");
    EXPECT_EQ(commandLineToken(2, out), tokenFound);
    EXPECT_STREQ(out, "/o=a\tb c");
    EXPECT_EQ(commandLineToken(3, out), tokenEmpty);
    EXPECT_EQ(commandLineToken(5, out), tokenMissing);
    std::string longer = "/o=" + std::string(700, 'x');
    const char* long_argv[] = {"tarn", longer.c_str()};
    osInitCommandLine(2, const_cast<char**>(long_argv));
    EXPECT_EQ(commandLineToken(1, out), tokenTooLong);
    EXPECT_TRUE(commandLineTokenHead(1, out));
    EXPECT_STREQ(out, "/o=");
    osSetCommandLine("tarn");
    EXPECT_EQ(osArgumentCount(), -1);
}
