// Footprint baseline: an empty program built with setup.exe's flags, which
// enter without the C runtime's start-up.
#include <windows.h>

extern "C" void setup_entry() {
    ExitProcess(0);
}
