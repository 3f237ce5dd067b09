// Chooses the message language from the locale environment, the way gettext ranks its variables.
#include "cli/language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

bool chineseMessages() {
    static const bool chinese = [] {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value != nullptr && value[0] != 0) return std::strncmp(value, "zh", 2) == 0;
        }
        return false;
    }();
    return chinese;
}

const char* pick(const Text& text) { return chineseMessages() ? text.chinese : text.english; }
