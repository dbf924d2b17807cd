// The by-handle steps of the tree removal that moving a tree aside shares.
#pragma once

#include <windows.h>

#include "stale.h"

// Opens the folder that holds the last of count components below root,
// each folder on the way checked against its parent's listing; NULL when
// one is missing, a link, a mount point or a file.
HANDLE open_tree_parent(const wchar_t* root, const wchar_t* const* components, int count);

// What the listing of dir says about the entry called name. Windows keeps
// the first mask of a handle, so each handle is asked once.
bool listed_facts(HANDLE dir, const wchar_t* name, size_t length, EntryFacts* facts);

// Opens name inside parent as itself, never through a link; NULL on failure.
HANDLE open_relative(HANDLE parent, const wchar_t* name, size_t length, ACCESS_MASK access,
                     ULONG options);

// open_relative for DELETE and access, with FILE_WRITE_ATTRIBUTES where the
// entry grants it.
HANDLE open_for_delete(HANDLE parent, const wchar_t* name, size_t length, ACCESS_MASK access,
                       ULONG options);

bool opened_facts(HANDLE handle, EntryFacts* facts);

// Today's removal of the entry name in parent, listed as listed; at depth 0
// only a real folder goes (a file or a link of that name stays).
void remove_entry(HANDLE parent, const wchar_t* name, size_t length, const EntryFacts& listed,
                  int depth);
