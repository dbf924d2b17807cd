// Moving the stale trees aside while the installer runs, and settling them
// once it has ended: removed after its success, moved back otherwise. Every
// move is a rename by handle inside the tree's own parent folder, so it
// never goes through a link and never leaves the volume.
#include <windows.h>
#include <winternl.h>

#include "../common/registry_win.h"
#include "../common/text.h"
#include "tree_win.h"

namespace {

// Room for the longest name this file renames to, without the heap.
struct RenameBuffer {
    FILE_RENAME_INFORMATION info;
    wchar_t room[64];
};

// Renames the entry open on handle to name inside parent; false when Windows
// refuses (the name taken, or a file in the folder open on Windows).
// SetFileInformationByHandle rejects a root directory under Wine (87), so
// the native call.
bool rename_in(HANDLE handle, HANDLE parent, const wchar_t* name) {
    RenameBuffer buffer;
    ZeroMemory(&buffer, sizeof buffer);
    size_t length = text_length(name);
    buffer.info.ReplaceIfExists = FALSE;
    buffer.info.RootDirectory = parent;
    buffer.info.FileNameLength = static_cast<ULONG>(length * sizeof(wchar_t));
    CopyMemory(buffer.info.FileName, name, length * sizeof(wchar_t));
    IO_STATUS_BLOCK io;
    return NT_SUCCESS(
        NtSetInformationFile(handle, &io, &buffer, sizeof buffer, FileRenameInformation));
}

// What parent holds under name. A real folder comes back open in *handle,
// for a move, which needs DELETE.
Found look_up(HANDLE parent, const wchar_t* name, EntryFacts* listed, HANDLE* handle) {
    *handle = NULL;
    size_t length = text_length(name);
    if (!listed_facts(parent, name, length, listed)) return kFoundNothing;
    HANDLE opened_handle =
        open_for_delete(parent, name, length, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    EntryFacts opened;
    if (opened_handle == NULL) return kFoundOther;
    if (!opened_facts(opened_handle, &opened) ||
        classify_entry(*listed, opened) != kEntryDirectory) {
        NtClose(opened_handle);
        return kFoundOther;
    }
    *handle = opened_handle;
    return kFoundFolder;
}

// Each name is looked up through a handle of its own: Windows keeps the
// first listing mask of a handle. The second is the same folder reopened
// through the first (an empty name relative to it), never a second walk.
void move_aside(const wchar_t* install_dir, int i, StaleTree* tree) {
    const wchar_t* const* components = kStaleComponents[i];
    HANDLE parent = open_tree_parent(install_dir, components, kStaleDepth);
    if (parent == NULL) return;
    HANDLE lookup = open_relative(parent, L"", 0, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    if (lookup == NULL) {
        NtClose(parent);
        return;
    }
    EntryFacts listed;
    HANDLE aside = NULL;
    Found aside_found = look_up(lookup, kAsideNames[i], &listed, &aside);
    NtClose(lookup);
    const wchar_t* name = components[kStaleDepth - 1];
    HANDLE original = NULL;
    Found original_found = look_up(parent, name, &listed, &original);
    TreeAction action = tree_action(original_found, aside_found, false);
    if (action == kMoveAside && !rename_in(original, parent, kAsideNames[i])) {
        action = tree_action(original_found, aside_found, true);
    }
    if (action == kMoveAside) {
        aside = original;
    } else if (original != NULL) {
        NtClose(original);
    }
    if (action == kRemoveInPlace) remove_entry(parent, name, text_length(name), listed, 0);
    tree->parent = parent;
    tree->aside = aside;
}

}  // namespace

long move_stale_aside(const wchar_t* key_path, const wchar_t* value_name, StaleTrees* trees) {
    ZeroMemory(trees, sizeof *trees);
    // Wide: a folder name outside the ANSI code page is found, and no code
    // page 932 trail byte of 0x5C is taken for a separator.
    wchar_t install_dir[kRegistryTextChars];
    bool read = false;
    // No view flag: a 64-bit process reads the 64-bit view.
    LSTATUS status = read_registry_text(key_path, value_name, KEY_READ, install_dir, &read);
    if (!read || !is_absolute_path(install_dir)) return status;
    for (int i = 0; i < 2; ++i) move_aside(install_dir, i, &trees->tree[i]);
    return status;
}

void settle_stale_trees(StaleTrees* trees, bool patched) {
    for (int i = 0; i < 2; ++i) {
        StaleTree* tree = &trees->tree[i];
        if (tree->aside != NULL) {
            // Back only where its own name is free: ReplaceIfExists is false.
            if (patched) {
                remove_opened_folder(tree->aside);
            } else {
                rename_in(tree->aside, tree->parent, kStaleComponents[i][kStaleDepth - 1]);
            }
            NtClose(tree->aside);
        }
        if (tree->parent != NULL) NtClose(tree->parent);
        tree->aside = tree->parent = NULL;
    }
}
