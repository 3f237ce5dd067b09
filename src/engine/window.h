// The engine's only way to reach a window: a few calls over an opaque handle, by control id.
// On Windows they call the dialog-item functions; the native build has no window and they do nothing.
#pragma once
#include <cstdint>

using WindowRef = void*;

// The main window once it exists; owner of the messages raised outside a job's own window.
extern WindowRef mainWindowHandle;

void setControlText(WindowRef window, int id, const char* text);
// Reads at most limit-1 bytes; an absent window or control gives an empty text.
void getControlText(WindowRef window, int id, char* out, int limit);
void setControlNumber(WindowRef window, int id, uint32_t value);
uint32_t getControlNumber(WindowRef window, int id);
void setControlCheck(WindowRef window, int id, uint32_t checked);
uint32_t getControlCheck(WindowRef window, int id);
void enableControl(WindowRef window, int id, uint32_t enabled);
void setWindowCaption(WindowRef window, const char* text);
// Selected index of a drop-down list, -1 for none or no such control.
int32_t getListSelection(WindowRef window, int id);
void setSliderRange(WindowRef window, int id, uint32_t minimum, uint32_t maximum);
void setControlTooltip(WindowRef window, int id, const char* text);
// Whether the control has the keyboard focus: a field being typed in is not rewritten under the caret.
uint32_t controlHasFocus(WindowRef window, int id);
