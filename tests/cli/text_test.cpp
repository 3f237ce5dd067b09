// What the commands store and show: names between UTF-8 and code page 936, piece stems, and report text.
#include <gtest/gtest.h>

#include <string>

#include "set/format.h"
#include "set/text.h"
#include "cli/report.h"

TEST(StoredText, ChineseGoesToCodePage936AndComesBack) {
    const std::string utf8 = "报告.doc", gbk = "\xb1\xa8\xb8\xe6.doc";
    EXPECT_EQ(storedText(utf8), gbk);
    EXPECT_EQ(localText(gbk), utf8);
    EXPECT_EQ(localFileName(gbk), utf8);
    // ASCII, and what code page 936 cannot hold, are stored as they are and shown as they are.
    EXPECT_EQ(storedText("report.doc"), "report.doc");
    EXPECT_EQ(storedText("\xf0\x9f\x98\x80.bin"), "\xf0\x9f\x98\x80.bin");
    EXPECT_EQ(localText("\xf0\x9f\x98\x80.bin"), "\xf0\x9f\x98\x80.bin");
    // Bytes that are neither stay bytes; a stored path never leaves the output folder.
    EXPECT_EQ(localText("\xff\xfe"), "\xff\xfe");
    EXPECT_EQ(localFileName("../../etc/passwd").find('/'), std::string::npos);
    EXPECT_TRUE(isUtf8("abc") && isUtf8(utf8));
    EXPECT_FALSE(isUtf8(gbk) || isUtf8("\xe6\x8a") || isUtf8("\xc0"));
}

// One table of names through the header both ways: the field Tarn.exe and earlier builds read, and the name
// every program here gets back.
TEST(StoredText, HeaderNamesComeBackWhole) {
    std::string korean80;
    for (int i = 0; i < 80; i++) korean80 += "한";
    struct Case {
        std::string name, field;  // field: as the header's 300 bytes hold it up to the terminator
        bool copied;
    } const cases[] = {
        {"报告书.doc", "\xb1\xa8\xb8\xe6\xca\xe9.doc", false},  // code page 936 holds it: stored as always
        {"café.txt", "caf\xa8\xa6.txt", false},
        {"plain name.txt", "plain name.txt", false},
        {"한국어 보고서.doc", "___ ___.doc", true},
        {"naïve.txt", "na_ve.txt", true},
        {"ü€😀.bin", "\xa8\xb9\x80_.bin", true},                // what the code page holds stays in the field
        {korean80 + ".txt", std::string(41, '_') + ".txt", true},  // 244 bytes of copy: the field gives way
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HeaderText text = headerTextFor(c.name);
        EXPECT_EQ(text.field, c.field);
        EXPECT_EQ(text.copy, c.copied ? c.name : "");
        SetHeader header;
        header.name = text.field;
        header.nameCopy = text.copy;
        uint8_t bytes[kHeaderSize];
        encodeHeader(header, bytes);
        EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 314), c.field.c_str());
        const SetHeader back = decodeHeader(bytes);
        EXPECT_EQ(localFileName(headerText(back.name, back.nameCopy)), c.name);
    }
    // Over 288 bytes the copy leaves the field no room: the commands refuse such a name or description.
    const HeaderText tooLong = headerTextFor(korean80 + korean80.substr(0, 60) + ".txt");
    EXPECT_FALSE(textCopyFits(tooLong.field, tooLong.copy));
    EXPECT_TRUE(textCopyFits(headerTextFor(std::string(299, 'a')).field, ""));
}

TEST(StoredText, ShownTextCannotSteerTheTerminal) {
    EXPECT_EQ(shownText("a\x1b[2J\n\t\r\x7f" "b"), "a\\x1b[2J\\n\\t\\r\\x7fb");
    EXPECT_EQ(shownText("\xc2\x9b" "1m\xc2\xa0z"), "\\u009b1m\xc2\xa0z");  // C1 escaped, a no-break space kept
    EXPECT_EQ(shownText("\xb1\xa8\xb8\xe6\n"), "报告\\n");                 // code page 936 is read first
    EXPECT_EQ(shownText("plain name.txt"), "plain name.txt");
    EXPECT_EQ(shownText("\xff\xfe" "ab\xe6\x8a"), "\\xff\\xfeab\\xe6\\x8a");  // bytes that are no text, as bytes
}

