// Footprint baseline: an empty WinMain built with setup.exe's flags.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
