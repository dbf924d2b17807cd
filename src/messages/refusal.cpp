// The English lines of the refusal box.
#include "refusal.h"

#include "../common/exit_codes.h"
#include "../common/text.h"

const wchar_t kRefusalFallback[] = L"The update stopped before changing anything.";

const wchar_t* refusal_advice(unsigned long code, bool percent_in_folder, bool options_changed) {
    if (code == kExitPatchInvalid) {
        return L"The patch package is damaged or is not the one listed in SHA256SUMS: copy the "
               L"update package again.\n\n";
    }
    if (code == kExitPackageShared || code == kExitPackageLocked) {
        return L"Another program holds the patch package (a copy still being written, an "
               L"antivirus scan): try again later.\n\n";
    }
    if (code == kExitCommandTooLong && options_changed) {
        return L"Your options hold %...% or a line break, which cmd.exe would change before "
               L"msiexec got them: pass them without.\n\n";
    }
    if (code == kExitCommandTooLong && percent_in_folder) {
        return L"The package's folder holds %...%, which cmd.exe would expand: move the package "
               L"to another folder.\n\n";
    }
    return L"";
}

bool folder_advice(unsigned long code, const wchar_t* path, wchar_t* out, size_t cap) {
    bool taken = code == kExitAsideTaken;
    const wchar_t* before = taken ? L"setup.exe did not put " : L"A program holds ";
    const wchar_t* after = taken ? L" there: move it away or delete it, then run the update again."
                                 : L" (the server's services): stop them and run the update again.";
    bool fits = text_copy(out, cap, before) && text_append(out, cap, path) &&
                text_append(out, cap, after) && text_append(out, cap, L" Nothing was changed.\n\n");
    if (!fits && cap > 0) out[0] = 0;
    return fits;
}
