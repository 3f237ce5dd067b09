// The desktop shell around the program: the file association, the elevated restart, the file and folder
// choosers and the help page.
#pragma once
#include <cstdint>

#include "engine/window.h"

// 1 when the user chose a file: path (600 bytes, also the initial name) holds its full path; otherwise 0.
uint32_t chooseFile(WindowRef owner, char* path);
// 1 when the user chose a folder, which destination (600 bytes) then holds; otherwise 0 and it is unchanged.
uint32_t chooseFolder(WindowRef owner, char* destination);
// Opens ReadMe.htm beside the program with its default handler; a missing page is not reported.
void openReadMe();

constexpr int kAssociationTextSize = 1024;

// What a double-click on a piece runs: the program path and "%1", each in double quotes, a space between.
void buildAssociationCommand(const char* folder, char* out);
// The piece icon: the program's third icon.
void buildAssociationIcon(const char* folder, char* out);
// Sets one text value (none for the key's default) under a root of the OS layer; true when it was written.
bool writeKeyText(uint32_t root, const char* key, const char* name, const char* text);
// Associates ".trn" with the program: ten entries, machine-wide ones among them, "UnTarn" the class's default
// verb and "open" the same command; true when all were written.
bool writeFileAssociation();
// Asks the shell to run the program again with administrator rights. 1 when it started, and the caller then
// ends this copy; 0 when the user declined or the start failed.
uint32_t relaunchElevated(WindowRef mainWindow);
