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

namespace {

// True when neither the file at path nor a folder above it, down to its
// root, is a link or mount point. While the file is held, Windows lets no
// folder above it be renamed, so none can become one.
bool no_link_on(const wchar_t* path) {
    wchar_t prefix[kFilePathCapacity];
    size_t root = path_root_length(path);
    if (root == 0 || !text_copy(prefix, kFilePathCapacity, path)) return false;
    for (size_t n = text_length(prefix); n > root; --n) {
        if (prefix[n] != 0 && prefix[n] != L'\\') continue;
        prefix[n] = 0;
        DWORD attributes = GetFileAttributesW(prefix);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool held_package_path(void* package, wchar_t* path) {
    wchar_t final_path[kPackageCapacity];
    DWORD n = GetFinalPathNameByHandleW(package, final_path, kPackageCapacity,
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // None in a form msiexec takes (a volume with no drive letter, a name
    // too long for the call): the path as opened, where no link lies on it.
    if (n == 0 || n >= kPackageCapacity) return no_link_on(path);
    // Its folder short where the volume has short names, as the payload
    // directory's: no blanks for cmd.exe to part, and room in MAX_PATH. The
    // same entries' other names, no link. The file keeps its name.
    size_t name_at = n;
    while (name_at > 0 && final_path[name_at - 1] != L'\\') --name_at;
    wchar_t folder[kPackageCapacity];
    wchar_t short_form[kPackageCapacity];
    text_copy(folder, kPackageCapacity, final_path);
    folder[name_at] = 0;
    n = GetShortPathNameW(folder, short_form, kPackageCapacity);
    if (n > 0 && n < kPackageCapacity &&
        text_append(short_form, kPackageCapacity, final_path + name_at)) {
        text_copy(final_path, kPackageCapacity, short_form);
    }
    return msiexec_package_path(final_path, path, kFilePathCapacity);
}
