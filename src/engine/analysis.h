// Decides whether the chosen input is a file to split or a piece set to join, and fills the job record.
#pragma once
#include "engine/window.h"

void analyseInput(WindowRef window);
// The name field's text: the end of the name the job's file has (a set's from its UTF-8 copy where it has one).
void shownSourceName(char* shown);
