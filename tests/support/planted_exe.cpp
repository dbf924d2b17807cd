// A program to plant beside setup.exe under a system program's name: if it
// is ever run it leaves C:\planted-<its name>-ran.txt.
#include <windows.h>

#include <string.h>

int main() {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(NULL, module, MAX_PATH);
    const char* name = strrchr(module, '\\') ? strrchr(module, '\\') + 1 : module;
    char mark[MAX_PATH] = "C:\\planted-";
    strncat(mark, name, 100);
    strcat(mark, "-ran.txt");
    HANDLE f = CreateFileA(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return 0;
}
