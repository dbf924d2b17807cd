// The tree removal by handle. Every entry is opened relative to its parent's
// open handle, never through a reparse point, judged from that handle and
// deleted through it (a disposition), so that nothing swapped in between a
// listing and an open can steer the removal outside the tree.
#include <windows.h>
#include <winternl.h>

#include "../common/text.h"
#include "tree_win.h"

// In ntdll, but declared only in the driver kit's headers.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine,
                                               PVOID apc_context, PIO_STATUS_BLOCK io, PVOID buffer,
                                               ULONG length,
                                               FILE_INFORMATION_CLASS information_class,
                                               BOOLEAN single_entry, PUNICODE_STRING mask,
                                               BOOLEAN restart_scan);

namespace {

const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One listing buffer per level of recursion, on the stack: room for three
// entries of the longest name (255 characters).
const ULONG kListingBytes = 2048;

}  // namespace

HANDLE open_relative(HANDLE parent, const wchar_t* name, size_t length, ACCESS_MASK access,
                     ULONG options) {
    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name);
    text.Length = text.MaximumLength = static_cast<USHORT>(length * sizeof(wchar_t));
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, parent, NULL);
    IO_STATUS_BLOCK io;
    HANDLE handle = NULL;
    // FILE_OPEN_REPARSE_POINT: a link is opened as itself, never followed.
    NTSTATUS status = NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &object,
                                   &io, NULL, 0, kShareAll, FILE_OPEN,
                                   options | FILE_OPEN_REPARSE_POINT |
                                       FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT,
                                   NULL, 0);
    return NT_SUCCESS(status) ? handle : NULL;
}

HANDLE open_for_delete(HANDLE parent, const wchar_t* name, size_t length, ACCESS_MASK access,
                       ULONG options) {
    // FILE_WRITE_ATTRIBUTES, to clear a read-only attribute where Windows has
    // no disposition that ignores it; an entry that grants DELETE alone still goes.
    HANDLE handle =
        open_relative(parent, name, length, DELETE | FILE_WRITE_ATTRIBUTES | access, options);
    return handle != NULL ? handle : open_relative(parent, name, length, DELETE | access, options);
}

bool opened_facts(HANDLE handle, EntryFacts* facts) {
    IO_STATUS_BLOCK io;
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    FILE_INTERNAL_INFORMATION internal;
    if (!NT_SUCCESS(
            NtQueryInformationFile(handle, &io, &tag, sizeof tag, FileAttributeTagInformation)) ||
        !NT_SUCCESS(NtQueryInformationFile(handle, &io, &internal, sizeof internal,
                                           FileInternalInformation))) {
        return false;
    }
    facts->attributes = tag.FileAttributes;
    facts->file_id = internal.IndexNumber.QuadPart;
    return true;
}

