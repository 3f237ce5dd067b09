// The language of the subcommands' messages: Chinese under a zh_* locale, English otherwise.
#pragma once

// One message in both languages; the two texts take the same printf arguments in the same order.
struct Text {
    const char* english;
    const char* chinese;
};

// Read once from LC_ALL, LC_MESSAGES and LANG, the first that is set (as gettext looks them up).
bool chineseMessages();
const char* pick(const Text& text);
