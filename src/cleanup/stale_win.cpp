// The stale component removal: the installation directory from the server's
// registry key, and the two trees under it.
#include <windows.h>

#include "../common/registry_win.h"
#include "stale.h"

long remove_stale_components(const wchar_t* key_path, const wchar_t* value_name) {
    // Wide: a folder name outside the ANSI code page is found, and no code
    // page 932 trail byte of 0x5C is taken for a separator.
    wchar_t install_dir[kRegistryTextChars];
    bool read = false;
    // No view flag: a 64-bit process reads the 64-bit view.
    LSTATUS status = read_registry_text(key_path, value_name, KEY_READ, install_dir, &read);
    if (!read || !is_absolute_path(install_dir)) return status;
    for (const auto& components : kStaleComponents) {
        remove_tree_below(install_dir, components, kStaleDepth);
    }
    return status;
}
