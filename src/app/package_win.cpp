// Resolves the payload directory from the program path as it was started.
#include <windows.h>
#include <shellapi.h>

#include "../common/text.h"
#include "package.h"
#include "package_win.h"

namespace {

// The short form keeps blanks out of the patch command; without one (a failed
// call, or a form too long for the buffer) the long form stands.
void shorten_wide(wchar_t* dir) {
    wchar_t short_form[kPackageCapacity] = {};
    DWORD n = GetShortPathNameW(dir, short_form, kPackageCapacity);
    if (n > 0 && n < kPackageCapacity) text_copy(dir, kPackageCapacity, short_form);
}

bool current_package_directory(wchar_t* dir) {
    char current[kPackageCapacity] = {};
    DWORD n = GetCurrentDirectoryA(kPackageCapacity, current);
    if (n == 0 || n >= kPackageCapacity) return false;
    char short_form[kPackageCapacity] = {};
    n = GetShortPathNameA(current, short_form, kPackageCapacity);
    const char* chosen = (n > 0 && n < kPackageCapacity) ? short_form : current;
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, chosen, -1, dir, kPackageCapacity) > 0;
}

}  // namespace

bool resolve_payload_directory(wchar_t* payload) {
    payload[0] = 0;
    int argc = 0;
    // The argument array is left to the process exit.
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc < 1) return false;

    wchar_t dir[kPackageCapacity] = {};
    if (package_directory_from_path(argv[0], dir, kPackageCapacity)) {
        shorten_wide(dir);
    } else if (text_length(argv[0]) >= kPackageCapacity || !current_package_directory(dir)) {
        return false;
    }
    return payload_directory_from_package(dir, payload, kPayloadCapacity);
}
