// The English lines of the refusal box.
#include "refusal.h"

#include "../common/exit_codes.h"

const wchar_t kRefusalFallback[] = L"The update stopped before changing anything.";

const char* refusal_advice(unsigned long code, bool percent_in_folder, bool options_changed) {
    if (code == kExitPatchInvalid) {
        return "The patch package is damaged or is not the one listed in SHA256SUMS: copy the "
               "update package again.\n\n";
    }
    if (code == kExitPackageShared || code == kExitPackageLocked) {
        return "Another program holds the patch package (a copy still being written, an "
               "antivirus scan): try again later.\n\n";
    }
    if (code == kExitCommandRefused && options_changed) {
        return "Your options hold %...% or a line break, which cmd.exe would change before "
               "msiexec got them: pass them without.\n\n";
    }
    if (code == kExitCommandRefused && percent_in_folder) {
        return "The package's folder holds %...%, which cmd.exe would expand: move the package "
               "to another folder.\n\n";
    }
    return "";
}

FolderAdvice folder_advice(unsigned long code) {
    if (code == kExitAsideTaken) {
        return {"setup.exe did not put ",
                " there: move it away or delete it, then run the update again. Nothing was "
                "changed.\n\n"};
    }
    if (code == kExitTreeHeld) {
        return {"The server's own programs hold ",
                " (its services, or a program with a file open there): stop them and run the "
                "update again; its record names those Windows can tell. Nothing was "
                "changed.\n\n"};
    }
    return {"setup.exe could not record in the registry that it moves ",
            ", so it moved nothing. Nothing was changed.\n\n"};
}
