// The enable rules, the output-folder rules and the collection of a window's values into the job and settings.
#pragma once
#include "engine/window.h"

void applyControlRules(WindowRef window);
void applyOutputFolderRule(WindowRef window);
// Takes the folder, description, key, path, lists and checksum box of the window into jobState and settings.
void collectWindowValues(WindowRef window);
