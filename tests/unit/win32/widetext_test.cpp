// The Windows program's narrow text and its long paths: every name the system gives comes back whole, code page
// 936 stays itself, and paths past the plain form's limit reach the file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jobfiles.h"
#include "os/files.h"
#include "os/widetext_win32.h"

namespace {
size_t countOf(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }
size_t countOf(const std::wstring& text, wchar_t c) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), c));
}
}  // namespace

TEST(WideText, EveryNameComesBackWholeAndCodePage936StaysItself) {
    struct Case {
        const wchar_t* name;
        const char* chinese;  // its code page 936 bytes, or null where that code page lacks a character
        bool text = true;     // false for what UTF-8 cannot hold
    };
    const Case cases[] = {
        {L"\x62A5\x544A\x4E66.doc", "\xB1\xA8\xB8\xE6\xCA\xE9.doc"},  // 报告书.doc
        {L"plain name.txt", "plain name.txt"},
        {L"\xFC\x20AC.bin", "\xA8\xB9\x80.bin"},                          // ü€ are in it
        {L"\xD55C\xAD6D\xC5B4 \xBCF4\xACE0\xC11C.doc", nullptr},           // 한국어 보고서.doc
        {L"na\xEFve.txt", nullptr},                                        // naïve.txt
        {L"x\xD83D\xDE00\\y.bin", nullptr},                                // an emoji, then a separator
        {L"lone\xD800.bin", nullptr, false},                               // half a pair, as NTFS allows
        {L"\\\\server\\\x62A5\x544A\\\x10DA\x10D0.txt", nullptr},          // Georgian on a share
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        const std::wstring name = c.name;
        const std::string narrow = osNarrowText(name.c_str());
        EXPECT_EQ(osWideText(narrow), name);
        // No byte of another character reads as a separator, and the stored field is the code page's own.
        EXPECT_EQ(countOf(narrow, '\\'), countOf(name, L'\\'));
        EXPECT_EQ(countOf(narrow, '.'), countOf(name, L'.'));
        std::string stored;
        EXPECT_EQ(osToCodePage936(narrow, stored), c.chinese != nullptr);
        if (c.chinese != nullptr) {
            EXPECT_EQ(stored, c.chinese);
        }
        std::string utf8, back;
        ASSERT_EQ(osToUtf8(narrow, utf8), c.text);
        if (c.text) {
            ASSERT_TRUE(osFromUtf8(utf8, back));
            EXPECT_EQ(back, narrow);
        }
    }
    std::string local;
    EXPECT_FALSE(osFromUtf8("bad \xC3(", local));
    // Cut to a buffer, a character is kept whole or left out.
    const std::wstring mixed = L"a\x62A5\xD55C";  // 1, 2 and 4 bytes
    const size_t keptBytes[] = {0, 1, 1, 3, 3, 3, 3, 7}, keptCharacters[] = {0, 1, 1, 2, 2, 2, 2, 3};
    for (size_t size = 1; size <= 8; size++) {
        char out[16];
        osCopyNarrow(mixed.c_str(), out, size);
        EXPECT_EQ(std::string(out).size(), keptBytes[size - 1]) << size;
        EXPECT_EQ(osWideText(out), mixed.substr(0, keptCharacters[size - 1])) << size;
    }
}

TEST(WideText, PathsPastThePlainLimitAreMadeWrittenListedRenamedAndRemoved) {
    TempFolder folder;
    EXPECT_EQ(osSystemPath(folder / "a.bin"), osWideText(folder / "a.bin")) << "a short path keeps its plain form";
    // Folders of Korean and of Latin letters, to 590 bytes, as README promises: past 260 characters too.
    std::string deep = folder.path.string();
    const std::string korean = osNarrowText(std::wstring(20, L'\xD55C').c_str()), latin(100, 'd');
    for (int i = 0; deep.size() + 1 + 100 < 590; i++) deep += "\\" + (i % 2 == 0 ? korean : latin);
    deep += "\\" + std::string(590 - deep.size() - 1, 'd');
    ASSERT_EQ(deep.size(), 590u);
    EXPECT_EQ(osSystemPath(deep).compare(0, 4, L"\\\\?\\"), 0);
    std::string top;
    ASSERT_TRUE(osMakeFolders(deep, top)) << osLastFileError().native;
    EXPECT_EQ(osEntryKind(deep), EntryKind::Folder);
    const std::string file = deep + "\\" + osNarrowText(L"\xD83D\xDE00.bin");
    {
        OsFile out = OsFile::createNew(file);
        ASSERT_TRUE(out.valid()) << osLastFileError().native;
        const uint8_t bytes[] = {1, 2, 3};
        ASSERT_TRUE(out.writeAt(bytes, sizeof bytes, 0));
    }
    EXPECT_EQ(osListFolder(deep), std::vector<std::string>{osNarrowText(L"\xD83D\xDE00.bin")});
    ASSERT_TRUE(osRenameReplacing(file, deep + "\\g.bin"));
    EXPECT_EQ(OsFile::openRead(deep + "\\g.bin").length(), 3u);
    EXPECT_EQ(osEntryKind(file), EntryKind::None);
    ASSERT_TRUE(osRemoveFile(deep + "\\g.bin"));
    osRemoveMadeFolders(deep.c_str(), top.c_str());
    EXPECT_TRUE(folderNames(folder.path.string()).empty());
}
