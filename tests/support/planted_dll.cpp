// A DLL to plant beside setup.exe under a system DLL's name: if it is ever
// loaded it leaves C:\planted-<its name>-loaded.txt.
#include "support.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) leave_mark(self, "-loaded.txt");
    return TRUE;
}
