// The package directory and the paths in it, as text.
#include "package.h"

#include "../common/text.h"

bool package_directory_from_path(const wchar_t* program_path, wchar_t* dir, size_t cap) {
    size_t end = 0;  // one past the last separator
    for (size_t i = 0; program_path[i] != 0; ++i) {
        if (program_path[i] == L'\\' || program_path[i] == L'/') end = i + 1;
    }
    if (end == 0 || end >= cap) return false;
    // As Windows gave it: in a folder made case-sensitive, "c:\upd\files"
    // would not be "C:\Upd\Files".
    for (size_t i = 0; i < end; ++i) dir[i] = program_path[i];
    dir[end] = 0;
    return true;
}

bool path_in_folder(const wchar_t* folder, const wchar_t* name, wchar_t* out, size_t cap) {
    wchar_t text[kPackageCapacity] = {};
    bool fits = text_copy(text, kPackageCapacity, folder) &&
                (text_ends_with(text, L'\\') || text_ends_with(text, L'/') ||
                 text_append(text, kPackageCapacity, L"\\")) &&
                text_append(text, kPackageCapacity, name);
    return fits && text_copy(out, cap, text);
}

bool msiexec_package_path(const wchar_t* final_path, wchar_t* out, size_t cap) {
    const wchar_t kLocal[] = L"\\\\?\\";
    const wchar_t kNetwork[] = L"UNC\\";
    for (size_t i = 0; i < 4; ++i) {
        if (final_path[i] != kLocal[i]) return false;
    }
    const wchar_t* rest = final_path + 4;
    bool network = true;
    for (size_t i = 0; i < 4; ++i)
        network = network && ascii_lower(rest[i]) == ascii_lower(kNetwork[i]);
    if (network) {
        // \\?\UNC\server\share\... is \\server\share\...
        wchar_t text[kPackageCapacity] = L"\\\\";
        return rest[4] != 0 && rest[4] != L'\\' && text_append(text, kPackageCapacity, rest + 4) &&
               text_copy(out, cap, text);
    }
    return path_root_length(rest) != 0 && text_copy(out, cap, rest);
}

size_t path_root_length(const wchar_t* path) {
    wchar_t drive = ascii_lower(path[0]);
    return drive >= L'a' && drive <= L'z' && path[1] == L':' && path[2] == L'\\' ? 2 : 0;
}
