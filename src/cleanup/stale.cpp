// Path building for the stale component removal.
#include "stale.h"

#include "../common/text.h"

const char* const kStaleSuffixes[2] = {
    "Web Publishing\\publishing-engine\\jwpc-tomcat\\twk",
    "Admin\\admin-master-tomcat\\bin\\admin-console",
};

bool is_absolute_path(const char* path) {
    char c = path[0];
    bool drive =
        ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':' && path[2] == '\\';
    bool unc = path[0] == '\\' && path[1] == '\\' && path[2] != 0 && path[2] != '\\';
    return drive || unc;
}

bool stale_component_path(const char* install_dir, const char* suffix, char* out, size_t cap) {
    if (!is_absolute_path(install_dir)) return false;
    char path[kTreePathBytes] = {};
    bool fits = text_copy(path, kTreePathBytes, install_dir) &&
                (text_ends_with(path, '\\') || text_append(path, kTreePathBytes, "\\")) &&
                text_append(path, kTreePathBytes, suffix);
    return fits && text_copy(out, cap, path);
}

bool search_pattern(const char* dir, char* out, size_t cap) {
    char path[kTreePathBytes] = {};
    return text_copy(path, kTreePathBytes, dir) && text_append(path, kTreePathBytes, "\\*.*") &&
           text_copy(out, cap, path);
}

bool child_path(const char* dir, const char* name, char* out, size_t cap) {
    char path[kTreePathBytes] = {};
    return text_copy(path, kTreePathBytes, dir) && text_append(path, kTreePathBytes, "\\") &&
           text_append(path, kTreePathBytes, name) && text_copy(out, cap, path);
}

bool is_self_or_parent(const char* name) {
    return text_equal(name, ".") || text_equal(name, "..");
}