namespace {

// FileDispositionInformationEx and its flags (Windows 10 1809 and later),
// which the MinGW headers lack.
const FILE_INFORMATION_CLASS kDispositionEx = static_cast<FILE_INFORMATION_CLASS>(64);
const ULONG kDeleteIgnoringReadOnly = 0x1 | 0x10;  // DELETE | IGNORE_READONLY_ATTRIBUTE

NTSTATUS set_disposition(HANDLE handle) {
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(handle, &io, &disposition, sizeof disposition,
                                FileDispositionInformation);
}

bool set_attributes(HANDLE handle, ULONG attributes) {
    FILE_BASIC_INFORMATION basic;
    ZeroMemory(&basic, sizeof basic);  // zero times: left as they are
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    IO_STATUS_BLOCK io;
    return NT_SUCCESS(
        NtSetInformationFile(handle, &io, &basic, sizeof basic, FileBasicInformation));
}

// A read-only entry goes too, or its tree would stay half-removed. A folder
// that is not empty, or a file another process holds, stays.
void mark_deleted(HANDLE handle, ULONG attributes) {
    ULONG flags = kDeleteIgnoringReadOnly;
    IO_STATUS_BLOCK io;
    if (NT_SUCCESS(NtSetInformationFile(handle, &io, &flags, sizeof flags, kDispositionEx))) return;
    if (NT_SUCCESS(set_disposition(handle)) || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
    // Older Windows: the attribute cleared on this handle, put back if the
    // entry still cannot go. The attribute belongs to the file, not the
    // name: one with a hard link outside the tree keeps it, and stays.
    FILE_STANDARD_INFORMATION standard;
    if (!NT_SUCCESS(NtQueryInformationFile(handle, &io, &standard, sizeof standard,
                                           FileStandardInformation)) ||
        standard.NumberOfLinks > 1) {
        return;
    }
    if (set_attributes(handle, attributes & ~FILE_ATTRIBUTE_READONLY) &&
        !NT_SUCCESS(set_disposition(handle))) {
        set_attributes(handle, attributes);
    }
}

// What a listing says about one of its entries.
EntryFacts listed_entry(const FILE_ID_BOTH_DIR_INFORMATION& entry) {
    return EntryFacts{entry.FileAttributes, entry.FileId.QuadPart};
}

// Removes what dir, a real folder at the given depth, holds.
void remove_contents(HANDLE dir, int depth) {
    alignas(8) unsigned char buffer[kListingBytes];
    IO_STATUS_BLOCK io;
    BOOLEAN restart = TRUE;
    while (NT_SUCCESS(NtQueryDirectoryFile(dir, NULL, NULL, NULL, &io, buffer, sizeof buffer,
                                           FileIdBothDirectoryInformation, FALSE, NULL, restart))) {
        restart = FALSE;
        for (ULONG offset = 0;;) {
            const FILE_ID_BOTH_DIR_INFORMATION* entry =
                reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(buffer + offset);
            size_t length = entry->FileNameLength / sizeof(wchar_t);
            if (!is_self_or_parent(entry->FileName, length)) {
                remove_entry(dir, entry->FileName, length, listed_entry(*entry), depth + 1);
            }
            if (entry->NextEntryOffset == 0) break;
            offset += entry->NextEntryOffset;
        }
    }
}

}  // namespace

// depth 0 is the stale folder itself, which is removed only when it is a
// real folder (a file or a link of that name stays); below it a link goes as
// a link.
void remove_entry(HANDLE parent, const wchar_t* name, size_t length, const EntryFacts& listed,
                  int depth) {
    bool folder = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    ACCESS_MASK list = folder ? FILE_LIST_DIRECTORY : 0;
    HANDLE handle = open_for_delete(parent, name, length, list, 0);
    bool deletable = handle != NULL;
    // A folder held open without FILE_SHARE_DELETE cannot be opened for
    // DELETE, but its contents can still go.
    if (handle == NULL && folder) handle = open_relative(parent, name, length, list, 0);
    if (handle == NULL) return;
    EntryFacts opened;
    if (opened_facts(handle, &opened)) {
        switch (classify_entry(listed, opened)) {
            case kEntryDirectory:
                if (depth >= kMaxTreeDepth) break;
                remove_contents(handle, depth);
                if (deletable) mark_deleted(handle, opened.attributes);
                break;
            case kEntryFile:
            case kEntryLink:
                if (deletable && depth > 0) mark_deleted(handle, opened.attributes);
                break;
            case kEntrySwapped:
                break;
        }
    }
    NtClose(handle);
}

bool listed_facts(HANDLE dir, const wchar_t* name, size_t length, EntryFacts* facts) {
    alignas(8) unsigned char buffer[kListingBytes];
    UNICODE_STRING mask;
    mask.Buffer = const_cast<PWSTR>(name);
    mask.Length = mask.MaximumLength = static_cast<USHORT>(length * sizeof(wchar_t));
    IO_STATUS_BLOCK io;
    // Each folder on the way is listed once: Windows keeps the first mask of a handle.
    if (!NT_SUCCESS(NtQueryDirectoryFile(dir, NULL, NULL, NULL, &io, buffer, sizeof buffer,
                                         FileIdBothDirectoryInformation, TRUE, &mask, TRUE))) {
        return false;
    }
    *facts = listed_entry(*reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(buffer));
    return true;
}

namespace {

// Opens the folder name inside dir on the way down; NULL when it is missing,
// a link, a mount point or a file.
HANDLE open_folder_on_the_way(HANDLE dir, const wchar_t* name) {
    size_t length = text_length(name);
    EntryFacts listed;
    if (!listed_facts(dir, name, length, &listed)) return NULL;
    HANDLE handle =
        open_relative(dir, name, length, FILE_LIST_DIRECTORY | FILE_TRAVERSE, FILE_DIRECTORY_FILE);
    if (handle == NULL) return NULL;
    EntryFacts opened;
    if (!opened_facts(handle, &opened) || classify_entry(listed, opened) != kEntryDirectory) {
        NtClose(handle);
        return NULL;
    }
    return handle;
}

}  // namespace

HANDLE open_tree_parent(const wchar_t* root, const wchar_t* const* components, int count) {
    if (root == NULL || root[0] == 0 || count < 1) return NULL;
    // The root as it is: the administrator chose it, and it may be a mount point.
    HANDLE dir = CreateFileW(root, FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE, kShareAll,
                             NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (dir == INVALID_HANDLE_VALUE) return NULL;
    for (int i = 0; i + 1 < count && dir != NULL; ++i) {
        HANDLE next = open_folder_on_the_way(dir, components[i]);
        CloseHandle(dir);
        dir = next;
    }
    return dir;
}

void remove_opened_folder(void* handle) {
    EntryFacts opened;
    if (!opened_facts(handle, &opened)) return;
    remove_contents(handle, 0);
    mark_deleted(handle, opened.attributes);
}

void remove_tree_below(const wchar_t* root, const wchar_t* const* components, int count) {
    HANDLE dir = open_tree_parent(root, components, count);
    if (dir == NULL) return;
    const wchar_t* name = components[count - 1];
    size_t length = text_length(name);
    EntryFacts listed;
    if (listed_facts(dir, name, length, &listed)) remove_entry(dir, name, length, listed, 0);
    CloseHandle(dir);
}
