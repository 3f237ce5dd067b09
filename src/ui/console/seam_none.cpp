// The window seam of the native build: there is never a window, so every call does nothing.
#include "engine/window.h"

void setControlText(WindowRef, int, const char*) {}
void getControlText(WindowRef, int, char* out, int limit) {
    if (limit > 0) out[0] = 0;
}
void setControlNumber(WindowRef, int, uint32_t) {}
uint32_t getControlNumber(WindowRef, int) { return 0; }
void setControlCheck(WindowRef, int, uint32_t) {}
uint32_t getControlCheck(WindowRef, int) { return 0; }
void enableControl(WindowRef, int, uint32_t) {}
void setWindowCaption(WindowRef, const char*) {}
int32_t getListSelection(WindowRef, int) { return -1; }
uint32_t controlHasFocus(WindowRef, int) { return 0; }
void setSliderRange(WindowRef, int, uint32_t, uint32_t) {}
void setControlTooltip(WindowRef, int, const char*) {}
