// Small helpers shared by the Windows test programs.
#pragma once

#include <windows.h>

#include <string.h>

#include <string>

inline std::string utf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), NULL, 0, NULL, NULL);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, NULL, NULL);
    return s;
}

inline void write_file(const wchar_t* path, const std::string& data) {
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, NULL);
    CloseHandle(f);
}

// Leaves C:\planted-<module file name><suffix>: proof that a planted file
// was loaded or run.
inline void leave_mark(HMODULE module, const char* suffix) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    std::string mark = std::string("C:\\planted-") + name + suffix;
    std::wstring wide(mark.begin(), mark.end());
    write_file(wide.c_str(), "");
}
