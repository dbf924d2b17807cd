// The patch package checks: its SHA-256 through CNG, its target through the
// Windows Installer. Both DLLs come from System32.
#include <windows.h>
#include <bcrypt.h>
#include <msi.h>

#include "../common/exit_codes.h"
#include "../common/system_dll_win.h"
#include "package_check.h"
#include "package_check_win.h"

namespace {

typedef NTSTATUS(WINAPI* OpenFn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* CreateFn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR,
                                   ULONG, ULONG);
typedef NTSTATUS(WINAPI* DataFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* DestroyFn)(BCRYPT_HASH_HANDLE);
typedef NTSTATUS(WINAPI* CloseFn)(BCRYPT_ALG_HANDLE, ULONG);
typedef UINT(WINAPI* SequenceFn)(LPCWSTR, LPCWSTR, MSIINSTALLCONTEXT, DWORD,
                                 PMSIPATCHSEQUENCEINFOW);

// One buffer, on the stack, for the list and then for the package's blocks;
// large blocks keep the reads few on a package of hundreds of megabytes.
const DWORD kBlockBytes = 256 * 1024;

// Reads the whole file into block; false when a read fails or it fills the
// buffer (no list of two lines comes near that).
bool read_whole(HANDLE file, unsigned char* block, DWORD* size) {
    *size = 0;
    for (;;) {
        DWORD n = 0;
        if (*size == kBlockBytes || !ReadFile(file, block + *size, kBlockBytes - *size, &n, NULL)) {
            return false;
        }
        if (n == 0) return true;
        *size += n;
    }
}

bool file_digest(const wchar_t* path, unsigned char* block, unsigned char* digest) {
    OpenFn open = system_function<OpenFn>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
    CreateFn create = system_function<CreateFn>(L"bcrypt.dll", "BCryptCreateHash");
    DataFn data = system_function<DataFn>(L"bcrypt.dll", "BCryptHashData");
    DataFn finish = system_function<DataFn>(L"bcrypt.dll", "BCryptFinishHash");
    DestroyFn destroy = system_function<DestroyFn>(L"bcrypt.dll", "BCryptDestroyHash");
    CloseFn close = system_function<CloseFn>(L"bcrypt.dll", "BCryptCloseAlgorithmProvider");
    if (!open || !create || !data || !finish || !destroy || !close) return false;

    // No FILE_SHARE_WRITE: a copy still being written cannot be opened.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool done = false;
    BCRYPT_ALG_HANDLE algorithm = NULL;
    if (BCRYPT_SUCCESS(open(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0))) {
        BCRYPT_HASH_HANDLE hash = NULL;
        // No hash object buffer: CNG keeps its own (Windows 7 and later).
        if (BCRYPT_SUCCESS(create(algorithm, &hash, NULL, 0, NULL, 0, 0))) {
            for (;;) {
                DWORD n = 0;
                if (!ReadFile(file, block, kBlockBytes, &n, NULL)) break;
                if (n == 0) {
                    done = BCRYPT_SUCCESS(finish(hash, digest, kDigestBytes, 0));
                    break;
                }
                if (!BCRYPT_SUCCESS(data(hash, block, n, 0))) break;
            }
            destroy(hash);
        }
        close(algorithm, 0);
    }
    CloseHandle(file);
    return done;
}

}  // namespace

unsigned long check_package_whole(const wchar_t* sums_path, const wchar_t* package_path,
                                  const char* listed_name) {
    HANDLE sums = CreateFileW(sums_path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (sums == INVALID_HANDLE_VALUE) {
        // A package built by hand has no list; one that cannot be read is not whole.
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : kExitPatchInvalid;
    }
    unsigned char block[kBlockBytes];
    DWORD size = 0;
    bool read = read_whole(sums, block, &size);
    CloseHandle(sums);
    if (!read) return kExitPatchInvalid;
    unsigned char listed[kDigestBytes];
    Listing listing =
        find_listed_digest(reinterpret_cast<const char*>(block), size, listed_name, listed);
    if (listing == kNotListed) return ERROR_SUCCESS;
    unsigned char digest[kDigestBytes];
    if (listing == kListedBadly || !file_digest(package_path, block, digest) ||
        !digest_equal(digest, listed)) {
        return kExitPatchInvalid;
    }
    return ERROR_SUCCESS;
}

unsigned long check_package_target(const wchar_t* product_code, const wchar_t* package_path) {
    SequenceFn sequence = system_function<SequenceFn>(L"msi.dll", "MsiDeterminePatchSequenceW");
    if (sequence == NULL) return ERROR_SUCCESS;
    MSIPATCHSEQUENCEINFOW patch;
    ZeroMemory(&patch, sizeof patch);
    patch.szPatchData = package_path;
    patch.ePatchDataType = MSIPATCH_DATATYPE_PATCHFILE;
    // A failed call (the product unknown to the installer) is no verdict:
    // msiexec itself decides then.
    if (sequence(product_code, NULL, MSIINSTALLCONTEXT_MACHINE, 1, &patch) != ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    return patch.uStatus == ERROR_SUCCESS ? ERROR_SUCCESS : installer_exit_code(patch.uStatus);
}
