// The tree removal: depth-first, best effort, never through a link.
#include <windows.h>

#include "stale.h"

namespace {

// A junction or symbolic link also carries FILE_ATTRIBUTE_DIRECTORY;
// RemoveDirectoryA on it removes the link and leaves its target alone.
void remove_link(const char* path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryA(path);
    } else {
        DeleteFileA(path);
    }
}

// path is a real directory, not a link.
void remove_directory_tree(const char* path) {
    char pattern[kTreePathBytes];
    // A pattern that would not fit cannot list this directory: it stays whole.
    if (!search_pattern(path, pattern, sizeof pattern)) return;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (is_self_or_parent(entry.cFileName)) continue;
            char child[kTreePathBytes];
            // A truncated child path could name another entry: skip it, its parent stays.
            if (!child_path(path, entry.cFileName, child, sizeof child)) continue;
            DWORD attributes = entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                remove_link(child, attributes);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_directory_tree(child);
            } else {
                DeleteFileA(child);
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path);
}

}  // namespace

void remove_tree(const char* path) {
    if (path == NULL || path[0] == 0) return;
    DWORD attributes = GetFileAttributesA(path);
    // Missing, or a file: nothing of ours to remove.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        remove_link(path, attributes);
        return;
    }
    remove_directory_tree(path);
}
