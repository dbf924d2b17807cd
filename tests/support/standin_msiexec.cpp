// Test stand-in for msiexec.exe: records how it was started and exits with
// a chosen code. Driven by its environment, which the updater hands on:
//   STANDIN_RECORD  file to write (default C:\standin-record.txt)
//   STANDIN_EXIT    exit code (default 0); 0, 3010 and 1641 only once Wine's
//                   Windows Installer has applied the package named after /p,
//                   else its error
//   STANDIN_PRETEND when set: exits with STANDIN_EXIT without patching
//   STANDIN_SLEEP_MS  time to run before exiting
//   STANDIN_UNTIL   a file whose making ends that time early
//   STANDIN_MAKE    a file to write "new" to as it starts
//   STANDIN_CHECK   paths, separated by '|', whose existence is recorded
//   STANDIN_PROBE   when set: tries to open the package for writing, to
//                   rename it and to read it, and setup.exe's record for all
//                   three, and records each error (0: it worked)
#include "support.h"

#include <msi.h>

#include <stdlib.h>

#include <string>

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, 32768);
    return n > 0 && n < 32768 ? std::wstring(value, n) : std::wstring();
}

std::string error_line(const char* what, bool worked) {
    return std::string(what) + "\t" + std::to_string(worked ? 0 : GetLastError()) + "\n";
}

// What another process may do with the package while the installer runs.
std::string probe(const std::wstring& package) {
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE w = CreateFileW(package.c_str(), GENERIC_WRITE, all, NULL, OPEN_EXISTING, 0, NULL);
    std::string out = error_line("write", w != INVALID_HANDLE_VALUE);
    if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
    std::wstring moved = package + L".moved";
    bool renamed = MoveFileW(package.c_str(), moved.c_str());
    out += error_line("rename", renamed);
    if (renamed) MoveFileW(moved.c_str(), package.c_str());
    HANDLE r =
        CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    out += error_line("read", r != INVALID_HANDLE_VALUE);
    if (r != INVALID_HANDLE_VALUE) CloseHandle(r);
    // setup.exe's record, held by it meanwhile: a reader, another run appending
    // and one moving it to .old must all get in.
    HANDLE log =
        CreateFileW(L"C:\\windows\\Logs\\TallowickServer14v3Update.setup.log",
                    GENERIC_READ | FILE_APPEND_DATA | DELETE, all, NULL, OPEN_EXISTING, 0, NULL);
    out += error_line("record", log != INVALID_HANDLE_VALUE);
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
    return out;
}

}  // namespace

int wmain() {
    std::wstring record = env(L"STANDIN_RECORD");
    if (record.empty()) record = L"C:\\standin-record.txt";
    wchar_t cwd[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    wchar_t cwd_long[MAX_PATH * 4] = {};
    GetLongPathNameW(cwd, cwd_long, MAX_PATH * 4);
    std::string out = "cmdline\t" + utf8(GetCommandLineW()) + "\n" + "cwd\t" + utf8(cwd) + "\n" +
                      "cwd_long\t" + utf8(cwd_long) + "\n";
    // Whether the package named after "/p" is there, as this process sees it.
    std::wstring line = GetCommandLineW();
    std::wstring package;
    size_t at = line.find(L" /p ");
    if (at != std::wstring::npos) {
        std::wstring rest = line.substr(at + 4);
        if (!rest.empty() && rest[0] == L'"') {
            package = rest.substr(1, rest.find(L'"', 1) - 1);
        } else {
            package = rest.substr(0, rest.find(L' '));
        }
        bool found = GetFileAttributesW(package.c_str()) != INVALID_FILE_ATTRIBUTES;
        out += "package\t" + utf8(package) + "\n" + "package_found\t" + (found ? "1" : "0") + "\n";
        if (found && !env(L"STANDIN_PROBE").empty()) out += probe(package);
    }
    std::wstring checks = env(L"STANDIN_CHECK");
    size_t start = 0;
    while (start < checks.size()) {
        size_t end = checks.find(L'|', start);
        if (end == std::wstring::npos) end = checks.size();
        std::wstring path = checks.substr(start, end - start);
        bool exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        out += "exists\t" + utf8(path) + "\t" + (exists ? "1" : "0") + "\n";
        start = end + 1;
    }
    STARTUPINFOW startup = {};  // how its parent asked it to show (-1: as it likes)
    GetStartupInfoW(&startup);
    int show = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : -1;
    out += "show\t" + std::to_string(show) + "\n";
    write_file(record.c_str(), out);
    std::wstring make = env(L"STANDIN_MAKE");
    if (!make.empty()) write_file(make.c_str(), "new");
    std::wstring sleep_ms = env(L"STANDIN_SLEEP_MS");
    std::wstring until = env(L"STANDIN_UNTIL");
    for (int ms = sleep_ms.empty() ? 0 : _wtoi(sleep_ms.c_str()); ms > 0; ms -= 10) {
        if (!until.empty() && GetFileAttributesW(until.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(10);
    }
    std::wstring chosen = env(L"STANDIN_EXIT");
    DWORD code = chosen.empty() ? 0 : wcstoul(chosen.c_str(), NULL, 10);
    if ((code == 0 || code == 3010 || code == 1641) && !package.empty() &&
        env(L"STANDIN_PRETEND").empty()) {
        // The location the test had set: the patch's reinstall writes its own.
        wchar_t location[MAX_PATH] = {};
        DWORD size = sizeof location;
        RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\Services",
                     L"InstallLocation", RRF_RT_REG_SZ, NULL, location, &size);
        // What "msiexec /p <package> REINSTALL=ALL /qn" does, here: Wine fixes a process's
        // load order from the Unix environment, so a child would run this file again.
        MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
        DWORD real = MsiApplyPatchW(package.c_str(), NULL, INSTALLTYPE_DEFAULT, L"REINSTALL=ALL");
        if (real != 0) code = real;
        write_file(record.c_str(), out + "patched\t" + std::to_string(real) + "\nlocation\t" +
                                       utf8(location) + "\n");
    }
    return static_cast<int>(code);
}
