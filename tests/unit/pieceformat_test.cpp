// Piece names, the first-piece header byte layout in both directions (texts' UTF-8 copies too), set
// identification and the rebuild script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/jobstate.h"
#include "engine/pieceformat.h"

namespace {
std::string stemOf(const char* name) {
    char stem[16];
    std::memset(stem, '#', sizeof stem);
    pieceStemOf(name, stem);
    return stem;
}
std::string nameOf(const char* stem, uint32_t index) {
    char name[32];
    pieceNameOf(stem, index, name);
    return name;
}
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint64_t le64(const uint8_t* p) { return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32; }
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct PieceFormatTest : ::testing::Test {
    void SetUp() override { resetProcessRecords(); }
    void TearDown() override { resetProcessRecords(); }
};
}  // namespace

TEST(PieceNames, StemsAndNames) {
    EXPECT_EQ(stemOf("report.doc"), "repo");
    EXPECT_EQ(stemOf("ab"), "abXX");
    EXPECT_EQ(stemOf("a"), "aXXX");
    EXPECT_EQ(stemOf(" x"), "XxXX");
    EXPECT_EQ(stemOf("a b.txt"), "aXb.");
    EXPECT_EQ(stemOf("my file"), "myXf");
    EXPECT_EQ(stemOf("    "), "XXXX");
    EXPECT_EQ(stemOf("abcd efg"), "abcd");  // only the first four bytes are looked at
    EXPECT_EQ(stemOf("\xC4\xE3\xBA\xC3\xB0\xA1"), "\xC4\xE3\xBA\xC3");
    EXPECT_EQ(stemOf("\xC4\xE3\xBA"), "\xC4\xE3\xBAX");  // a double-byte character may be cut
    EXPECT_EQ(stemOf(std::string(700, 'L').c_str()), "LLLL");

    EXPECT_EQ(nameOf("repo", 1), "repo0001.trn");
    EXPECT_EQ(nameOf("repo", 10), "repo0010.trn");
    EXPECT_EQ(nameOf("repo", 9999), "repo9999.trn");
    EXPECT_EQ(nameOf("aXb.", 123).size(), 12u);
}

TEST(PieceNames, PathsInAFolder) {
    char path[kTextBufferSize];
    const std::string separator = kPathSeparatorText;
    ASSERT_TRUE(pathInFolder("out", "a.bin", path));
    EXPECT_EQ(std::string(path), "out" + separator + "a.bin");
    if (separator == "/") {
        ASSERT_TRUE(pathInFolder("out/", "a.bin", path));
        EXPECT_STREQ(path, "out/a.bin");
        ASSERT_TRUE(pathInFolder("/", "a.bin", path));
        EXPECT_STREQ(path, "/a.bin");
    } else {
        // 0x5C may be the second byte of a code page 936 character: no separator can be assumed there.
        ASSERT_TRUE(pathInFolder("C:\\x\xB1\x5C", "a.bin", path));
        EXPECT_STREQ(path, "C:\\x\xB1\x5C\\a.bin");
    }
    EXPECT_FALSE(pathInFolder(std::string(590, 'f').c_str(), "a.bin.long", path));
    EXPECT_STREQ(path, "");
}

TEST(PieceNames, IdentifySet) {
    const uint8_t* magic = reinterpret_cast<const uint8_t*>("TARN1500");
    EXPECT_EQ(identifySet(magic, 8), SetKind::ThisVersion);
    EXPECT_EQ(identifySet(magic, 7), SetKind::NoHeader);  // too short to tell
    EXPECT_EQ(identifySet(magic, 0), SetKind::NoHeader);
    EXPECT_EQ(identifySet(reinterpret_cast<const uint8_t*>("TARN1400"), 8), SetKind::OtherVersion);
    EXPECT_EQ(identifySet(reinterpret_cast<const uint8_t*>("TARN\0\0\0\0"), 8), SetKind::OtherVersion);
    EXPECT_EQ(identifySet(reinterpret_cast<const uint8_t*>("TARX1500"), 8), SetKind::NoHeader);
    EXPECT_EQ(identifySet(reinterpret_cast<const uint8_t*>("tarn1500"), 8), SetKind::NoHeader);
    EXPECT_EQ(identifySet(reinterpret_cast<const uint8_t*>("TARN1500 and data"), 17), SetKind::ThisVersion);
}

