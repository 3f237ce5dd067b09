// Decides whether the chosen input is a file to split or a piece set to join, and fills the job record.
#pragma once
#include "engine/window.h"

void analyseInput(WindowRef window);
