// The Windows Installer's verdict on the patch package, from a System32 msi.dll.
#include <windows.h>
#include <msi.h>

#include "../common/exit_codes.h"
#include "../common/system_dll_win.h"
#include "checks_win.h"

namespace {

typedef UINT(WINAPI* SequenceFn)(LPCWSTR, LPCWSTR, MSIINSTALLCONTEXT, DWORD,
                                 PMSIPATCHSEQUENCEINFOW);

}  // namespace

unsigned long check_package_target(const wchar_t* product_code, const wchar_t* package_path,
                                   ReleaseSource source) {
    SequenceFn sequence = system_function<SequenceFn>(L"msi.dll", "MsiDeterminePatchSequenceW");
    if (sequence == NULL) {
        return source == kByUninstallEntry ? kExitSuccess : check_failure_code(GetLastError());
    }
    MSIPATCHSEQUENCEINFOW patch;
    ZeroMemory(&patch, sizeof patch);
    patch.szPatchData = package_path;
    patch.ePatchDataType = MSIPATCH_DATATYPE_PATCHFILE;
    UINT call = sequence(product_code, NULL, MSIINSTALLCONTEXT_MACHINE, 1, &patch);
    return patch_verdict(source, call, patch.uStatus, patch.dwOrder);
}
