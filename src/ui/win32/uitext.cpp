// Finds the English of a text shown in a window: an exact entry of the table, or a pattern with numbers and names.
#include "ui/win32/uitext.h"

#include <cstring>
#include <vector>

#include "app/shell.h"
#include "engine/jobstate.h"
#include "os/os.h"
#include "os/widetext_win32.h"
#include "text/textops.h"

namespace {
constexpr UINT kChineseCodePage = 936;

// Matches text against pattern from the given positions, collecting what "%u" and "%s" stand for.
bool matchFrom(const char* pattern, const char* text, std::vector<std::string>& parts) {
    while (*pattern != 0) {
        if (pattern[0] == '%' && pattern[1] == 'u') {
            const char* end = text;
            while (*end >= '0' && *end <= '9') end++;
            if (end == text) return false;
            parts.emplace_back(text, end);
            pattern += 2;
            text = end;
            continue;
        }
        if (pattern[0] == '%' && pattern[1] == 's') {
            // As short as the rest allows: the literal text after it is the one that ends it.
            for (const char* end = text;; end++) {
                std::vector<std::string> rest = parts;
                rest.emplace_back(text, end);
                if (matchFrom(pattern + 2, end, rest)) {
                    parts = rest;
                    return true;
                }
                if (*end == 0) return false;
            }
        }
        if (*pattern != *text) return false;
        pattern++;
        text++;
    }
    return *text == 0;
}

std::string compose(const char* english, const std::vector<std::string>& parts) {
    std::string out;
    size_t next = 0;
    for (const char* p = english; *p != 0; p++) {
        if (p[0] == '%' && (p[1] == 'u' || p[1] == 's') && next < parts.size()) {
            out += parts[next++];
            p++;
        } else {
            out += *p;
        }
    }
    return out;
}

const char* exactEnglish(const char* chinese) {
    for (size_t i = 0; i < kEnglishTextCount; i++)
        if (std::strcmp(kEnglishTexts[i].chinese, chinese) == 0) return kEnglishTexts[i].english;
    return nullptr;
}

// The English of a template's UTF-16 text, by its code page 936 form; null when the table has none.
const char* englishOfWide(const wchar_t* wide) {
    char chinese[1024] = {};
    if (WideCharToMultiByte(kChineseCodePage, 0, wide, -1, chinese, sizeof chinese, nullptr, nullptr) <= 0)
        return nullptr;
    return exactEnglish(chinese);
}

// Reads a dialog template (DIALOGEX): its caption, then each item's id and text, in the order of the controls.
class TemplateReader {
public:
    explicit TemplateReader(const WORD* at) : at_(at) {}
    WORD word() { return *at_++; }
    DWORD dword() {
        DWORD low = word();
        return low | (static_cast<DWORD>(word()) << 16);
    }
    void skip(size_t words) { at_ += words; }
    // A name or ordinal: nothing, 0xFFFF and a number, or a string; the string comes back, else null.
    const wchar_t* nameOrOrdinal() {
        if (*at_ == 0) {
            at_++;
            return nullptr;
        }
        if (*at_ == 0xFFFF) {
            at_ += 2;
            return nullptr;
        }
        const wchar_t* text = reinterpret_cast<const wchar_t*>(at_);
        while (*at_++ != 0) {
        }
        return text;
    }
    void alignToDword() {
        if (reinterpret_cast<uintptr_t>(at_) % 4 != 0) at_++;
    }

private:
    const WORD* at_;
};

// The program's dialog template of that name (the extended form, the only one it has), or null.
const WORD* dialogTemplate(const char* templateName) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, templateName, MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const WORD* data = loaded != nullptr ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    return data != nullptr && data[0] == 1 && data[1] == 0xFFFF ? data : nullptr;
}

// Reads a template's header up to its first item; gives its caption and its number of items.
void readHeader(TemplateReader& read, const wchar_t*& caption, WORD& count) {
    read.skip(2 + 2 + 2);  // version and signature, help id, extended style
    const DWORD style = read.dword();
    count = read.word();
    read.skip(4);          // position and size
    read.nameOrOrdinal();  // menu
    read.nameOrOrdinal();  // class
    caption = read.nameOrOrdinal();
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        read.skip(3);  // point size, weight, italic and character set
        read.nameOrOrdinal();
    }
}
}  // namespace

const char* englishCaption(const char* templateName) {
    const WORD* data = englishInterface() ? dialogTemplate(templateName) : nullptr;
    if (data == nullptr) return nullptr;
    TemplateReader read(data);
    const wchar_t* caption = nullptr;
    WORD count = 0;
    readHeader(read, caption, count);
    return caption != nullptr ? englishOfWide(caption) : nullptr;
}

// Gives a control the English the table has for its template's text.
void giveText(HWND control, const wchar_t* text) {
    if (text == nullptr) return;
    if (const char* translated = englishOfWide(text)) SetWindowTextW(control, osWideText(translated).c_str());
}

void translateControls(HWND window, const char* templateName) {
    const WORD* data = englishInterface() ? dialogTemplate(templateName) : nullptr;
    if (data == nullptr) return;
    TemplateReader read(data);
    const wchar_t* caption = nullptr;
    WORD count = 0;
    readHeader(read, caption, count);
    giveText(window, caption);
    HWND child = GetWindow(window, GW_CHILD);
    for (WORD i = 0; i < count && child != nullptr; i++, child = GetWindow(child, GW_HWNDNEXT)) {
        read.alignToDword();
        read.skip(2 + 2 + 2 + 4);  // help id, extended style, style, position and size
        const DWORD id = read.dword();
        read.nameOrOrdinal();  // class
        const wchar_t* text = read.nameOrOrdinal();
        read.skip((read.word() + 1) / 2);  // creation data
        // Made in this order; a control that is not the item's means the order is not what it was.
        if (static_cast<WORD>(GetDlgCtrlID(child)) != static_cast<WORD>(id)) return;
        giveText(child, text);
    }
}

bool englishInterface() {
    static const bool english = PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_CHINESE;
    return english;
}

const char* uiText(const char* chinese) {
    if (chinese == nullptr || !englishInterface()) return chinese;
    const char* english = exactEnglish(chinese);
    return english != nullptr ? english : chinese;
}

std::string uiTranslate(const char* text) {
    if (text == nullptr) return std::string();
    if (!englishInterface()) return text;
    if (const char* english = exactEnglish(text)) return english;
    for (size_t i = 0; i < kEnglishPatternCount; i++) {
        std::vector<std::string> parts;
        if (matchFrom(kEnglishPatterns[i].chinese, text, parts)) return compose(kEnglishPatterns[i].english, parts);
    }
    return text;
}

uint32_t pickFile(HWND owner, char* path) {
    if (!englishInterface()) return chooseFile(owner, path);
    // Pairs of description and pattern, as the Chinese filter has them.
    std::string filter = std::string(uiText("所有文件")) + '\0' + "*.*" + '\0' + "Tarn Files" + '\0' + "*.Trn" + '\0';
    return osChooseFile(owner, filter.c_str(), path) ? 1 : 0;
}

uint32_t pickFolder(HWND owner, char* destination) {
    if (!englishInterface()) return chooseFolder(owner, destination);
    return osChooseFolder(owner, uiText("选择输出文件夹:"), destination) ? 1 : 0;
}

void openHelpPage() {
    if (!englishInterface()) {
        openReadMe();
        return;
    }
    char path[kTextBufferSize];
    if (buildPath(path, programFolder, "ReadMe-en.htm")) osShellOpen(nullptr, nullptr, path);
}
