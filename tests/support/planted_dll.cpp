// A DLL to plant beside setup.exe under a system DLL's name: if it is ever
// loaded it leaves C:\planted-<its name>-loaded.txt.
#include <windows.h>

#include <string.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        char module[MAX_PATH] = {};
        GetModuleFileNameA(self, module, MAX_PATH);
        const char* name = strrchr(module, '\\') ? strrchr(module, '\\') + 1 : module;
        char mark[MAX_PATH] = "C:\\planted-";
        strncat(mark, name, 100);
        strcat(mark, "-loaded.txt");
        HANDLE f = CreateFileA(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    return TRUE;
}
