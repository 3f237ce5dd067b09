// The desktop shell around the program: the file and folder choosers and the help page.
#pragma once
#include <cstdint>

#include "engine/window.h"

// 1 when the user chose a file: path (600 bytes, also the initial name) holds its full path; otherwise 0.
uint32_t chooseFile(WindowRef owner, char* path);
// 1 when the user chose a folder, which destination (600 bytes) then holds; otherwise 0 and it is unchanged.
uint32_t chooseFolder(WindowRef owner, char* destination);
// Opens ReadMe.htm beside the program with its default handler; a missing page is not reported.
void openReadMe();
