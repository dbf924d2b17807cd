// Moving the stale trees aside while the installer runs, and settling them
// once it has ended: removed after its success, moved back otherwise. Every
// move is a rename by handle inside the tree's own parent folder, so it
// never goes through a link and never leaves the volume. What moves is
// recorded first, under a key only administrators and SYSTEM may change, so
// that a folder anyone else made at an aside name is never taken for ours.
#include <windows.h>
#include <winternl.h>

#include "../common/exit_codes.h"
#include "../common/registry_win.h"
#include "../common/security_win.h"
#include "../common/text.h"
#include "../record/record.h"
#include "tree_win.h"

namespace {

void record_tree(const char* what, int i) {
    record(what, nullptr, kStaleComponents[i][kStaleDepth - 1]);
}

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
// for a move, which needs DELETE. One that cannot be opened so is held: a
// process holds it without delete sharing (as a running program holds its
// current folder) or with none, or its ACL denies us. It comes back open for
// its attributes alone, which no sharing blocks, where even that is allowed.
Found look_up(HANDLE parent, const wchar_t* name, HANDLE* handle) {
    *handle = NULL;
    size_t length = text_length(name);
    EntryFacts listed;
    if (!listed_facts(parent, name, length, &listed)) return kFoundNothing;
    HANDLE opened_handle =
        open_for_delete(parent, name, length, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    Found found = kFoundFolder;
    if (opened_handle == NULL) {
        opened_handle = open_relative(parent, name, length, 0, FILE_DIRECTORY_FILE);
        found = kFoundHeld;
    }
    if (opened_handle == NULL) return unopened_entry(listed.attributes);
    EntryFacts opened;
    if (!opened_facts(opened_handle, &opened) ||
        classify_entry(listed, opened) != kEntryDirectory) {
        NtClose(opened_handle);
        return kFoundOther;
    }
    *handle = opened_handle;
    return found;
}

bool identity_of(HANDLE handle, TreeIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->file_id = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// The folder open on handle is the one recorded for tree i.
bool is_recorded(HKEY record, int i, HANDLE handle) {
    TreeIdentity recorded;
    TreeIdentity found;
    DWORD size = sizeof recorded;
    DWORD type = 0;
    return record != NULL &&
           RegQueryValueExW(record, kAsideNames[i], NULL, &type, reinterpret_cast<BYTE*>(&recorded),
                            &size) == ERROR_SUCCESS &&
           type == REG_BINARY && size == sizeof recorded && identity_of(handle, &found) &&
           same_tree(found, recorded);
}

HKEY open_record(const wchar_t* record_key, REGSAM access) {
    HKEY key = NULL;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, record_key, 0, access, &key) == ERROR_SUCCESS ? key
                                                                                           : NULL;
}

// 0, or the registry's error.
LSTATUS write_record(const wchar_t* record_key, const wchar_t* name, const void* data, DWORD size) {
    AdminOnlySecurity security;
    if (!admin_only_security(&security, KEY_ALL_ACCESS, CONTAINER_INHERIT_ACE)) {
        return GetLastError();
    }
    HKEY key = NULL;
    // Made with its DACL, so no handle opened in between has more; set again
    // on the key, which a key already there keeps otherwise (and which Wine
    // does with a new one too). Not volatile: a killed run's record must
    // outlive a restart, or its trees are refused as not ours.
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, record_key, 0, NULL, 0,
                                     KEY_SET_VALUE | WRITE_DAC, &security.attributes, &key, NULL);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &security.descriptor);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    }
    RegCloseKey(key);
    return status;
}

void drop_value(const wchar_t* record_key, const wchar_t* name) {
    HKEY key = open_record(record_key, KEY_SET_VALUE);
    if (key == NULL) return;
    RegDeleteValueW(key, name);
    RegCloseKey(key);
}

void drop_record(const wchar_t* record_key, int i) {
    drop_value(record_key, kAsideNames[i]);
}

// The process that runs the installer (cmd.exe, which lives as long as its
// msiexec): its id and its creation time, which tells a reused id apart.
struct InstallerProcess {
    unsigned long long id;
    FILETIME created;
};
const wchar_t kInstallerValue[] = L"msiexec";

bool installer_process(HANDLE process, InstallerProcess* installer) {
    FILETIME ended, kernel, user;
    ZeroMemory(installer, sizeof *installer);
    installer->id = GetProcessId(process);
    return installer->id != 0 &&
           GetProcessTimes(process, &installer->created, &ended, &kernel, &user) != FALSE;
}

