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
// recorded, and the next run takes it up or, on a patched server, removes it.
extern const wchar_t* const kAsideNames[2];

// What a parent folder holds under a name: nothing, a real folder opened for
// a move, a real folder that cannot be opened for one (another process holds
// it, or its ACL denies us), or anything else (a file, a link, a mount point).
enum Found { kFoundNothing, kFoundFolder, kFoundHeld, kFoundOther };

// An entry its parent lists but that cannot be opened at all (held with no
// sharing, or an ACL that denies us), judged by its listing: a plain folder
// is held; a file, a link or a mount point is not ours to judge.
Found unopened_entry(unsigned long listed_attributes);

// What is done with a tree's own name before the installer runs. A refusal
// changes nothing: the run stops before msiexec.
enum TreeAction {
    kLeaveAlone,
    kMoveAside,
    kTakeUp,       // the aside folder is the one a killed run recorded
    kRefuseTaken,  // something not ours at the aside name (183)
    kRefuseHeld,   // a tree a running program holds, at its name or, ours, aside (170)
};

// A folder at the aside name is ours only when it is the recorded one; a
// real folder at the tree's name moves aside, a held one is never emptied
// under its program, nor is our own aside tree while a program holds it. A
// file or link at the tree's name is left alone.
TreeAction tree_action(Found original, Found aside, bool aside_recorded);

// The path of tree i under install_dir, or of its aside name, for a person
// to read; false, and out empty, when it does not fit cap.
bool stale_path(const wchar_t* install_dir, int i, bool aside, wchar_t* out, size_t cap);

// What a tree is, recorded before it moves: its volume's serial number and
// its file id, both unchanged by a rename on that volume.
struct TreeIdentity {
    unsigned long long volume;
    unsigned long long file_id;
};

// Both the volume and the file id: another folder put at a recorded name on
// the same volume is not the recorded tree.
bool same_tree(const TreeIdentity& found, const TreeIdentity& recorded);

// Windows edges (aside_win.cpp, tree_win.cpp).

// Each tree's parent folder and, when one waits there under its aside name,
// that tree: handles, NULL where there is none.
struct StaleTree {
    void* parent;
    void* aside;
};
const int kRefusedPathChars = 520;
struct StaleTrees {
    StaleTree tree[2];
    unsigned long refusal;            // 0, or 183, 170 or the record's error, nothing changed
    wchar_t path[kRefusedPathChars];  // the folder the refusal names
};

// Moves both trees aside, recorded under record_key first, and takes up the
// recorded trees a killed run left aside; or refuses (trees->refusal) with
// nothing changed and every handle closed. Returns the status of the registry
// read of the installation directory.
long move_stale_aside(const wchar_t* key_path, const wchar_t* value_name, const wchar_t* record_key,
                      StaleTrees* trees);

// Once the installer has ended: after its confirmed success the aside trees
// are removed, otherwise each goes back to its own name where that is free.
// The record goes with each tree that is settled. Closes every handle of trees.
void settle_stale_trees(StaleTrees* trees, const wchar_t* record_key, bool patched);

// Records, beside the trees, the process that runs the installer (its id
// and creation time), before it is let run.
void record_installer(const wchar_t* record_key, void* process);

// True while the installer process an earlier run recorded still runs: a
// killed setup.exe's msiexec goes on, and its trees are not ours to take up.
bool earlier_installer_runs(const wchar_t* record_key);

// What the record calls one process that holds a tree, from what the
// Restart Manager tells of it: a service by its short name, else the
// program's name; never empty.
const wchar_t* holder_name(const wchar_t* service, const wchar_t* application);

// Records each program or service that Windows' Restart Manager says holds
// the folder at path (holders_win.cpp). Where it names none (Windows before
// Vista, a file open deeper in the folder), nothing.
void record_holders(const wchar_t* path);

// On a server the patch has reached: removes the recorded trees a killed run
// left aside.
void remove_recorded_trees(const wchar_t* key_path, const wchar_t* value_name,
                           const wchar_t* record_key);

// Removes the tree named by the last of count components below root, a
// folder path opened as it is (it may be a mount point). Every component is
// opened relative to the one before it; when any of them is a link or mount
// point the tree is left alone. Best effort and silent. setup.exe itself
// removes in place through move_stale_aside; the removal's tests and bench
// come in here.
void remove_tree_below(const wchar_t* root, const wchar_t* const* components, int count);

// Removes the folder open on handle, a real folder, with all it holds.
void remove_opened_folder(void* handle);
