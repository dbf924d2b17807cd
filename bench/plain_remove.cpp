// Baseline for the tree removal benchmark: the plain depth-first
// FindFirstFileA/DeleteFileA/RemoveDirectoryA recursion, without the link
// and length checks of the updater's removal.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static void remove_plain(const char* path) {
    char pattern[MAX_PATH * 2];
    snprintf(pattern, sizeof pattern, "%s\\*.*", path);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
            char child[MAX_PATH * 2];
            snprintf(child, sizeof child, "%s\\%s", path, entry.cFileName);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_plain(child);
            } else {
                DeleteFileA(child);
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path);
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    remove_plain(argv[1]);
    return 0;
}
