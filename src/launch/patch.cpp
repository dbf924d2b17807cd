// Building the patch command.
#include "patch.h"

#include "../common/text.h"

bool needs_quotes(const wchar_t* path) {
    // cmd's own list also names the tilde, but every 8.3 short name holds one
    // and outside "%~" it means nothing on a command line.
    const wchar_t* special = L" &()[]{}^=;!'+,`";
    for (const wchar_t* p = path; *p != 0; ++p) {
        for (const wchar_t* s = special; *s != 0; ++s) {
            if (*p == *s) return true;
        }
    }
    return false;
}

bool build_patch_command(const wchar_t* system_dir, const wchar_t* payload, const wchar_t* package,
                         const wchar_t* args, wchar_t* out, size_t cap) {
    wchar_t package_path[kCommandCapacity] = {};
    if (!text_copy(package_path, kCommandCapacity, payload) ||
        !text_append(package_path, kCommandCapacity, package)) {
        return false;
    }
    const wchar_t* quote = needs_quotes(package_path) ? L"\"" : L"";
    wchar_t command[kCommandCapacity] = {};
    bool fits =
        // /D: cmd runs no AutoRun command from HKCU or HKLM, which any process
        // of the user could have set to run elevated before the installer.
        text_append(command, kCommandCapacity, L"/D /C ") &&
        text_append(command, kCommandCapacity, system_dir) &&
        text_append(command, kCommandCapacity, L"\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p ") &&
        text_append(command, kCommandCapacity, quote) &&
        text_append(command, kCommandCapacity, package_path) &&
        text_append(command, kCommandCapacity, quote) &&
        text_append(command, kCommandCapacity, L" ") &&
        text_append(command, kCommandCapacity, args);
    return fits && text_copy(out, cap, command);
}

bool build_application_name(const wchar_t* system_dir, wchar_t* out, size_t cap) {
    wchar_t name[kSystemPathCapacity] = {};
    return text_copy(name, kSystemPathCapacity, system_dir) &&
           text_append(name, kSystemPathCapacity, L"\\cmd.exe") && text_copy(out, cap, name);
}
