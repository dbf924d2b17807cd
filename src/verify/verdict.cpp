// The Windows Installer's verdict on the patch, as an exit code.
#include "verdict.h"

#include "../common/exit_codes.h"

unsigned long patch_verdict(ReleaseSource source, unsigned long call, unsigned long status,
                            unsigned long order) {
    if (call != kExitSuccess) {
        // A cached package removed from C:\Windows\Installer fails the call
        // (1612), and msiexec would then fail after the trees were moved aside.
        // A release known from its uninstall entry alone goes on, unless the
        // Windows Installer says it knows no such product: the patch could
        // not apply.
        if (source == kByUninstallEntry) {
            return call == kExitUnknownProduct ? kExitUnknownProduct : kExitSuccess;
        }
        return installer_exit_code(status != kExitSuccess ? status : call);
    }
    if (status != kExitSuccess) return installer_exit_code(status);
    // Obsolete or superseded: the call succeeds, with no place in the order.
    if (order == kOrderNotApplicable) return kExitPatchNotApplicable;
    return kExitSuccess;
}
