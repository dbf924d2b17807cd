// Control for the DLL-planting test: a program that imports msi.dll
// statically, as the updater must not. Run beside a planted msi.dll, it
// shows that Wine does load a DLL from the program's folder.
#include <windows.h>
#include <msi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char value[260] = {};
    DWORD length = sizeof value;
    return static_cast<int>(MsiGetProductInfoA("{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}",
                                               "VersionString", value, &length));
}
