// The stale component folders and the decisions of their removal.
#include "stale.h"

#include "../common/text.h"

const wchar_t* const kStaleComponents[2][kStaleDepth] = {
    {L"Web Publishing", L"publishing-engine", L"jwpc-tomcat", L"twk"},
    {L"Admin", L"admin-master-tomcat", L"bin", L"admin-console"},
};

const wchar_t* const kAsideNames[2] = {L"twk.v3update-aside", L"admin-console.v3update-aside"};

namespace {

// The Windows attribute bits, without the Windows headers.
const unsigned long kDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
const unsigned long kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

}  // namespace

bool is_absolute_path(const wchar_t* path) {
    wchar_t c = path[0];
    bool drive = ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z')) && path[1] == L':' &&
                 path[2] == L'\\';
    bool unc = path[0] == L'\\' && path[1] == L'\\' && path[2] != 0 && path[2] != L'\\';
    return drive || unc;
}

bool is_self_or_parent(const wchar_t* name, size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

EntryKind classify_entry(const EntryFacts& listed, const EntryFacts& opened) {
    const unsigned long kKind = kDirectory | kReparsePoint;
    if (listed.file_id != opened.file_id) return kEntrySwapped;
    if ((listed.attributes & kKind) != (opened.attributes & kKind)) return kEntrySwapped;
    if (opened.attributes & kReparsePoint) return kEntryLink;
    return (opened.attributes & kDirectory) ? kEntryDirectory : kEntryFile;
}

Found unopened_entry(unsigned long listed_attributes) {
    return (listed_attributes & (kDirectory | kReparsePoint)) == kDirectory ? kFoundHeld
                                                                            : kFoundOther;
}

bool same_tree(const TreeIdentity& found, const TreeIdentity& recorded) {
    return found.volume == recorded.volume && found.file_id == recorded.file_id;
}

TreeAction tree_action(Found original, Found aside, bool aside_recorded) {
    if (aside != kFoundNothing) {
        bool ours = (aside == kFoundFolder || aside == kFoundHeld) && aside_recorded;
        // It holds the unpatched server's own component: never "delete it".
        if (ours && aside == kFoundHeld) return kRefuseHeld;
        // Our own aside tree and a new folder at its name: neither can move.
        return ours && (original == kFoundNothing || original == kFoundOther) ? kTakeUp
                                                                              : kRefuseTaken;
    }
    if (original == kFoundFolder) return kMoveAside;
    return original == kFoundHeld ? kRefuseHeld : kLeaveAlone;
}

bool stale_path(const wchar_t* install_dir, int i, bool aside, wchar_t* out, size_t cap) {
    bool fits = text_copy(out, cap, install_dir);
    if (fits && !text_ends_with(out, L'\\')) fits = text_append(out, cap, L"\\");
    for (int c = 0; fits && c + 1 < kStaleDepth; ++c) {
        fits = text_append(out, cap, kStaleComponents[i][c]) && text_append(out, cap, L"\\");
    }
    if (fits)
        fits = text_append(out, cap, aside ? kAsideNames[i] : kStaleComponents[i][kStaleDepth - 1]);
    if (!fits && cap > 0) out[0] = 0;
    return fits;
}

const wchar_t* holder_name(const wchar_t* service, const wchar_t* application) {
    if (service[0] != 0) return service;
    return application[0] != 0 ? application : L"a program Windows does not name";
}
