// The stale component removal: the installation directory from the server's
// registry key, and the two trees under it.
#include <windows.h>

#include "../common/registry_win.h"
#include "stale.h"

long remove_stale_components(const char* key_path, const char* value_name) {
    char install_dir[kRegistryTextBytes];
    bool read = false;
    // No view flag: a 64-bit process reads the 64-bit view.
    LSTATUS status = read_registry_text(key_path, value_name, KEY_READ, install_dir, &read);
    if (!read) return status;
    for (const char* suffix : kStaleSuffixes) {
        char path[kTreePathBytes];
        if (stale_component_path(install_dir, suffix, path, sizeof path)) remove_tree(path);
    }
    return status;
}
