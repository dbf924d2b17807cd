// The stale component directories under the server's installation directory,
// and the decisions of their removal.
#pragma once

#include <stddef.h>

// The folders from the installation directory down to each stale tree; the
// last one is the tree itself.
const int kStaleDepth = 4;
extern const wchar_t* const kStaleComponents[2][kStaleDepth];

// Folders nested deeper than this inside a tree are left alone: the removal
// recurses once per level, and relative opens set no path limit of their own.
const int kMaxTreeDepth = 1000;

// True for a path that does not depend on the current drive or directory:
// "X:\..." or a UNC path "\\server\share...".
bool is_absolute_path(const wchar_t* path);

// "." and ".." are the listing's own entries; every other name is real.
// Listed names are counted, not terminated.
bool is_self_or_parent(const wchar_t* name, size_t length);

// What an entry is, decided from both what its parent's listing said and
// what the handle opened on it says. They must describe the same object: a
// different file id, or a link in one and not in the other, means the entry
// was swapped between the listing and the open, or is a link that the open
// followed (Wine ignores FILE_OPEN_REPARSE_POINT). Such an entry is left alone.
enum EntryKind {
    kEntrySwapped,
    kEntryLink,  // a reparse point, opened as itself: removed as a link
    kEntryDirectory,
    kEntryFile,
};

struct EntryFacts {
    unsigned long attributes;
    long long file_id;
};

EntryKind classify_entry(const EntryFacts& listed, const EntryFacts& opened);

// Windows edges (stale_win.cpp, tree_win.cpp).
long remove_stale_components(const wchar_t* key_path, const wchar_t* value_name);

// Removes the tree named by the last of count components below root, a
// folder path opened as it is (it may be a mount point). Every component is
// opened relative to the one before it; when any of them is a link or mount
// point the tree is left alone. Best effort and silent.
void remove_tree_below(const wchar_t* root, const wchar_t* const* components, int count);
