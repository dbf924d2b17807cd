// The run record's file: %SystemRoot%\Logs\TallowickServer14v3Update.setup.log,
// opened once per run and appended to. Nothing here changes the run: a
// record that cannot be written is left unwritten.
#include <windows.h>

#include "../common/text.h"
#include "record.h"

static_assert(sizeof(RecordTime) == sizeof(SYSTEMTIME), "SYSTEMTIME's layout");

namespace {

// The file this run appends to; NULL when there is none.
HANDLE g_record;

const size_t kPathChars = MAX_PATH + 64;

// Appending only: Windows writes every line at the end of the file, also
// while another run appends to it. Opened as a reparse point, so a link at
// the name is seen as one, never followed.
HANDLE open_appending(const wchar_t* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file =
        CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, info)) return file;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return NULL;
}

}  // namespace

void open_run_record() {
    wchar_t path[kPathChars];
    wchar_t old_path[kPathChars];
    UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !text_append(path, kPathChars, L"\\Logs")) return;
    CreateDirectoryW(path, NULL);
    // A mount point or link in place of the folder would carry the lines
    // elsewhere. (A file there fails the open below.)
    DWORD folder = GetFileAttributesW(path);
    if (folder == INVALID_FILE_ATTRIBUTES || (folder & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        !text_append(path, kPathChars, L"\\TallowickServer14v3Update.setup.log")) {
        return;
    }
    text_copy(old_path, kPathChars, path);
    text_append(old_path, kPathChars, L".old");
    for (int attempt = 0; attempt < 2; ++attempt) {
        BY_HANDLE_FILE_INFORMATION info;
        HANDLE file = open_appending(path, &info);
        if (file == NULL) return;
        RecordUse use =
            record_use(info.dwFileAttributes, info.nNumberOfLinks,
                       (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
        if (use == kRecordAppend) {
            g_record = file;
            return;
        }
        CloseHandle(file);
        // The older lines go to one .old file, replacing the one before. A
        // rename moves a link at .old's name itself, never its target.
        if (use == kRecordRefuse || !MoveFileExW(path, old_path, MOVEFILE_REPLACE_EXISTING)) return;
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