// True while parent lists name. A handle of its own: Windows keeps the first
// listing mask of a handle.
bool still_listed(HANDLE parent, const wchar_t* name) {
    HANDLE lookup = open_relative(parent, L"", 0, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    if (lookup == NULL) return true;
    EntryFacts listed;
    bool found = listed_facts(lookup, name, text_length(name), &listed);
    NtClose(lookup);
    return found;
}

// One tree as found before anything moves.
struct Look {
    HANDLE parent;
    HANDLE original;
    HANDLE aside;
    TreeAction action;
    bool ours;  // the aside folder is the recorded one
    Found aside_found;
};

// Each name is looked up through a handle of its own: the second is the
// same folder reopened through the first (an empty name relative to it),
// never a second walk. A link or mount point on the way leaves the tree alone.
void look_at(const wchar_t* install_dir, int i, HKEY record, Look* look) {
    ZeroMemory(look, sizeof *look);
    look->action = kLeaveAlone;
    const wchar_t* const* components = kStaleComponents[i];
    look->parent = open_tree_parent(install_dir, components, kStaleDepth);
    if (look->parent == NULL) {
        record_tree("tree left alone, not reached", i);
        return;
    }
    HANDLE lookup = open_relative(look->parent, L"", 0, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    if (lookup == NULL) return;
    Found aside = look_up(lookup, kAsideNames[i], &look->aside);
    NtClose(lookup);
    Found original = look_up(look->parent, components[kStaleDepth - 1], &look->original);
    look->ours = look->aside != NULL && is_recorded(record, i, look->aside);
    look->aside_found = aside;
    look->action = tree_action(original, aside, look->ours);
    static const char* const kFound[] = {
        nullptr,
        nullptr,
        "tree taken up from an earlier run",
        "tree refused, its aside name taken",
        "tree refused, held",
    };
    const char* found = kFound[look->action];
    if (look->action == kLeaveAlone) {
        found = original == kFoundNothing ? "tree not there" : "tree left alone, not a folder";
    }
    if (found != nullptr) record_tree(found, i);
}

void close_look(Look* look) {
    HANDLE handles[] = {look->original, look->aside, look->parent};
    for (HANDLE handle : handles) {
        if (handle != NULL) NtClose(handle);
    }
    ZeroMemory(look, sizeof *look);
}

// Moves tree i aside, recorded first. 0; or, with no record left, the
// refusal: the tree held, or its record not written.
unsigned long move_recorded(Look* look, int i, const wchar_t* record_key) {
    TreeIdentity identity;
    if (!identity_of(look->original, &identity)) return record_failure_code(GetLastError());
    LSTATUS status = write_record(record_key, kAsideNames[i], &identity, sizeof identity);
    if (status != ERROR_SUCCESS) {
        record_tree("tree refused, its record not written", i);
        return record_failure_code(status);
    }
    if (!rename_in(look->original, look->parent, kAsideNames[i])) {
        drop_record(record_key, i);
        record_tree("tree refused, not moved", i);
        return kExitTreeHeld;
    }
    record_tree("tree moved aside", i);
    look->aside = look->original;
    look->original = NULL;
    return ERROR_SUCCESS;
}

bool read_install_dir(const wchar_t* key_path, const wchar_t* value_name, wchar_t* install_dir,
                      LSTATUS* status) {
    bool read = false;
    // Wide: a folder name outside the ANSI code page is found, and no code
    // page 932 trail byte of 0x5C is taken for a separator. No view flag: a
    // 64-bit process reads the 64-bit view.
    *status = read_registry_text(key_path, value_name, KEY_READ, install_dir, &read);
    read = read && is_absolute_path(install_dir);
    record(read ? "installation folder" : "installation folder unusable", nullptr,
           read ? install_dir : nullptr);
    return read;
}

}  // namespace

long move_stale_aside(const wchar_t* key_path, const wchar_t* value_name, const wchar_t* record_key,
                      StaleTrees* trees) {
    ZeroMemory(trees, sizeof *trees);
    wchar_t install_dir[kRegistryTextChars];
    LSTATUS status;
    if (!read_install_dir(key_path, value_name, install_dir, &status)) return status;
    HKEY record = open_record(record_key, KEY_QUERY_VALUE);
    Look looks[2];
    for (int i = 0; i < 2; ++i) look_at(install_dir, i, record, &looks[i]);
    if (record != NULL) RegCloseKey(record);
    // Every refusal before anything moves; a tree that will not move puts
    // back the one that already did.
    int refused = -1;
    unsigned long code = ERROR_SUCCESS;
    for (int i = 0; i < 2 && refused < 0; ++i) {
        if (looks[i].action == kRefuseTaken || looks[i].action == kRefuseHeld) {
            refused = i;
            code = looks[i].action == kRefuseTaken ? kExitAsideTaken : kExitTreeHeld;
        }
    }
    for (int i = 0; i < 2 && refused < 0; ++i) {
        if (looks[i].action != kMoveAside) continue;
        code = move_recorded(&looks[i], i, record_key);
        if (code == ERROR_SUCCESS) continue;
        refused = i;
        for (int j = 0; j < i; ++j) {
            if (looks[j].action == kMoveAside &&
                rename_in(looks[j].aside, looks[j].parent, kStaleComponents[j][kStaleDepth - 1])) {
                drop_record(record_key, j);
                record_tree("tree moved back", j);
            }
        }
    }
    if (refused >= 0) {
        trees->refusal = code;
        // The refusal names the aside folder when it is that one: not ours,
        // or ours and held.
        const Look& look = looks[refused];
        bool aside = look.action == kRefuseTaken || (look.ours && look.aside_found == kFoundHeld);
        stale_path(install_dir, refused, aside, trees->path, kRefusedPathChars);
        if (code == kExitTreeHeld) record_holders(trees->path);
        for (Look& look : looks) close_look(&look);
        return status;
    }
    for (int i = 0; i < 2; ++i) {
        trees->tree[i].parent = looks[i].parent;
        trees->tree[i].aside = looks[i].aside;
        if (looks[i].original != NULL) NtClose(looks[i].original);
    }
    return status;
}

void settle_stale_trees(StaleTrees* trees, const wchar_t* record_key, bool patched) {
    for (int i = 0; i < 2; ++i) {
        StaleTree* tree = &trees->tree[i];
        if (tree->aside != NULL) {
            // Back only where its own name is free: ReplaceIfExists is false.
            bool moved_back = false;
            if (patched) {
                remove_opened_folder(tree->aside);
            } else {
                moved_back =
                    rename_in(tree->aside, tree->parent, kStaleComponents[i][kStaleDepth - 1]);
            }
            NtClose(tree->aside);
            // Deleted only as its last handle closes. A tree that stays aside
            // keeps its record, for the next run.
            bool settled = patched ? !still_listed(tree->parent, kAsideNames[i]) : moved_back;
            if (settled) drop_record(record_key, i);
            record_tree(settled   ? (patched ? "tree removed" : "tree moved back")
                        : patched ? "tree left aside, files stay"
                                  : "tree left aside, its name taken",
                        i);
        }
        if (tree->parent != NULL) NtClose(tree->parent);
        tree->aside = tree->parent = NULL;
    }
    drop_value(record_key, kInstallerValue);
}

void record_installer(const wchar_t* record_key, void* process) {
    InstallerProcess installer;
    if (installer_process(process, &installer)) {
        write_record(record_key, kInstallerValue, &installer, sizeof installer);
    }
}

bool earlier_installer_runs(const wchar_t* record_key) {
    HKEY record = open_record(record_key, KEY_QUERY_VALUE);
    if (record == NULL) return false;
    InstallerProcess recorded;
    DWORD size = sizeof recorded;
    DWORD type = 0;
    bool read = RegQueryValueExW(record, kInstallerValue, NULL, &type,
                                 reinterpret_cast<BYTE*>(&recorded), &size) == ERROR_SUCCESS &&
                type == REG_BINARY && size == sizeof recorded;
    RegCloseKey(record);
    if (!read) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                 static_cast<DWORD>(recorded.id));
    // Gone, or its id now another process's: the earlier run's msiexec ended.
    InstallerProcess found;
    bool runs = process != NULL && installer_process(process, &found) &&
                CompareFileTime(&found.created, &recorded.created) == 0 &&
                WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (process != NULL) CloseHandle(process);
    return runs;
}

void remove_recorded_trees(const wchar_t* key_path, const wchar_t* value_name,
                           const wchar_t* record_key) {
    wchar_t install_dir[kRegistryTextChars];
    LSTATUS status;
    HKEY record = open_record(record_key, KEY_QUERY_VALUE);
    if (record == NULL) return;
    StaleTrees trees;
    ZeroMemory(&trees, sizeof trees);
    bool read = read_install_dir(key_path, value_name, install_dir, &status);
    for (int i = 0; i < 2 && read; ++i) {
        Look look;
        look_at(install_dir, i, record, &look);
        if (look.ours) {
            trees.tree[i].parent = look.parent;
            trees.tree[i].aside = look.aside;
            look.parent = look.aside = NULL;
        } else if (look.parent != NULL && look.aside_found == kFoundNothing) {
            // Gone from its aside name: a record of nothing, which would
            // send every later run here again.
            drop_record(record_key, i);
            record_tree("tree record dropped, nothing aside", i);
        }
        close_look(&look);
    }
    RegCloseKey(record);
    settle_stale_trees(&trees, record_key, true);
}
