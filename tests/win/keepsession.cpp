// Waits until it is ended: while it runs, Wine keeps one session of its prefix (boot, desktop, services) for every
// program a test suite starts there, rather than starting one anew after each pause.
#include <windows.h>

int main() {
    Sleep(INFINITE);
    return 0;
}
