// Resolves the package directory from the running program's own file.
#include <windows.h>

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

}  // namespace

void program_path(wchar_t* path) {
    DWORD n = GetModuleFileNameW(NULL, path, kPackageCapacity);
    // A result that fills the buffer was cut, and a cut path names another folder.
    if (n == 0 || n >= kPackageCapacity) path[0] = 0;
}

bool resolve_package_directory(const wchar_t* program, wchar_t* dir) {
    dir[0] = 0;
    if (!package_directory_from_path(program, dir, kPackageCapacity)) return false;
    shorten_wide(dir);
    return true;
}

bool full_path(const wchar_t* candidate, size_t length, wchar_t* out, size_t cap) {
    wchar_t name[kPackageCapacity];
    if (length >= kPackageCapacity) return false;
    CopyMemory(name, candidate, length * sizeof(wchar_t));
    name[length] = 0;
    DWORD n = GetFullPathNameW(name, static_cast<DWORD>(cap), out, NULL);
    return n > 0 && n < cap;
}

bool held_package_path(void* package, wchar_t* path) {
    wchar_t final_path[kPackageCapacity];
    DWORD n = GetFinalPathNameByHandleW(package, final_path, kPackageCapacity,
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= kPackageCapacity ||
        !msiexec_package_path(final_path, path, kFilePathCapacity)) {
        return false;
    }
    // Its folder short where the volume has short names, as the payload
    // directory's: no blanks for cmd.exe to part. The same entries' other
    // names, no link. The file keeps its name.
    size_t name_at = text_length(path);
    while (name_at > 0 && path[name_at - 1] != L'\\') --name_at;
    wchar_t folder[kFilePathCapacity];
    wchar_t short_form[kFilePathCapacity];
    text_copy(folder, kFilePathCapacity, path);
    folder[name_at] = 0;
    n = GetShortPathNameW(folder, short_form, kFilePathCapacity);
    if (n > 0 && n < kFilePathCapacity &&
        text_append(short_form, kFilePathCapacity, path + name_at)) {
        text_copy(path, kFilePathCapacity, short_form);
    }
    return true;
}
