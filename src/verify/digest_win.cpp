// The patch package held for the run, and its SHA-256 through CNG from a
// System32 bcrypt.dll, against the digest stamped into setup.exe and the
// package's SHA256SUMS.
#include <windows.h>
#include <bcrypt.h>
#include <winternl.h>

#include "../common/exit_codes.h"
#include "../common/system_dll_win.h"
#include "checks_win.h"
#include "sums.h"

namespace {

typedef NTSTATUS(WINAPI* OpenFn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* CreateFn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR,
                                   ULONG, ULONG);
typedef NTSTATUS(WINAPI* DataFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* DestroyFn)(BCRYPT_HASH_HANDLE);
typedef NTSTATUS(WINAPI* CloseFn)(BCRYPT_ALG_HANDLE, ULONG);

// One buffer, on the stack, for the list and then for the package's blocks;
// large blocks keep the reads few on a package of hundreds of megabytes.
const DWORD kBlockBytes = 256 * 1024;

// Reads the whole file into block; false when a read fails or it fills the
// buffer (no list of two lines comes near that).
bool read_whole(HANDLE file, unsigned char* block, DWORD* size) {
    *size = 0;
    for (;;) {
        DWORD n = 0;
        if (*size == kBlockBytes) {
            SetLastError(ERROR_FILE_TOO_LARGE);
            return false;
        }
        if (!ReadFile(file, block + *size, kBlockBytes - *size, &n, NULL)) return false;
        if (n == 0) return true;
        *size += n;
    }
}

// An antivirus scan of the freshly copied package, or a copy still being
// written, holds it for a moment: about 5 s of waiting lets that pass.
const int kHeldAttempts = 50;
const DWORD kHeldPauseMs = 100;

bool held_by_another(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Opens path for reading with read sharing only, trying again while another
// process holds it. 0 with *file open, or the last error.
DWORD open_waiting(const wchar_t* path, DWORD flags, HANDLE* file) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kHeldAttempts; ++attempt) {
        if (attempt > 0) Sleep(kHeldPauseMs);
        *file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, flags, NULL);
        if (*file != INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
        error = GetLastError();
        if (!held_by_another(error)) break;
    }
    return error;
}

// A CNG failure is the machine's, not the package's.
unsigned long cng_failure(NTSTATUS status) {
    return check_failure_code(RtlNtStatusToDosError(status));
}

// 0 with digest filled; 1636 when the package cannot be read to its end;
// otherwise the Windows error of CNG.
unsigned long file_digest(HANDLE file, unsigned char* block, unsigned char* digest) {
    OpenFn open = system_function<OpenFn>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
    CreateFn create = system_function<CreateFn>(L"bcrypt.dll", "BCryptCreateHash");
    DataFn data = system_function<DataFn>(L"bcrypt.dll", "BCryptHashData");
    DataFn finish = system_function<DataFn>(L"bcrypt.dll", "BCryptFinishHash");
    DestroyFn destroy = system_function<DestroyFn>(L"bcrypt.dll", "BCryptDestroyHash");
    CloseFn close = system_function<CloseFn>(L"bcrypt.dll", "BCryptCloseAlgorithmProvider");
    if (!open || !create || !data || !finish || !destroy || !close) {
        return check_failure_code(GetLastError());
    }
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, NULL, FILE_BEGIN)) return kExitPatchInvalid;
    BCRYPT_ALG_HANDLE algorithm = NULL;
    NTSTATUS status = open(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0);
    if (!BCRYPT_SUCCESS(status)) return cng_failure(status);
    unsigned long result = kExitPatchInvalid;
    BCRYPT_HASH_HANDLE hash = NULL;
    // No hash object buffer: CNG keeps its own (Windows 7 and later).
    status = create(algorithm, &hash, NULL, 0, NULL, 0, 0);
    if (!BCRYPT_SUCCESS(status)) {
        result = cng_failure(status);
    } else {
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(file, block, kBlockBytes, &n, NULL)) {
                result = read_failure_code(GetLastError());
                break;
            }
            status = n == 0 ? finish(hash, digest, kDigestBytes, 0) : data(hash, block, n, 0);
            if (!BCRYPT_SUCCESS(status)) {
                result = cng_failure(status);
                break;
            }
            if (n == 0) {
                result = kExitSuccess;
                break;
            }
        }
        destroy(hash);
    }
    close(algorithm, 0);
    return result;
}

}  // namespace

// The last 32 bytes of the image's headers, zeros past the section table
// that Windows maps with the image: tools/package writes the patch's
// digest there before signing, so one signature vouches for setup.exe and
// the patch it ships, at no cost in size.
extern "C" const unsigned char __ImageBase[];  // the linker's: the image's first byte

void stamped_digest(unsigned char* digest) {
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase);
    const IMAGE_NT_HEADERS* headers =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(__ImageBase + dos->e_lfanew);
    const unsigned char* stamp = __ImageBase + headers->OptionalHeader.SizeOfHeaders - kDigestBytes;
    for (size_t i = 0; i < kDigestBytes; ++i) digest[i] = stamp[i];
}

unsigned long hold_package(const wchar_t* path, HANDLE* package) {
    *package = INVALID_HANDLE_VALUE;
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return kExitPatchMissing;
    }
    // Read sharing only: a copy still being written cannot be opened, and
    // once open nobody can write, rename or delete the checked file.
    DWORD error = open_waiting(path, FILE_FLAG_SEQUENTIAL_SCAN, package);
    if (error == ERROR_SUCCESS) return kExitSuccess;
    if (held_by_another(error)) return error;  // still held: "retry later", not "copy again"
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kExitPatchMissing
                                                                          : kExitPatchInvalid;
}

unsigned long check_package_whole(const wchar_t* sums_path, HANDLE package, const char* listed_name,
                                  const unsigned char* stamp) {
    // A list still being copied is waited for like the package.
    HANDLE sums = INVALID_HANDLE_VALUE;
    DWORD error = open_waiting(sums_path, FILE_ATTRIBUTE_NORMAL, &sums);
    bool stamped = digest_stamped(stamp);
    // A package built by hand has no list; one that cannot be read is not
    // whole. Without the list, the stamp alone vouches: whoever replaced the
    // patch could have deleted or rewritten the list too.
    bool listed = error != ERROR_FILE_NOT_FOUND;
    if (!listed && !stamped) return kExitSuccess;
    if (held_by_another(error)) return error;
    if (listed && error != ERROR_SUCCESS) return kExitPatchInvalid;
    unsigned char block[kBlockBytes];
    unsigned char listed_digest[kDigestBytes];
    if (listed) {
        DWORD size = 0;
        bool read = read_whole(sums, block, &size);
        unsigned long unread = read ? kExitSuccess : read_failure_code(GetLastError());
        CloseHandle(sums);
        char* text = reinterpret_cast<char*>(block);
        size_t text_size = size;
        if (unread != kExitSuccess) return unread;
        if (!decode_sums_text(text, &text_size)) return kExitPatchInvalid;
        // The package's own list always names it: one that does not (empty,
        // cut short, another package's) vouches for nothing.
        if (find_listed_digest(text, text_size, listed_name, listed_digest) != kListed) {
            return kExitPatchInvalid;
        }
    }
    unsigned char digest[kDigestBytes];
    unsigned long hashed = file_digest(package, block, digest);
    if (hashed != kExitSuccess) return hashed;
    bool whole = (!listed || digest_equal(digest, listed_digest)) &&
                 (!stamped || digest_equal(digest, stamp));
    return whole ? kExitSuccess : kExitPatchInvalid;
}