TEST_F(PieceFormatTest, HeaderWriterLayout) {
    jobState.pieceCount = 0x01020304;
    settings.useDescription = 0x00030001;  // only the low 16 bits are stored
    std::strcpy(jobState.description, "a note");
    std::strcpy(jobState.sourceName, "report.doc");
    setWide(jobState.sourceSize, 0x0000000500000007ull);
    jobState.checksum = 0xDEADBEEF;
    jobState.creationTime = 0x1111222233334444ull;
    jobState.lastAccessTime = 0x5555666677778888ull;
    jobState.lastWriteTime = 0x99990000AAAABBBBull;
    jobState.fileAttributes = 0x12345;
    std::vector<uint8_t> h(kHeaderSize + 1, 0xEE);
    buildFirstPieceHeader(h.data());
    EXPECT_EQ(std::string(h.begin(), h.begin() + 8), "TARN1500");
    EXPECT_EQ(le32(&h[8]), 0x01020304u);
    EXPECT_EQ(h[12], 1);
    EXPECT_EQ(h[13], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&h[14]), "a note");
    EXPECT_STREQ(reinterpret_cast<const char*>(&h[314]), "report.doc");
    EXPECT_EQ(le32(&h[614]), 7u);
    EXPECT_EQ(le32(&h[618]), 5u);
    EXPECT_EQ(le32(&h[622]), 0xDEADBEEFu);
    EXPECT_EQ(le64(&h[626]), 0x1111222233334444ull);
    EXPECT_EQ(le64(&h[634]), 0x5555666677778888ull);
    EXPECT_EQ(le64(&h[642]), 0x99990000AAAABBBBull);
    EXPECT_EQ(h[650], 0x45);
    EXPECT_EQ(h[651], 0x23);
    EXPECT_EQ(h[kHeaderSize], 0xEE);  // nothing beyond the 652 bytes

    // A description of 300 bytes or more keeps its first 300, unterminated.
    std::string longText(450, 'd');
    longText[299] = 'e';
    std::strcpy(jobState.description, longText.c_str());
    buildFirstPieceHeader(h.data());
    EXPECT_EQ(std::string(h.begin() + 14, h.begin() + 314), longText.substr(0, 300));
    EXPECT_EQ(h[314], 'r');
}

TEST_F(PieceFormatTest, HeaderReaderFieldsAndUnterminatedTexts) {
    std::vector<uint8_t> h(kHeaderSize, 0);
    std::memcpy(h.data(), "TARN1500", 8);
    put32(&h[8], 3);
    h[12] = 0x34;
    h[13] = 0x12;
    std::memset(&h[14], 'D', 300);   // no terminator in either text field
    std::memset(&h[314], 'N', 300);
    put32(&h[614], 0x89ABCDEF);
    put32(&h[618], 2);
    put32(&h[622], 6513249);
    put32(&h[626], 1);
    put32(&h[630], 2);
    put32(&h[634], 3);
    put32(&h[638], 4);
    put32(&h[642], 5);
    put32(&h[646], 6);
    h[650] = 0x20;
    h[651] = 0x80;
    settings.useDescription = 0xFFFFFFFF;  // the 2-byte fields land in words zeroed first
    jobState.fileAttributes = 0xFFFFFFFF;
    std::memset(jobState.description, 'z', sizeof jobState.description);
    readFirstPieceHeader(h.data());
    EXPECT_EQ(jobState.pieceCount, 3u);
    EXPECT_EQ(settings.useDescription, 0x1234u);
    EXPECT_EQ(jobState.fileAttributes, 0x8020u);
    EXPECT_EQ(std::string(jobState.description), std::string(300, 'D'));
    EXPECT_EQ(std::string(jobState.sourceName), std::string(300, 'N'));
    EXPECT_EQ(wideValue(jobState.sourceSize), 0x289ABCDEFull);
    EXPECT_EQ(jobState.checksum, 6513249u);
    EXPECT_EQ(jobState.creationTime, 0x0000000200000001ull);
    EXPECT_EQ(jobState.lastAccessTime, 0x0000000400000003ull);
    EXPECT_EQ(jobState.lastWriteTime, 0x0000000600000005ull);

    // Bytes after a terminator carry no meaning.
    std::memcpy(&h[314], "x.bin\0junk", 10);
    readFirstPieceHeader(h.data());
    EXPECT_STREQ(jobState.sourceName, "x.bin");
}

