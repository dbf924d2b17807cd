// A hostile msi.dll for the DLL-planting test: if the updater ever loads it,
// it leaves a mark and claims that the eligible release is installed.
#include "support.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) write_file(L"C:\\planted-msi-loaded.txt", "");
    return TRUE;
}

extern "C" __declspec(dllexport) UINT WINAPI
    MsiGetProductInfoA(LPCSTR, LPCSTR, LPSTR value, LPDWORD length) {
    const char version[] = "14.0.2.226";
    if (value == NULL || length == NULL || *length < sizeof version) return ERROR_MORE_DATA;
    memcpy(value, version, sizeof version);
    *length = sizeof version - 1;
    return ERROR_SUCCESS;
}
