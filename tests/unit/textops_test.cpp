// Text, path and number helpers at the edges their callers depend on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/textops.h"

namespace {
// A path written with '|' where the platform separator goes.
std::string P(std::string text) {
    for (char& c : text)
        if (c == '|') c = kPathSeparator;
    return text;
}

struct Buf {
    char b[kTextBufferSize];
    Buf() { std::memset(b, '#', sizeof b); }
};

std::string fileName(const std::string& path) {
    Buf out;
    fileNameOfPath(path.c_str(), out.b);
    return out.b;
}
template <typename R, R (*Op)(char*)>
std::string inPlaceOf(const std::string& text) {
    Buf t;
    std::strcpy(t.b, text.c_str());
    Op(t.b);
    return t.b;
}
template <void (*Op)(char*)>
std::string inPlace(const std::string& text) {
    return inPlaceOf<void, Op>(text);
}
std::string lowered(const std::string& text) { return inPlaceOf<char*, lowerAscii>(text); }
std::string replaced(const char* text, const char* pattern, const char* replacement) {
    Buf t;
    std::strcpy(t.b, text);
    replaceFirst(t.b, pattern, replacement);
    return t.b;
}
std::string grouped(uint64_t v) {
    char out[40];
    return formatGrouped(v, out);
}
}  // namespace

TEST(TextOps, FindTextPositionsAndErrorCodes) {
    EXPECT_EQ(findText(1, "abc", "abc"), -1);  // a pattern as long as the text is never found
    EXPECT_EQ(findText(1, "abc", "abcd"), -1);
    EXPECT_EQ(findText(1, "abc", "bc"), 2);
    EXPECT_EQ(findText(2, "abc", "bc"), 2);  // start at the last possible place
    EXPECT_EQ(findText(3, "abc", "bc"), -2);
    EXPECT_EQ(findText(0, "abc", "b"), -2);
    EXPECT_EQ(findText(-7, "abc", "b"), -2);
    EXPECT_EQ(findText(1, "abc", "x"), 0);
    EXPECT_EQ(findText(1, "abcabc", "abc"), 1);
    EXPECT_EQ(findText(2, "abcabc", "abc"), 4);
    EXPECT_EQ(findText(4, "abcabc", "c"), 6);
}

TEST(TextOps, ReplaceFirst) {
    EXPECT_EQ(replaced("ab", "ab", "X"), "X");  // found thanks to the appended space
    EXPECT_EQ(replaced("a b c", " ", "X"), "aXb c");
    EXPECT_EQ(replaced("abc", " ", "X"), "abc");  // would match only the appended space
    EXPECT_EQ(replaced("abc", "c", "Z"), "abZ");
    EXPECT_EQ(replaced("a.b", ".", "---"), "a---b");
    EXPECT_EQ(replaced("abc", "q", "Z"), "abc");
    // A pattern ending in a space can match over the appended space: nothing of the text follows it.
    char tail[8] = {'a', 'b', 0, 'Q', 0};  // a stale byte after the terminator must not be taken
    replaceFirst(tail, "b ", "X");
    EXPECT_STREQ(tail, "aX");
    // The stem rule: four replacements on the name with "XXX" appended.
    Buf t;
    std::strcpy(t.b, "my file");
    appendText(t.b, "XXX");
    for (int i = 0; i < 4; i++) replaceFirst(t.b, " ", "X");
    EXPECT_STREQ(t.b, "myXfileXXX");
}

TEST(TextOps, NumbersToText) {
    char out[32];
    const std::pair<uint32_t, const char*> unsignedCases[] = {
        {0, "0"}, {7, "7"}, {10, "10"}, {100, "100"}, {1000, "1000"}, {1000000, "1000000"}, {4294967295u, "4294967295"}};
    for (auto& c : unsignedCases) {
        uintToText(c.first, out);
        EXPECT_STREQ(out, c.second);
    }
    intToText(0, out);
    EXPECT_STREQ(out, "0");
    intToText(-1, out);
    EXPECT_STREQ(out, "-1");
    intToText(INT32_MIN, out);
    EXPECT_STREQ(out, "-2147483648");
    intToText(INT32_MAX, out);
    EXPECT_STREQ(out, "2147483647");

    EXPECT_STREQ(zeroPadNumber(12, out, 4), "0012");
    EXPECT_STREQ(zeroPadNumber(1, out, 4), "0001");
    EXPECT_STREQ(zeroPadNumber(9999, out, 4), "9999");
    EXPECT_STREQ(zeroPadNumber(12345, out, 4), "12345");
    EXPECT_STREQ(zeroPadNumber(0, out, 0), "0");
    EXPECT_STREQ(zeroPadNumber(-5, out, 4), "00-5");  // zeros go in front of the whole text

    EXPECT_EQ(grouped(0), "0");
    EXPECT_EQ(grouped(12), "12");
    EXPECT_EQ(grouped(999), "999");
    EXPECT_EQ(grouped(1000), "1, 000");
    EXPECT_EQ(grouped(123456), "123, 456");
    EXPECT_EQ(grouped(1234567), "1, 234, 567");
    EXPECT_EQ(grouped(2500000), "2, 500, 000");
    EXPECT_EQ(grouped(4294967296ull), "4, 294, 967, 296");
    EXPECT_EQ(grouped(12345678901ull), "12, 345, 678, 901");
    EXPECT_EQ(grouped(UINT64_MAX), "18, 446, 744, 073, 709, 551, 615");
}

