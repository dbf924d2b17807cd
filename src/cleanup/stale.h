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

// Where each tree waits while the installer runs: in its own parent folder,
// under a name of the product's own. A run killed meanwhile leaves it there,
// and the next eligible run takes it up as its own.
extern const wchar_t* const kAsideNames[2];

// What a parent folder holds under a name: nothing, a real folder opened for
// a move, or anything else (a file, a link, a mount point, a folder that
// cannot be opened for DELETE because another process holds it).
enum Found { kFoundNothing, kFoundFolder, kFoundOther };

// What is done with a tree's own name before the installer runs.
enum TreeAction { kLeaveAlone, kMoveAside, kRemoveInPlace };

// A real folder moves aside when its aside name is free; one that cannot be
// moved (the name taken, or Windows refusing the rename while a file in it
// is open) is removed in place, as is anything else listed under the name
// (the removal leaves links and files at the tree's own name alone).
TreeAction tree_action(Found original, Found aside, bool rename_refused);

// Windows edges (aside_win.cpp, tree_win.cpp).

// Each tree's parent folder and, when one waits there under its aside name,
// that tree: handles, NULL where there is none.
struct StaleTree {
    void* parent;
    void* aside;
};
struct StaleTrees {
    StaleTree tree[2];
};

// Moves both trees aside (or removes what cannot be moved in place) and
// takes up trees a killed run left aside. Returns the status of the
// registry read; trees is filled whatever it returns.
long move_stale_aside(const wchar_t* key_path, const wchar_t* value_name, StaleTrees* trees);

// Once the installer has ended: after its success the aside trees are
// removed, otherwise each goes back to its own name where that is free.
// Closes every handle of trees.
void settle_stale_trees(StaleTrees* trees, bool patched);

// Removes the tree named by the last of count components below root, a
// folder path opened as it is (it may be a mount point). Every component is
// opened relative to the one before it; when any of them is a link or mount
// point the tree is left alone. Best effort and silent. setup.exe itself
// removes in place through move_stale_aside; the removal's tests and bench
// come in here.
void remove_tree_below(const wchar_t* root, const wchar_t* const* components, int count);

// Removes the folder open on handle, a real folder, with all it holds.
void remove_opened_folder(void* handle);
