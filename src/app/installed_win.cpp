// The installed-version check against the Windows Installer and the registry.
#include <windows.h>

#include "../common/registry_win.h"
#include "installed.h"

namespace {

typedef UINT(WINAPI* MsiGetProductInfoAFn)(LPCSTR, LPCSTR, LPSTR, LPDWORD);

const DWORD kValueBytes = 260;

}  // namespace

int installer_test(const EligibleRelease& release) {
    // Loaded from System32 only: a static import would be resolved from the
    // program's own folder first, and an msi.dll planted there would run elevated.
    HMODULE msi = LoadLibraryExW(L"msi.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (msi == NULL) return kNoData;
    // Through void*: GetProcAddress returns a generic function pointer.
    MsiGetProductInfoAFn get_info = reinterpret_cast<MsiGetProductInfoAFn>(
        reinterpret_cast<void*>(GetProcAddress(msi, "MsiGetProductInfoA")));
    int result = kNoData;
    if (get_info != NULL) {
        char value[kValueBytes] = {};
        DWORD length = kValueBytes;
        if (get_info(release.product_code, "VersionString", value, &length) == ERROR_SUCCESS) {
            value[kValueBytes - 1] = 0;
            result = compare_version(value, release.version);
        }
    }
    FreeLibrary(msi);
    return result;
}

int registry_test(const EligibleRelease& release, const char* key_path, const char* value_name,
                  unsigned long access) {
    char value[kRegistryTextBytes];
    bool read = false;
    read_registry_text(key_path, value_name, access, value, &read);
    return read ? compare_version(value, release.version) : kNoData;
}
