// The run record's file: %SystemRoot%\Logs\TallowickServer14v3Update.setup.log,
// opened once per run and appended to. Nothing here changes the run: a
// record that cannot be written is left unwritten.
#include <windows.h>

#include "../common/security_win.h"
#include "../common/text.h"
#include "record.h"

static_assert(sizeof(RecordTime) == sizeof(SYSTEMTIME), "SYSTEMTIME's layout");

namespace {

// The file this run appends to; NULL when there is none.
HANDLE g_record;

const size_t kPathChars = MAX_PATH + 64;

// %SystemRoot%\Logs\<name> into path (kPathChars), the folder made where it
// is missing. False where it does not fit, or, with no_link, where a mount
// point or link in place of the folder would carry what is written
// elsewhere. (A file there fails the opens that follow.)
bool logs_path(const wchar_t* name, bool no_link, wchar_t* path) {
    UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !text_append(path, kPathChars, L"\\Logs")) {
        return false;
    }
    CreateDirectoryW(path, NULL);
    DWORD folder = GetFileAttributesW(path);
    return (!no_link ||
            (folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_REPARSE_POINT) == 0)) &&
           text_append(path, kPathChars, L"\\") && text_append(path, kPathChars, name);
}

// Appending only: Windows writes every line at the end of the file, also
// while another run appends to it. Opened as a reparse point, so a link at
// the name is seen as one, never followed. A new file gets security that
// lets SYSTEM and Administrators alone read it (the options may carry
// values a server's users should not see); a rename keeps it on the .old file.
HANDLE open_appending(const wchar_t* path, BY_HANDLE_FILE_INFORMATION* info) {
    AdminOnlySecurity security;
    if (!admin_only_security(&security, FILE_ALL_ACCESS, 0)) return NULL;
    HANDLE file =
        CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security.attributes,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, info)) return file;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return NULL;
}

}  // namespace

unsigned long take_run_lock() {
    wchar_t path[kPathChars];
    // Through a link in place of Logs too (only an administrator can put one
    // there): nothing is written to the lock, and it goes as it closes.
    if (!logs_path(L"TallowickServer14v3Update.setup.lock", false, path)) {
        return ERROR_FILENAME_EXCED_RANGE;
    }
    AdminOnlySecurity security;
    if (!admin_only_security(&security, FILE_ALL_ACCESS, 0)) return GetLastError();
    // No sharing: another run's open fails with a sharing violation for as
    // long as this process lives. Deleted as its handle closes, so a killed
    // run's lock goes with its process. Kept open until ExitProcess.
    HANDLE lock = CreateFileW(
        path, DELETE | FILE_READ_ATTRIBUTES, 0, &security.attributes, OPEN_ALWAYS,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    return lock == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
}

void open_run_record(bool may_rotate) {
    wchar_t path[kPathChars];
    wchar_t old_path[kPathChars];
    if (!logs_path(L"TallowickServer14v3Update.setup.log", true, path)) return;
    text_copy(old_path, kPathChars, path);
    text_append(old_path, kPathChars, L".old");
    for (int attempt = 0; attempt < 2; ++attempt) {
        BY_HANDLE_FILE_INFORMATION info;
        HANDLE file = open_appending(path, &info);
        if (file == NULL) return;
        RecordUse use =
            record_use(info.dwFileAttributes, info.nNumberOfLinks,
                       (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
        if (use == kRecordRefuse) {
            CloseHandle(file);
            return;
        }
        // Only the run that holds the lock moves the lines aside: two that
        // did at once lost the earlier file. A move that fails (a reader
        // holds the file without delete sharing) still appends.
        if (use == kRecordAppend || !may_rotate || attempt > 0) {
            g_record = file;
            return;
        }
        CloseHandle(file);
        // The older lines go to one .old file, replacing the one before. A
        // rename moves a link at .old's name itself, never its target.
        MoveFileExW(path, old_path, MOVEFILE_REPLACE_EXISTING);
    }
}

void record(const char* what, const char* note, const wchar_t* detail) {
    if (g_record == NULL) return;
    RecordTime now;
    GetSystemTime(reinterpret_cast<SYSTEMTIME*>(&now));
    wchar_t line[kRecordLineChars];
    size_t length =
        record_line(line, kRecordLineChars, now, GetCurrentProcessId(), what, note, detail);
    // Every UTF-16 unit takes at most three bytes in UTF-8.
    char bytes[kRecordLineChars * 3];
    int size = WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(length), bytes, sizeof bytes,
                                   NULL, NULL);
    DWORD written;
    if (size > 0) WriteFile(g_record, bytes, static_cast<DWORD>(size), &written, NULL);
}

void record_code(const char* what, unsigned long code, const wchar_t* detail) {
    char digits[12];
    record(what, decimal_text(code, digits), detail);
}
