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

bool cmd_would_expand(const wchar_t* path) {
    const wchar_t* first = nullptr;
    const wchar_t* last = nullptr;
    for (const wchar_t* p = path; *p != 0; ++p) {
        if (*p != L'%') continue;
        if (first == nullptr) first = p;
        last = p;
    }
    return first != nullptr && last - first > 1;
}

bool cmd_keeps_options(const wchar_t* args) {
    for (const wchar_t* p = args; *p != 0; ++p) {
        // cmd ends its command at a line feed and drops carriage returns.
        if (*p == L'\r' || *p == L'\n') return false;
    }
    return !cmd_would_expand(args);
}

bool append_for_cmd(wchar_t* command, size_t cap, const wchar_t* args) {
    const size_t start = text_length(command);
    size_t used = start;
    bool quoted = false;
    for (const wchar_t* p = args; *p != 0; ++p) {
        if (*p == L'"') quoted = !quoted;
        bool special =
            !quoted && (*p == L'&' || *p == L'|' || *p == L'<' || *p == L'>' || *p == L'^');
        if (used + (special ? 2 : 1) >= cap) {
            command[start] = 0;
            return false;
        }
        // Outside quotes cmd reads these as its own syntax; a caret makes it
        // hand the next character on and drop the caret.
        if (special) command[used++] = L'^';
        command[used++] = *p;
    }
    command[used] = 0;
    return true;
}

bool build_patch_command(const wchar_t* system_dir, const wchar_t* package_path,
                         const wchar_t* args, wchar_t* out, size_t cap) {
    // The path msiexec gets must be the one that was checked, and the options
    // the ones that were typed.
    if (cmd_would_expand(package_path) || !cmd_keeps_options(args)) return false;
    const wchar_t* quote = needs_quotes(package_path) ? L"\"" : L"";
    wchar_t command[kCommandCapacity] = {};
    bool fits =
        // /D: cmd runs no AutoRun command from HKCU or HKLM, which any process
        // of the user could have set to run elevated before the installer.
        // /V:OFF: "!NAME!" stays as typed, whatever DelayedExpansion says.
        text_append(command, kCommandCapacity, L"/D /V:OFF /C ") &&
        text_append(command, kCommandCapacity, system_dir) &&
        text_append(command, kCommandCapacity, L"\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p ") &&
        text_append(command, kCommandCapacity, quote) &&
        text_append(command, kCommandCapacity, package_path) &&
        text_append(command, kCommandCapacity, quote) &&
        text_append(command, kCommandCapacity, L" ") &&
        append_for_cmd(command, kCommandCapacity, args);
    return fits && text_copy(out, cap, command);
}

bool build_system_path(const wchar_t* system_dir, const wchar_t* name, wchar_t* out, size_t cap) {
    wchar_t path[kSystemPathCapacity] = {};
    return text_copy(path, kSystemPathCapacity, system_dir) &&
           text_append(path, kSystemPathCapacity, L"\\") &&
           text_append(path, kSystemPathCapacity, name) && text_copy(out, cap, path);
}

bool build_application_name(const wchar_t* system_dir, wchar_t* out, size_t cap) {
    return build_system_path(system_dir, L"cmd.exe", out, cap);
}