// Each text CP936 lacks characters of: its field form, its UTF-8 copy; the header keeps both, marked, and reads
// the copy back only whole and only beside the field it was written with.
TEST_F(PieceFormatTest, TextCopiesAfterTheTerminator) {
    struct Case {
        std::string field, copy;
        bool kept;
    };
    const std::string korean = "\xed\x95\x9c\xea\xb5\xad";  // 한국, UTF-8
    std::string longest;
    while (longest.size() + 6 <= 288) longest += korean;
    const Case cases[] = {
        {"\xb1\xa8\xb8\xe6.doc", "", false},                 // 报告.doc, held by code page 936: no copy
        {"__.doc", korean + ".doc", true},
        {"na_ve.txt", "na\xc3\xafve.txt", true},               // naïve.txt
        {"_.bin", "\xf0\x9f\x98\x80.bin", true},              // an emoji
        {"_", longest, true},                                  // the field gave way: 1 + 11 + 288 bytes
        {"__", longest, false},                                // one byte over: the field alone
        {std::string(299, 'n'), "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.copy.empty() ? c.field : c.copy);
        SetHeader header;
        header.name = header.description = c.field;
        header.nameCopy = header.descriptionCopy = c.copy;
        std::vector<uint8_t> bytes(kHeaderSize, 0xEE);
        encodeHeader(header, bytes.data());
        for (uint32_t at : {14u, 314u}) {
            const uint8_t* field = &bytes[at];
            const size_t n = c.field.size();
            EXPECT_EQ(std::string(field, field + n), c.field);
            const size_t used = c.kept ? n + 11 + c.copy.size() : n;
            EXPECT_EQ(static_cast<size_t>(std::count(field + used, field + kHeaderTextField, 0)), kHeaderTextField - used);
            if (!c.kept) continue;
            EXPECT_EQ(std::string(field + n, field + n + 5), std::string("\0\xffU8\xff", 5));
            EXPECT_EQ(field[n + 5] | field[n + 6] << 8, static_cast<int>(c.copy.size()));
            EXPECT_EQ(std::string(field + n + 11, field + used), c.copy);
        }
        const SetHeader back = decodeHeader(bytes.data());
        EXPECT_EQ(back.name, c.field);
        EXPECT_EQ(back.nameCopy, c.kept ? c.copy : "");
        EXPECT_EQ(back.descriptionCopy, back.nameCopy);
        if (!c.kept) continue;
        // Any byte of the copy or of the text it belongs to changed (a copy left behind another name): no copy.
        for (size_t flip : {size_t{0}, c.field.size() + 11, c.field.size() + 10 + c.copy.size()}) {
            std::vector<uint8_t> damaged = bytes;
            damaged[314 + flip] ^= 0x01;
            EXPECT_EQ(decodeHeader(damaged.data()).nameCopy, "") << flip;
        }
        // A length that runs past the field.
        std::vector<uint8_t> overlong = bytes;
        overlong[314 + c.field.size() + 5] = 0xFF;
        EXPECT_EQ(decodeHeader(overlong.data()).nameCopy, "");
    }
    // The engine carries the copies through the job record both ways.
    std::vector<uint8_t> h(kHeaderSize);
    SetHeader header;
    header.name = "__.doc";
    header.nameCopy = korean + ".doc";
    encodeHeader(header, h.data());
    readFirstPieceHeader(h.data());
    EXPECT_STREQ(jobState.sourceName, "__.doc");
    EXPECT_EQ(std::string(jobState.sourceNameCopy), korean + ".doc");
    std::vector<uint8_t> again(kHeaderSize);
    buildFirstPieceHeader(again.data());
    EXPECT_TRUE(std::equal(h.begin() + 314, h.begin() + 614, again.begin() + 314));
}

TEST(RebuildScript, ExactBytesAndLength) {
    std::vector<char> out(200000);
    uint32_t n = buildRebuildScript("repo", 3, "report.doc", out.data(), static_cast<uint32_t>(out.size()));
    const std::string expected = "Copy /b repo0001.trn+repo0002.trn+repo0003.trn \"report.doc\"";
    EXPECT_EQ(n, 13u * 3 + 10 + 10);
    EXPECT_EQ(std::string(out.data(), n), expected);

    n = buildRebuildScript("aXXX", 1, "a", out.data(), static_cast<uint32_t>(out.size()));
    EXPECT_EQ(std::string(out.data(), n), "Copy /b aXXX0001.trn \"a\"");

    for (uint32_t pieces : {2u, 10u, 9999u}) {
        n = buildRebuildScript("myXf", pieces, "my file", out.data(), static_cast<uint32_t>(out.size()));
        ASSERT_EQ(n, 13u * pieces + 10 + 7) << pieces;
        std::string s(out.data(), n);
        EXPECT_EQ(s.substr(0, 8), "Copy /b ");
        EXPECT_EQ(s.substr(n - 22), "myXf" + std::string(pieces == 9999 ? "9999" : pieces == 10 ? "0010" : "0002") +
                                        ".trn \"my file\"");
        EXPECT_EQ(std::count(s.begin(), s.end(), '+'), static_cast<long>(pieces - 1));
    }
}

TEST(RebuildScript, ReadBackForItsOwnStemOnly) {
    std::vector<char> out(200000);
    char name[kTextBufferSize];
    uint32_t count = 0;
    for (uint32_t pieces : {1u, 3u, 9999u}) {
        uint32_t n = buildRebuildScript("myXf", pieces, "my file", out.data(), static_cast<uint32_t>(out.size()));
        ASSERT_TRUE(readRebuildScript(out.data(), n, "MYXF", &count, name)) << pieces;
        EXPECT_EQ(count, pieces);
        EXPECT_STREQ(name, "my file");
    }
    // A stem cut from a UTF-8 name is shorter in code page 936: 报X is 3 bytes there.
    const std::string chinese = "Copy /b \xb1\xa8X0001.trn \"\xb1\xa8\xb8\xe6.doc\"";
    ASSERT_TRUE(readRebuildScript(chinese.data(), static_cast<uint32_t>(chinese.size()), "\xb1\xa8X", &count, name));
    EXPECT_STREQ(name, "\xb1\xa8\xb8\xe6.doc");
    const std::string good = "Copy /b repo0001.trn+REPO0002.TRN \"report.doc\"";
    EXPECT_TRUE(readRebuildScript(good.data(), static_cast<uint32_t>(good.size()), "repo", &count, name));
    EXPECT_EQ(count, 2u);
    for (const std::string& bad : {std::string("Copy /b repo0001.trn+repo0003.trn \"r\""),  // a number skipped
                                   std::string("Copy /b abcd0001.trn \"r\""),               // another set's
                                   std::string("Copy /b repo0001.trn+ \"r\""), std::string("Copy /b repo0001.trn \"\""),
                                   std::string("Copy /b repo0001.trn \"a\"b\""), std::string("Copy /b repo0001.trn \"r"),
                                   std::string("Copy /b repo0001.trn \"r\"\r\n"), std::string("copy /b repo0001.trn"),
                                   std::string("Copy /b repo0001.trn \"a\0b\"", 26)})
        EXPECT_FALSE(readRebuildScript(bad.data(), static_cast<uint32_t>(bad.size()), "repo", &count, name)) << bad;
}
