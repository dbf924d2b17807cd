// The installed-version check against the Windows Installer and the registry.
#include <windows.h>

#include "../common/registry_win.h"
#include "../common/system_dll_win.h"
#include "installed.h"

namespace {

typedef UINT(WINAPI* MsiGetProductInfoAFn)(LPCSTR, LPCSTR, LPSTR, LPDWORD);

const DWORD kValueBytes = 260;

}  // namespace

int installer_test(const EligibleRelease& release) {
    // msi.dll drags in a dozen DLLs; it is loaded once and kept for the run.
    MsiGetProductInfoAFn query =
        system_function<MsiGetProductInfoAFn>(L"msi.dll", "MsiGetProductInfoA");
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
