// Stored names from a piece header: guarded everywhere against leaving the folder, Windows rules only there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "set/safename.h"
#include "text/textops.h"

namespace {
std::string tamed(const std::string& stored, bool windowsRules) {
    char name[kTextBufferSize];
    std::strcpy(name, stored.c_str());
    makeSafeFileNameFor(name, windowsRules);
    return name;
}
}  // namespace

TEST(SafeName, SeparatorsAndDotNamesAreGuardedOnEveryPlatform) {
    for (bool windows : {false, true}) {
        EXPECT_EQ(tamed("../escape.txt", windows), "escape.txt");
        EXPECT_EQ(tamed("..\\..\\win.txt", windows), "win.txt");
        EXPECT_EQ(tamed("/etc/passwd", windows), "passwd");
        EXPECT_EQ(tamed("..", windows), "Tarn.out");
        EXPECT_EQ(tamed(".", windows), "Tarn.out");
        EXPECT_EQ(tamed("", windows), "Tarn.out");
        EXPECT_EQ(tamed("x/", windows), "Tarn.out");
        EXPECT_EQ(tamed("a/..", windows), "Tarn.out");
    }
}

TEST(SafeName, ControlCharactersOtherThanTabNeverReachAName) {
    for (bool windows : {false, true}) {
        EXPECT_EQ(tamed("x\x1b]0;title\x07\nfake\r.bin", windows), "x_]0;title__fake_.bin");
        EXPECT_EQ(tamed("del\x7f.bin", windows), "del_.bin");
        EXPECT_EQ(tamed("\x01", windows), "_");
    }
    EXPECT_EQ(tamed("tab\there", false), "tab\there");
    EXPECT_EQ(tamed("\xe6\x8a\xa5\xe5\x91\x8a.doc", false), "\xe6\x8a\xa5\xe5\x91\x8a.doc");  // UTF-8 bytes are not controls
}

TEST(SafeName, NamesLegalOnPosixStayAsTheyAre) {
    EXPECT_EQ(tamed("12:30 notes.txt", false), "12:30 notes.txt");
    EXPECT_EQ(tamed("what?*<>|\".txt", false), "what?*<>|\".txt");
    EXPECT_EQ(tamed("trailing. ", false), "trailing. ");
    EXPECT_EQ(tamed("...", false), "...");
    EXPECT_EQ(tamed("CON", false), "CON");
    EXPECT_EQ(tamed("C:evil.txt", false), "C:evil.txt");
}

TEST(SafeName, WindowsRulesApplyOnWindows) {
    EXPECT_EQ(tamed("12:30 notes.txt", true), "30 notes.txt");
    EXPECT_EQ(tamed("C:evil.txt", true), "evil.txt");
    EXPECT_EQ(tamed("what?*<>|\".txt", true), "what______.txt");
    EXPECT_EQ(tamed("trailing. ", true), "trailing");
    EXPECT_EQ(tamed("...", true), "Tarn.out");
    EXPECT_EQ(tamed("CON", true), "_CON");
    EXPECT_EQ(tamed("com1.txt", true), "_com1.txt");
    EXPECT_EQ(tamed("tab\there", true), "tab_here");
}
