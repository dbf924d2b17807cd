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

bool patch_code_of(const wchar_t* revision, wchar_t* code) {
    code[0] = 0;
    for (unsigned long i = 0; i + 1 < kGuidChars; ++i) {
        wchar_t c = revision[i];
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        bool hex = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
        bool fits = i == 0 ? c == L'{' : i == kGuidChars - 2 ? c == L'}' : dash ? c == L'-' : hex;
        if (!fits) return false;
    }
    for (unsigned long i = 0; i + 1 < kGuidChars; ++i) code[i] = revision[i];
    code[kGuidChars - 1] = 0;
    return true;
}
