// The updater's package checks alone, timed inside one process as
// setup.exe makes them: the digest against SHA256SUMS (bcrypt.dll loaded by
// the check), then the Windows Installer's verdict (msi.dll already loaded,
// as setup.exe's version check loads it first). Prints both in seconds.
//   package_check <SHA256SUMS> <patch package> <product code>
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>

#include "../src/verify/checks_win.h"
#include "../src/common/system_dll_win.h"

static double now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 4) return 2;
    system_function(L"msi.dll", "MsiGetProductInfoA");
    double t0 = now();
    HANDLE package = INVALID_HANDLE_VALUE;
    unsigned long whole = hold_package(argv[2], &package);
    if (whole == 0) {
        whole =
            check_package_whole(argv[1], package, "Files/TallowickServer14v3Update.msp", kNoStamp);
    }
    double t1 = now();
    unsigned long target = check_package_target(argv[3], argv[2], kByInstaller);
    if (package != INVALID_HANDLE_VALUE) CloseHandle(package);
    double t2 = now();
    printf("whole %lu %.6f\ntarget %lu %.6f\n", whole, t1 - t0, target, t2 - t1);
    return 0;
}
