// Chooses the message language from the locale environment, the way gettext ranks its variables.
#include "cli/language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

bool chineseMessages() {
    static const bool chinese = [] {
        const char* locale = "";
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value != nullptr && value[0] != 0) {
                locale = value;
                break;
            }
        }
        // LANGUAGE, a list such as "zh_CN:en", ranks first unless the locale is C, which gettext keeps in English.
        const bool plain = locale[0] == 0 || std::strcmp(locale, "POSIX") == 0 || std::strcmp(locale, "C") == 0 ||
                           std::strncmp(locale, "C.", 2) == 0;
        const char* languages = std::getenv("LANGUAGE");
        if (!plain && languages != nullptr && languages[0] != 0) return std::strncmp(languages, "zh", 2) == 0;
        return std::strncmp(locale, "zh", 2) == 0;
    }();
    return chinese;
}

const char* pick(const Text& text) { return chineseMessages() ? text.chinese : text.english; }
