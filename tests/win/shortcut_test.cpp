// The main window's Alt shortcuts pressed as a person presses them: each letter is taken once, in every caption
// the start button takes; a label's letter moves the focus to the field it names, a check box's ticks it, and a
// button's presses it. The same letters hold in English (run under a Western locale with --language=english).
#include "persondriver.h"

#include <cctype>

namespace {
using namespace tarndriver;
using namespace persondriver;

// The letter after a lone "&" of a caption, in upper case; 0 for a caption without one.
char shortcutOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); i++) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
        i++;
    }
    return 0;
}

class ShortcutTest : public TarnWindowTest {
protected:
    void SetUp() override {
        TarnWindowTest::SetUp();
        // The settings at their defaults (no description, no start-up wizard).
        writeFile(path("dTarn.dat"), settingsBytes({0, 0, 2, 1, 0, 0, 2, 0}));
    }
    bool focusIs(int id) { return waitFor([&] { return idOf(focusOf(window)) == id; }, 5000); }
    // Every label and button of the window with its letter: none may be taken twice, and every button and check
    // box but "取消" (whose key is Escape) has one; the frames of a check box of the same name leave it the letter.
    void expectLettersTakenOnce() {
        std::map<char, std::string> taken;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[32] = {};
            GetClassNameA(child, className, sizeof className);
            if (std::string(className) != "Button" && std::string(className) != "Static") continue;
            const std::string caption = textOf(child);
            const char letter = shortcutOf(caption);
            const bool frame = (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
            if (std::string(className) == "Button" && !frame && GetDlgCtrlID(child) != 2) {
                EXPECT_NE(letter, 0) << caption << " has no shortcut";
            }
            if (letter == 0) continue;
            EXPECT_TRUE(taken.emplace(letter, caption).second)
                << letter << " taken by " << taken[letter] << " and " << caption;
        }
    }
};

TEST_F(ShortcutTest, AltLettersAreTakenOnceAndReachTheirFieldsAndButtons) {
    launch();
    EXPECT_EQ(text(1), inLanguage("决定!(&S)", "&Start!"));
    expectLettersTakenOnce();
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, kWaitLimitMs);

    // A set to join gives the start button the join's caption, a file to split the split's.
    writeFile(path("bare0001.trn"), patternBytes(3000, 5));
    startProgram("\"" + path("bare0001.trn") + "\"");
    ASSERT_TRUE(answer(1).found);  // a set without header, joined all the same
    ASSERT_TRUE(waitFor([&] { return (window = find("Tarn", "Tarn")) != nullptr && text(1) == inLanguage("开始合并!(&S)", "&Start join!"); }));
    expectLettersTakenOnce();
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, kWaitLimitMs);
    const std::string report = loadReport();
    ASSERT_EQ(text(1), inLanguage("开始劈分(&S)", "&Start split"));
    expectLettersTakenOnce();
    ASSERT_TRUE(bringToFront(window));

    // The check boxes tick and untick; the description field opens once its box is ticked.
    const struct {
        char letter;
        int box;
    } boxes[] = {{'U', 1016}, {'E', 1014}, {'E', 1014}, {'C', 1011}, {'C', 1011}};
    for (const auto& b : boxes) {
        const LRESULT before = send(b.box, BM_GETCHECK);
        pressAlt(b.letter);
        EXPECT_TRUE(waitFor([&] { return send(b.box, BM_GETCHECK) != before; }, 5000)) << b.letter;
    }
    // The frames and labels lead to the fields they name, wherever the focus was.
    const struct {
        char letter;
        int field;
    } labels[] = {{'D', 1005}, {'F', 1002}, {'P', 1006}, {'N', 1012}, {'Z', 1007},
                  {'R', 1009}, {'O', 1017}, {'M', 1025}, {'F', 1002}};
    for (const auto& l : labels) {
        pressAlt(l.letter);
        EXPECT_TRUE(focusIs(l.field)) << "Alt+" << l.letter << " went to " << idOf(focusOf(window));
    }
    // Buttons are pressed: the checksum, the about dialog (which Escape closes), then the split itself.
    pressAlt('K');
    EXPECT_TRUE(waitFor([&] { return text(1018) == std::to_string(checksumOf(report)); })) << text(1018);
    pressAlt('A');
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] { return (about = find("#32770", inLanguage("关于Tarn", "About Tarn").c_str())) != nullptr; }));
    ASSERT_TRUE(bringToFront(about));
    pressKey(VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(about); }));
    ASSERT_TRUE(bringToFront(window));
    pressAlt('S');
    EXPECT_EQ(answer(1).lines[1], inLanguage("已完成", "Done"));
    EXPECT_EQ(fileSize(desktop + "\\report\\repo0003.trn"), 8 + 832928);
    ASSERT_TRUE(idleAgain());
    ASSERT_TRUE(bringToFront(window));
    // A letter no control takes does nothing.
    pressAlt('Q');
    EXPECT_TRUE(noDialogFor(500));
    EXPECT_TRUE(IsWindow(window));
    pressKey(VK_ESCAPE);
    EXPECT_EQ(exitCode(), 0u);
}
}  // namespace
