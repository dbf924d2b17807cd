// The Windows Installer's verdict on the patch package, from a System32 msi.dll.
#include <windows.h>
#include <msi.h>

#include "../common/exit_codes.h"
#include "../common/system_dll_win.h"
#include "checks_win.h"

namespace {

typedef UINT(WINAPI* SequenceFn)(LPCWSTR, LPCWSTR, MSIINSTALLCONTEXT, DWORD,
                                 PMSIPATCHSEQUENCEINFOW);
typedef UINT(WINAPI* SummaryFn)(MSIHANDLE, LPCWSTR, UINT, MSIHANDLE*);
typedef UINT(WINAPI* SummaryPropertyFn)(MSIHANDLE, UINT, UINT*, INT*, FILETIME*, LPWSTR, DWORD*);
typedef UINT(WINAPI* CloseFn)(MSIHANDLE);
typedef UINT(WINAPI* PatchInfoFn)(LPCWSTR, LPCWSTR, LPCWSTR, MSIINSTALLCONTEXT, LPCWSTR, LPWSTR,
                                  DWORD*);

const UINT kRevisionNumber = 9;  // PID_REVNUMBER
// Room for the patch code and a few it replaces; a longer list does not fit
// and gives no code.
const DWORD kRevisionChars = 400;

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

void read_patch_code(const wchar_t* package_path, wchar_t* code) {
    code[0] = 0;
    SummaryFn summary = system_function<SummaryFn>(L"msi.dll", "MsiGetSummaryInformationW");
    SummaryPropertyFn property =
        system_function<SummaryPropertyFn>(L"msi.dll", "MsiSummaryInfoGetPropertyW");
    CloseFn close = system_function<CloseFn>(L"msi.dll", "MsiCloseHandle");
    MSIHANDLE handle = 0;
    if (summary == NULL || property == NULL || close == NULL ||
        summary(0, package_path, 0, &handle) != ERROR_SUCCESS) {
        return;
    }
    wchar_t revision[kRevisionChars] = {};
    DWORD length = kRevisionChars;
    UINT type = 0;
    if (property(handle, kRevisionNumber, &type, NULL, NULL, revision, &length) == ERROR_SUCCESS) {
        revision[kRevisionChars - 1] = 0;
        patch_code_of(revision, code);
    }
    close(handle);
}

bool patch_applied(const wchar_t* product_code, const wchar_t* patch_code) {
    PatchInfoFn info = system_function<PatchInfoFn>(L"msi.dll", "MsiGetPatchInfoExW");
    wchar_t state[8] = {};
    DWORD length = 8;
    return patch_code[0] != 0 && info != NULL &&
           info(patch_code, product_code, NULL, MSIINSTALLCONTEXT_MACHINE, L"State", state,
                &length) == ERROR_SUCCESS &&
           state[0] == L'1' && state[1] == 0;
}