TEST(TextOps, FileNameOfPath) {
    EXPECT_EQ(fileName(P("C:|x|a")), "a");
    EXPECT_EQ(fileName(P("C:|x|")), P("C:|x|"));  // ends in a separator: the whole path
    EXPECT_EQ(fileName("abc"), "abc");
    EXPECT_EQ(fileName(P("|a")), P("|a"));  // two bytes: the whole path
    EXPECT_EQ(fileName(P("|ab")), "ab");
    EXPECT_EQ(fileName(P("a|b|report.doc")), "report.doc");
    EXPECT_EQ(fileName(""), "");
#ifdef _WIN32
    // A double-byte character whose second byte is a backslash counts as a separator.
    EXPECT_EQ(fileName("ab\x95\\cd"), "cd");
#endif
}

TEST(TextOps, StripExtension) {
    EXPECT_EQ(inPlace<stripExtension>("archive.tar.gz"), "archive.tar");
    EXPECT_EQ(inPlace<stripExtension>("a.b.c"), "a.b");
    EXPECT_EQ(inPlace<stripExtension>(".cfg"), "");
    EXPECT_EQ(inPlace<stripExtension>("name."), "name");
    EXPECT_EQ(inPlace<stripExtension>("a.."), "a.");
    EXPECT_EQ(inPlace<stripExtension>("."), ".");  // a single dot is never found
    EXPECT_EQ(inPlace<stripExtension>("noext"), "noext");
    EXPECT_EQ(inPlace<stripExtension>(""), "");
}

TEST(TextOps, FolderOfPathAndTrimmed) {
    EXPECT_EQ(inPlace<folderOfPath>(P("C:|a|b.txt")), P("C:|a|"));
    EXPECT_EQ(inPlace<folderOfPath>(P("C:|")), P("C:|"));
    EXPECT_EQ(inPlace<folderOfPath>("abc"), "abc");
    EXPECT_EQ(inPlace<folderOfPath>(""), "");
    EXPECT_EQ(inPlace<folderOfPath>(P("|")), P("|"));

    EXPECT_EQ(inPlace<folderOfPathTrimmed>(P("C:|a|b.txt")), P("C:|a"));
    EXPECT_EQ(inPlace<folderOfPathTrimmed>(P("C:|b.txt")), "C:");
    EXPECT_EQ(inPlace<folderOfPathTrimmed>("abc"), "ab");  // no separator: drops the last byte
    EXPECT_EQ(inPlace<folderOfPathTrimmed>(""), "");
    EXPECT_EQ(inPlace<folderOfPathTrimmed>(P("|")), "");
}

TEST(TextOps, MidRightReverseAndCopies) {
    Buf out;
    midText("abcdef", out.b, 2, 3);
    EXPECT_STREQ(out.b, "cde");
    midText("abcdef", out.b, 2, 0);
    EXPECT_STREQ(out.b, "");
    midText("abcdef", out.b, 4, 10);  // the source ends within the range: its terminator ends the result
    EXPECT_STREQ(out.b, "ef");
    midText("abcdef", out.b, 0, 6);
    EXPECT_STREQ(out.b, "abcdef");

    rightText("abcdef", out.b, 2);
    EXPECT_STREQ(out.b, "ef");
    rightText("abcdef", out.b, 0);
    EXPECT_STREQ(out.b, "");
    rightText("abcdef", out.b, 6);
    EXPECT_STREQ(out.b, "abcdef");

    reverseText("", out.b);
    EXPECT_STREQ(out.b, "");
    reverseText("a", out.b);
    EXPECT_STREQ(out.b, "a");
    reverseText("abc", out.b);
    EXPECT_STREQ(out.b, "cba");
    reverseText("x\xC4\xE3", out.b);  // the two bytes of a double-byte character swap
    EXPECT_STREQ(out.b, "\xE3\xC4x");

    EXPECT_EQ(textLength("\xC4\xE3z"), 3u);  // bytes, not characters
    copyTextBounded("hello", out.b, 4);
    EXPECT_STREQ(out.b, "hel");
    std::string longText(kTextBufferSize + 50, 'q');
    copyTextBounded(longText.c_str(), out.b, kTextBufferSize);
    EXPECT_EQ(textLength(out.b), static_cast<uint32_t>(kTextBufferSize - 1));
    copyText("ab", out.b);
    appendTextBounded(out.b, "cdef", 5);
    EXPECT_STREQ(out.b, "abcd");
    appendTextBounded(out.b, "x", 5);  // already full
    EXPECT_STREQ(out.b, "abcd");
}

TEST(TextOps, LowerAsciiChangesOnlyCapitalBytes) {
    EXPECT_EQ(lowered("/I="), "/i=");
    EXPECT_EQ(lowered("@AZ[`az{"), "@az[`az{");
    EXPECT_EQ(lowered("\xC4\xE3"), "\xC4\xE3");  // bytes above 127 never change
    EXPECT_EQ(lowered("\xB0\x41"), "\xB0\x61");  // a second byte in A..Z does
}

TEST(TextOps, BuildPathIsWholeOrNothing) {
    Buf out;
    EXPECT_TRUE(buildPath(out.b, "folder", "/", "name"));
    EXPECT_STREQ(out.b, "folder/name");
    std::string folder(590, 'f');
    // 590 + 1 + 8 = 599 bytes: the largest path a buffer holds.
    EXPECT_TRUE(buildPath(out.b, folder.c_str(), "/", "12345678"));
    EXPECT_EQ(std::strlen(out.b), 599u);
    EXPECT_FALSE(buildPath(out.b, folder.c_str(), "/", "123456789"));
    EXPECT_STREQ(out.b, "") << "a path that does not fit is never cut";
    // Extending a folder in place, as the output-folder rule does.
    std::strcpy(out.b, "base");
    EXPECT_TRUE(buildPath(out.b, out.b, "/", "sub"));
    EXPECT_STREQ(out.b, "base/sub");
}
