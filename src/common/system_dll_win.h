// Functions of Windows DLLs that the program loads itself, from System32.
#pragma once

#include <windows.h>

// From System32 only: by its default search order Windows would look in the
// program's own folder first, and a DLL planted there would run elevated.
// The DLL stays loaded for the run. NULL when it or the function is missing.
FARPROC system_function(const wchar_t* dll, const char* name);

template <typename F>
F system_function(const wchar_t* dll, const char* name) {
    // Through void*: GetProcAddress returns a generic function pointer.
    return reinterpret_cast<F>(reinterpret_cast<void*>(system_function(dll, name)));
}
