// Functions of Windows DLLs loaded from System32.
#include "system_dll_win.h"

FARPROC system_function(const wchar_t* dll, const char* name) {
    // A DLL already loaded is found again, not loaded twice.
    HMODULE module = LoadLibraryExW(dll, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != NULL ? GetProcAddress(module, name) : NULL;
}
