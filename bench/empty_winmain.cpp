// Footprint baseline: an empty program built with setup.exe's flags, which
// Windows enters at WinMain without the C runtime's start-up.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ExitProcess(0);
}
