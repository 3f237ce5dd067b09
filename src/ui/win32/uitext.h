// The interface's language: Chinese where the system's interface is Chinese, English elsewhere. Every text the
// windows show passes through here on its way to the screen; the program itself keeps its Chinese texts.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The English of each Chinese text the windows show, in one table (english.cpp).
struct Translation {
    const char* chinese;
    const char* english;
};
extern const Translation kEnglishTexts[];
extern const size_t kEnglishTextCount;
// Texts with numbers or names inside: "%u" stands for digits, "%s" for any text; the English takes them in order.
extern const Translation kEnglishPatterns[];
extern const size_t kEnglishPatternCount;
// Captions by control id, for controls whose text comes from the system rather than from the program.
struct ButtonText {
    int id;
    const char* english;
};
extern const ButtonText kEnglishWizardButtons[];
extern const size_t kEnglishWizardButtonCount;

// True when the windows speak English: an interface language other than Chinese.
bool englishInterface();
// The text in the interface's language; a text the table does not hold (a path, a number) comes back unchanged.
const char* uiText(const char* chinese);
// As uiText, and for a text composed with numbers or names, its English composed with the same ones.
std::string uiTranslate(const char* text);
// Gives window (made from the dialog template of that name) and each of its controls the English of the text the
// template gives it.
void translateControls(HWND window, const char* templateName);
// The English of that template's caption; null for a Chinese interface or a caption the table lacks.
const char* englishCaption(const char* templateName);

// The file and folder choosers and the help page, in the interface's language.
uint32_t pickFile(HWND owner, char* path);
uint32_t pickFolder(HWND owner, char* destination);
void openHelpPage();
