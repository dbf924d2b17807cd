// The installed-version check against the Windows Installer and the registry.
#include <windows.h>

#include "../common/registry_win.h"
#include "installed.h"

namespace {

typedef UINT(WINAPI* MsiGetProductInfoAFn)(LPCSTR, LPCSTR, LPSTR, LPDWORD);

const DWORD kValueBytes = 260;

// Loaded once for the run and left to the process exit: both rows of the
// release table ask, and msi.dll drags in a dozen DLLs each time it loads.
MsiGetProductInfoAFn product_info_query() {
    static bool loaded = false;
    static MsiGetProductInfoAFn query = NULL;
    if (!loaded) {
        loaded = true;
        // From System32 only: a static import would be resolved from the
        // program's own folder first, and an msi.dll planted there would run elevated.
        HMODULE msi = LoadLibraryExW(L"msi.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (msi != NULL) {
            // Through void*: GetProcAddress returns a generic function pointer.
            query = reinterpret_cast<MsiGetProductInfoAFn>(
                reinterpret_cast<void*>(GetProcAddress(msi, "MsiGetProductInfoA")));
        }
    }
    return query;
}

}  // namespace

int installer_test(const EligibleRelease& release) {
    MsiGetProductInfoAFn query = product_info_query();
    if (query == NULL) return kNoData;
    char value[kValueBytes] = {};
    DWORD length = kValueBytes;
    if (query(release.product_code, "VersionString", value, &length) != ERROR_SUCCESS) {
        return kNoData;
    }
    value[kValueBytes - 1] = 0;
    return compare_version(value, release.version);
}

int registry_test(const EligibleRelease& release, const char* key_path, const char* value_name,
                  unsigned long access) {
    char value[kRegistryTextBytes];
    bool read = false;
    read_registry_text(key_path, value_name, access, value, &read);
    return read ? compare_version(value, release.version) : kNoData;
}
