// Who holds a stale tree, as Windows' Restart Manager tells it: read only,
// nothing is stopped or restarted. The record names each program or service.
#include <windows.h>
#include <restartmanager.h>

#include "../common/system_dll_win.h"
#include "../record/record.h"
#include "stale.h"

namespace {

typedef DWORD(WINAPI* RmStartSessionFn)(DWORD*, DWORD, WCHAR*);
typedef DWORD(WINAPI* RmRegisterResourcesFn)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                             LPCWSTR*);
typedef DWORD(WINAPI* RmGetListFn)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
typedef DWORD(WINAPI* RmEndSessionFn)(DWORD);

const UINT kHolders = 8;

}  // namespace

void record_holders(const wchar_t* path) {
    // rstrtmgr.dll from System32, loaded only when a tree is held.
    const wchar_t kDll[] = L"rstrtmgr.dll";
    RmStartSessionFn start = system_function<RmStartSessionFn>(kDll, "RmStartSession");
    RmRegisterResourcesFn add = system_function<RmRegisterResourcesFn>(kDll, "RmRegisterResources");
    RmGetListFn list = system_function<RmGetListFn>(kDll, "RmGetList");
    RmEndSessionFn end = system_function<RmEndSessionFn>(kDll, "RmEndSession");
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (start == NULL || add == NULL || list == NULL || end == NULL ||
        start(&session, 0, key) != ERROR_SUCCESS) {
        return;
    }
    RM_PROCESS_INFO holders[kHolders];
    ZeroMemory(holders, sizeof holders);
    UINT needed = 0;
    UINT count = kHolders;
    DWORD reasons = 0;
    LPCWSTR files[] = {path};
    // The folder itself: Windows names who holds it open (a current folder).
    if (add(session, 1, files, 0, NULL, 0, NULL) == ERROR_SUCCESS &&
        list(session, &needed, &count, holders, &reasons) == ERROR_SUCCESS) {
        // Only what Windows says it filled: a call that returns success and
        // sets neither count must name nobody.
        for (UINT i = 0; i < needed && i < count && i < kHolders; ++i) {
            record("tree held by", nullptr,
                   holder_name(holders[i].strServiceShortName, holders[i].strAppName));
        }
    }
    end(session);
}
