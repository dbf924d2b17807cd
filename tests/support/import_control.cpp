// Control for the planted-DLL tests: a program that does nothing but import
// the same system DLLs as setup.exe. Whatever Wine loads for it from the
// program's folder is the loader's doing, not the updater's.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RegCloseKey(NULL);
    return GetSystemMetrics(SM_CXSCREEN) < 0 ? 1 : 0;
}
