// The message dialog in a real window: a driver thread reads what it shows and presses its buttons and keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "engine/messages.h"
#include "ui/win32/messagedialog_ids.h"

namespace {
const char kCaption[] = "Tarn 1.51";
const int kLineIds[] = {IDC_MESSAGE_LINE1, IDC_MESSAGE_LINE2, IDC_MESSAGE_LINE3, IDC_MESSAGE_LINE4};
// Safety nets only, so that a broken dialog fails the test instead of hanging it; nothing depends on them.
const DWORD kFindLimitMs = 20000;
const DWORD kCloseLimitMs = 30000;
const DWORD kPollMs = 20;

// What the driver saw while the dialog was open.
struct Seen {
    bool found = false;
    std::string lines[4];
    bool lineVisible[4] = {};
    std::string description;
    bool descriptionVisible = false;
    LONG descriptionStyle = 0;
    bool descriptionAboveButtons = false;
    std::string continueCaption, cancelCaption;
    bool continueVisible = false, continueEnabled = false;
    bool cancelVisible = false, cancelEnabled = false;
    bool focusOnContinue = false;
    LONG exStyle = 0;
    HWND owner = nullptr;
    bool ownerEnabled = true;
    int32_t answerWhileOpen = -1;
};

using Action = std::function<void(HWND dialog)>;

struct FindData {
    DWORD process;
    HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM data) {
    FindData* find = reinterpret_cast<FindData*>(data);
    char className[16] = {}, caption[32] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (process == find->process && std::string(className) == "#32770" && std::string(caption) == kCaption &&
        IsWindowVisible(window)) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

// The dialog of this process, once the dialog manager has shown it (that is, after its set-up ran).
HWND waitForDialog() {
    for (DWORD waited = 0; waited < kFindLimitMs; waited += kPollMs) {
        FindData find = {GetCurrentProcessId(), nullptr};
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&find));
        if (find.found != nullptr) return find.found;
        Sleep(kPollMs);
    }
    return nullptr;
}

std::string itemText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

Seen look(HWND dialog, DWORD dialogThread) {
    Seen seen;
    seen.found = true;
    for (int i = 0; i < 4; ++i) {
        seen.lines[i] = itemText(dialog, kLineIds[i]);
        seen.lineVisible[i] = IsWindowVisible(GetDlgItem(dialog, kLineIds[i])) != 0;
    }
    HWND description = GetDlgItem(dialog, IDC_MESSAGE_DESCRIPTION);
    HWND continueButton = GetDlgItem(dialog, IDC_MESSAGE_CONTINUE);
    HWND cancelButton = GetDlgItem(dialog, IDC_MESSAGE_CANCEL);
    seen.description = itemText(dialog, IDC_MESSAGE_DESCRIPTION);
    seen.descriptionVisible = IsWindowVisible(description) != 0;
    seen.descriptionStyle = GetWindowLongA(description, GWL_STYLE);
    RECT descriptionRect, buttonRect;
    GetWindowRect(description, &descriptionRect);
    GetWindowRect(continueButton, &buttonRect);
    seen.descriptionAboveButtons = descriptionRect.bottom <= buttonRect.top;
    seen.continueCaption = itemText(dialog, IDC_MESSAGE_CONTINUE);
    seen.cancelCaption = itemText(dialog, IDC_MESSAGE_CANCEL);
    seen.continueVisible = IsWindowVisible(continueButton) != 0;
    seen.continueEnabled = IsWindowEnabled(continueButton) != 0;
    seen.cancelVisible = IsWindowVisible(cancelButton) != 0;
    seen.cancelEnabled = IsWindowEnabled(cancelButton) != 0;
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    seen.focusOnContinue = GetGUIThreadInfo(dialogThread, &gui) && gui.hwndFocus == continueButton;
    seen.exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    seen.owner = GetWindow(dialog, GW_OWNER);
    if (seen.owner != nullptr) seen.ownerEnabled = IsWindowEnabled(seen.owner) != 0;
    seen.answerWhileOpen = messageParams.messageAnswer;
    return seen;
}

void waitUntilClosed(HWND dialog) {
    for (DWORD waited = 0; waited < kCloseLimitMs; waited += kPollMs) {
        if (!IsWindow(dialog)) return;
        Sleep(kPollMs);
    }
    // Still open: end it the hard way so the test reports instead of hanging.
    PostMessageA(dialog, WM_COMMAND, IDC_MESSAGE_CANCEL, 0);
}