// What a stored name becomes on disk is what info and JSON show: text only, no control of any kind but a tab.
TEST(StoredText, NamesOnDiskAreTextATerminalShowsAsItIs) {
    EXPECT_EQ(diskFileName("csi\xc2\x9b" "1m.bin"), "csi_1m.bin");
    EXPECT_EQ(diskFileName("\xff\xfe" "ab.txt"), "__ab.txt");
    EXPECT_EQ(diskFileName("e\x1b[2J.txt"), "e_[2J.txt");
    EXPECT_EQ(diskFileName("a\tb.txt"), "a\tb.txt");
    EXPECT_EQ(diskFileName("\xb1\xa8\xb8\xe6.doc"), "报告.doc");
    EXPECT_EQ(diskFileName("na\xc3\xafve \xc2\xa0.txt"), "na\xc3\xafve \xc2\xa0.txt");
    EXPECT_EQ(diskFileName("dir/sub/x.txt"), "x.txt");
    EXPECT_EQ(diskFileName(".."), "Tarn.out");
    EXPECT_EQ(diskFileName(std::string(300, 'n') + ".txt").size(), kLongestFileName);
    for (const char* name : {"csi\xc2\x9b.bin", "\xff\xfe", "e\x1b.txt", "a\tb"})
        EXPECT_EQ(shownText(diskFileName(name)).find("\\x"), std::string::npos) << name;
}

TEST(StoredText, PieceStemsNeverEndInsideACharacter) {
    char stem[16];
    // Four bytes of the name in code page 936, shown here in UTF-8: 报告 is four bytes there.
    pieceStemFor("报告.doc", stem);
    EXPECT_STREQ(stem, "报告");
    pieceStemFor("ab报告", stem);
    EXPECT_STREQ(stem, "ab报");
    pieceStemFor("第1章.doc", stem);  // 章 cut at the fourth byte
    EXPECT_STREQ(stem, "第1X");
    pieceStemFor("R&D plan.doc", stem);  // what cmd reads as more than a letter
    EXPECT_STREQ(stem, "RXDX");
    pieceStemFor("한국어.doc", stem);  // what code page 936 lacks
    EXPECT_STREQ(stem, "XXX.");
    pieceStemFor("a b.txt", stem);
    EXPECT_STREQ(stem, "aXb.");
    pieceStemFor("x", stem);
    EXPECT_STREQ(stem, "xXXX");
    pieceStemFor("\xb1\xa8\xb8\xe6.doc", stem);  // already code page 936: as Tarn.exe cuts it, shown here
    EXPECT_STREQ(stem, "报告");
    pieceStemFor("\xb1\\|.doc", stem);  // 0x5C as a second byte is no separator; a lone | is no letter
    EXPECT_STREQ(stem, "盶X.");
    // Pieces are carried to Windows, which refuses these in a name.
    pieceStemFor("a:b.txt", stem);
    EXPECT_STREQ(stem, "aXb.");
    pieceStemFor("<?|*", stem);
    EXPECT_STREQ(stem, "XXXX");
    pieceStemFor("\"\\\x1b>.x", stem);
    EXPECT_STREQ(stem, "XXXX");
}

TEST(StoredText, NamesLongerThanLinuxTakesAreCutOnACharacterKeepingTheExtension) {
    std::string chinese;
    for (int i = 0; i < 140; i++) chinese += "中";  // legal on Windows, 420 bytes here
    std::string fitted = fittedFileName(chinese + ".txt");
    EXPECT_LE(fitted.size(), kLongestFileName);
    EXPECT_EQ(fitted.size(), 83 * 3 + 4u);  // 84 characters would need 256 bytes
    EXPECT_EQ(fitted.substr(fitted.size() - 4), ".txt");
    EXPECT_TRUE(isUtf8(fitted));
    std::string ascii(255, 'a');
    EXPECT_EQ(fittedFileName(ascii), ascii);  // at the limit: untouched
    EXPECT_EQ(fittedFileName(ascii + "b.tar.gz"), std::string(252, 'a') + ".gz");
    // A dot far from the end is no extension; the cut still never splits a character.
    std::string noExtension = "a." + chinese;
    fitted = fittedFileName(noExtension);
    EXPECT_EQ(fitted, noExtension.substr(0, 254));
    EXPECT_TRUE(isUtf8(fitted));
}

TEST(ReportText, RangesNumbersAndJson) {
    EXPECT_EQ(indexRanges({1, 2, 3, 5, 7, 8, 9}), "1-3, 5, 7-9");
    EXPECT_EQ(indexRanges({4}), "4");
    EXPECT_EQ(indexRanges({}), "");
    EXPECT_EQ(jsonNumbers({1, 2}), "[1,2]");
    EXPECT_EQ(groupedNumber(3000000), "3,000,000");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1000), "1,000");
    EXPECT_EQ(jsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
    EXPECT_EQ(jsonString("\xb1\xa8"), "\"报\"");
    EXPECT_EQ(jsonString("\xff"), "\"\\u00ff\"");
}
