// The enable rules and the output-folder rules, applied to the main window, a wizard page or no window.
#pragma once
#include "engine/window.h"

void applyControlRules(WindowRef window);
void applyOutputFolderRule(WindowRef window);