// Opens the dialog on this thread while a driver thread looks at it and then acts on it.
Seen runDialog(WindowRef owner, const Action& action) {
    Seen seen;
    DWORD dialogThread = GetCurrentThreadId();
    std::thread driver([&] {
        DWORD t0 = GetTickCount();
        HWND dialog = waitForDialog();
        fprintf(stderr, "found after %lu\n", GetTickCount() - t0);
        if (dialog == nullptr) return;
        seen = look(dialog, dialogThread);
        action(dialog);
        DWORD t1 = GetTickCount();
        waitUntilClosed(dialog);
        fprintf(stderr, "closed after %lu\n", GetTickCount() - t1);
    });
    showMessageDialog(owner);
    driver.join();
    return seen;
}

void press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Through the message loop, as a real key press: the dialog manager turns Escape into IDCANCEL.
void pressEscape(HWND dialog) {
    HWND focus = GetDlgItem(dialog, IDC_MESSAGE_CONTINUE);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void pressCloseBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

void doNothing(HWND) {}

void expectDefaults() {
    EXPECT_EQ(messageParams.messageMode, kMessagePlain);
    EXPECT_EQ(messageParams.messageLine1, nullptr);
    EXPECT_EQ(messageParams.messageLine2, nullptr);
    EXPECT_EQ(messageParams.messageLine3, nullptr);
    EXPECT_EQ(messageParams.messageLine4, nullptr);
    EXPECT_EQ(messageParams.autoCloseSeconds, 0u);
    EXPECT_EQ(messageParams.messageTopmost, 1u);
}

void askQuestion() {
    messageParams.messageMode = kMessageQuestion;
    messageParams.messageLine1 = "文件已存在.";
    messageParams.messageLine2 = "覆盖它吗?";
    messageParams.messageLine4 = "C:\\out\\repo0001.trn";
}

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetMessageParams();
        messageParams.messageAnswer = 0;
    }
};
}  // namespace

TEST_F(MessageDialogTest, PlainMessageShowsLineTwoAndOneButton) {
    messageParams.messageLine2 = "已完成";
    messageParams.messageAnswer = 7;
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.lines[0], "");
    EXPECT_EQ(seen.lines[1], "已完成");
    EXPECT_EQ(seen.lines[2], "");
    EXPECT_EQ(seen.lines[3], "");
    for (bool visible : seen.lineVisible) EXPECT_TRUE(visible);
    EXPECT_TRUE(seen.continueVisible);
    EXPECT_TRUE(seen.continueEnabled);
    EXPECT_EQ(seen.continueCaption, "继续");
    EXPECT_FALSE(seen.cancelVisible);
    EXPECT_FALSE(seen.descriptionVisible);
    EXPECT_TRUE(seen.focusOnContinue);
    EXPECT_EQ(seen.answerWhileOpen, 0);
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerContinue);
    expectDefaults();
}

TEST_F(MessageDialogTest, DialogIsTopmost) {
    messageParams.messageLine2 = "已完成";
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    EXPECT_NE(seen.exStyle & WS_EX_TOPMOST, 0);
}

TEST_F(MessageDialogTest, QuestionShowsBothButtonsAndCancelAnswersTwo) {
    askQuestion();
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CANCEL); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.lines[0], "文件已存在.");
    EXPECT_EQ(seen.lines[1], "覆盖它吗?");
    EXPECT_EQ(seen.lines[2], "");
    EXPECT_EQ(seen.lines[3], "C:\\out\\repo0001.trn");
    EXPECT_TRUE(seen.continueVisible);
    EXPECT_EQ(seen.continueCaption, "继续");
    EXPECT_TRUE(seen.cancelVisible);
    EXPECT_TRUE(seen.cancelEnabled);
    EXPECT_EQ(seen.cancelCaption, "取消");
    EXPECT_FALSE(seen.descriptionVisible);
    EXPECT_TRUE(seen.focusOnContinue);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerCancel);
    expectDefaults();
}

TEST_F(MessageDialogTest, QuestionContinueAnswersOne) {
    askQuestion();
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerContinue);
    expectDefaults();
}

TEST_F(MessageDialogTest, EscapeAnswersTwoInEveryMode) {
    for (int32_t mode : {kMessagePlain, kMessageQuestion, kMessageDescription}) {
        SCOPED_TRACE(mode);
        messageParams.messageMode = mode;
        messageParams.messageLine1 = "文件读取错误";
        messageParams.messageLine2 = "可移动媒体就绪了吗?";
        Seen seen = runDialog(nullptr, pressEscape);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(messageParams.messageAnswer, kAnswerCancel);
        expectDefaults();
    }
}

