// The stale component directories under the server's installation directory.
#pragma once

#include <stddef.h>

const size_t kTreePathBytes = 260;

extern const char* const kStaleSuffixes[2];

// True for a path that does not depend on the current drive or directory:
// "X:\..." or a UNC path "\\server\share...".
bool is_absolute_path(const char* path);

// The installation directory, a backslash when it lacks one, and suffix.
// False, and out untouched, for a relative or empty directory or a result
// that does not fit cap.
bool stale_component_path(const char* install_dir, const char* suffix, char* out, size_t cap);

// "<dir>\*.*" and "<dir>\<name>": false when the result would not fit cap.
bool search_pattern(const char* dir, char* out, size_t cap);
bool child_path(const char* dir, const char* name, char* out, size_t cap);

// "." and ".." are the listing's own entries; every other name is real.
bool is_self_or_parent(const char* name);

// Windows edges (stale_win.cpp, tree_win.cpp).
long remove_stale_components(const char* key_path, const char* value_name);
void remove_tree(const char* path);
