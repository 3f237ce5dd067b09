// The about dialog's texts that need no window: the description of the running operating system, the mail link
// and the information pages.
#pragma once
#include <cstdint>

#include "os/os.h"

// The name of the system the record describes, its edition and service pack, into out (600 bytes).
// The classic Windows names, carried on past Vista (7, 8, 8.1, 10, 11); a system that describes itself in
// otherSystem is named too: after the Windows name it imitates in parentheses (Wine), or alone (Linux).
void describeSystem(const SystemVersion& version, char* out);
// The running system's description (600 bytes): osSystemVersion, then describeSystem.
void osDescription(char* destination);

// "mailto:" address "?subject=Tarn&body=v1512 " description " ", unencoded, cut to fit out (600 bytes).
void buildMailLink(const char* address, const char* description, char* out);

// Pages of the about dialog's selector, in the order of its items.
enum : int32_t { kAboutPageMail = 0, kAboutPageFolders = 1, kAboutPageDiagnosis = 2, kAboutPageCount = 3 };
// The selector's text for a page, or null for a page that does not exist.
const char* aboutPageName(int32_t page);
// The information text of a page into out (600 bytes); a page that does not exist (no selection) gives "".
void aboutPageText(int32_t page, char* out);