TEST_F(MessageDialogTest, CloseBoxAnswersTwoOnPlainMessage) {
    messageParams.messageLine2 = "必须至少两块";
    Seen seen = runDialog(nullptr, pressCloseBox);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerCancel);
    expectDefaults();
}

TEST_F(MessageDialogTest, CancelCommandAnswersTwoWhileButtonHidden) {
    messageParams.messageLine2 = "已完成";
    Seen seen = runDialog(nullptr, [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.cancelVisible);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerCancel);
}

TEST_F(MessageDialogTest, OtherCommandsAndTimersLeaveItOpen) {
    messageParams.messageLine2 = "已完成";
    int32_t afterCommand = -1, afterTimer = -1;
    BOOL openAfterwards = FALSE;
    Seen seen = runDialog(nullptr, [&](HWND dialog) {
        // Sent, not posted: when the call returns the dialog has handled it.
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_MESSAGE_DESCRIPTION, EN_SETFOCUS), 0);
        afterCommand = messageParams.messageAnswer;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(999, BN_CLICKED), 0);
        SendMessageA(dialog, WM_TIMER, 1, 0);
        afterTimer = messageParams.messageAnswer;
        openAfterwards = IsWindowVisible(dialog);
        press(dialog, IDC_MESSAGE_CONTINUE);
    });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(afterCommand, 0);
    EXPECT_EQ(afterTimer, 0);
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerContinue);
}

TEST_F(MessageDialogTest, PlainMessageAfterQuestionShowsNoTraceOfIt) {
    askQuestion();
    messageParams.messageLine3 = "您仍然希望尝试合并它们吗?";
    Seen question = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(question.found);
    EXPECT_TRUE(question.cancelVisible);

    messageParams.messageLine2 = "已完成";
    Seen plain = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(plain.found);
    EXPECT_EQ(plain.lines[0], "");
    EXPECT_EQ(plain.lines[1], "已完成");
    EXPECT_EQ(plain.lines[2], "");
    EXPECT_EQ(plain.lines[3], "");
    EXPECT_FALSE(plain.cancelVisible);
}

TEST_F(MessageDialogTest, DescriptionModeShowsTheWholeTextInItsField) {
    std::string text;
    for (int line = 0; line < 17; ++line) text += "行" + std::to_string(10 + line) + ": abcdefghijklmnopqrstuvwxyz\r\n";
    text.append(599 - text.size(), 'z');
    ASSERT_EQ(text.size(), 599u);
    messageParams.messageMode = kMessageDescription;
    messageParams.messageLine1 = text.c_str();
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    for (bool visible : seen.lineVisible) EXPECT_FALSE(visible);
    EXPECT_TRUE(seen.descriptionVisible);
    EXPECT_EQ(seen.description, text);
    EXPECT_NE(seen.descriptionStyle & ES_READONLY, 0);
    EXPECT_NE(seen.descriptionStyle & ES_MULTILINE, 0);
    EXPECT_NE(seen.descriptionStyle & WS_VSCROLL, 0);
    EXPECT_TRUE(seen.descriptionAboveButtons);
    EXPECT_FALSE(seen.cancelVisible);
    EXPECT_TRUE(seen.focusOnContinue);
    expectDefaults();

    // The next plain message has its lines back and no description field.
    messageParams.messageLine2 = "已完成";
    Seen plain = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(plain.found);
    for (bool visible : plain.lineVisible) EXPECT_TRUE(visible);
    EXPECT_FALSE(plain.descriptionVisible);
}

TEST_F(MessageDialogTest, AutoCloseAnswersOneWithoutAPress) {
    messageParams.messageLine2 = "已完成";
    messageParams.autoCloseSeconds = 1;
    Seen seen = runDialog(nullptr, doNothing);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerContinue);
    expectDefaults();
}

TEST_F(MessageDialogTest, PressBeforeAutoCloseGivesThatAnswer) {
    askQuestion();
    // Long enough never to fire here: only the press can close it.
    messageParams.autoCloseSeconds = 600;
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CANCEL); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(messageParams.messageAnswer, kAnswerCancel);
    expectDefaults();
}

TEST_F(MessageDialogTest, CloseRestoresTopmostFlag) {
    messageParams.messageLine2 = "已完成";
    messageParams.messageTopmost = 0;
    Seen seen = runDialog(nullptr, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(messageParams.messageTopmost, 1u);
}

TEST_F(MessageDialogTest, OwnerIsDisabledWhileOpen) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    messageParams.messageLine2 = "已完成";
    Seen seen = runDialog(owner, [](HWND dialog) { press(dialog, IDC_MESSAGE_CONTINUE); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, owner);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}
