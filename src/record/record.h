// The run's record: one line of UTF-8 text per event, appended to a file
// under %SystemRoot%\Logs that a fleet tool can collect as it is.
#pragma once

#include <stddef.h>

// Longest line kept, in UTF-16 units; a longer detail is cut and marked.
const size_t kRecordLineChars = 2048;
// Past this size the file's lines go to one older file.
const unsigned long long kRecordLimit = 1024 * 1024;

// SYSTEMTIME's layout, so the edge passes it as it is.
struct RecordTime {
    unsigned short year, month, day_of_week, day, hour, minute, second, milliseconds;
};

// "2026-12-08T21:14:03.120Z 4242 what[ note][: detail]\r\n" into line, and its
// length. Control characters in the detail (C0, DEL, C1) and the Unicode
// line and paragraph separators become '?': options or a folder name holding
// a line break of any kind cannot forge a line of their own.
size_t record_line(wchar_t* line, size_t cap, const RecordTime& time, unsigned long pid,
                   const char* what, const char* note, const wchar_t* detail);

// The decimal text of code into digits (room for 11).
const char* decimal_text(unsigned long code, char* digits);

// What is done with the file found at the record's name, from its handle:
// appended to, or first moved to the older file; a link or a folder is never
// written through.
enum RecordUse { kRecordAppend, kRecordRotate, kRecordRefuse };
RecordUse record_use(unsigned long attributes, unsigned long links, unsigned long long size);

// Windows edges (record_win.cpp).

// The lock of one run at a time: %SystemRoot%\Logs\TallowickServer14v3Update.setup.lock,
// a file there open with no sharing, deleted as it closes. 0 when taken;
// ERROR_SHARING_VIOLATION while another run holds it; else the Windows error.
unsigned long take_run_lock();
// Opens the record for appending; only the run that holds the lock may move
// a full file to the .old one first.
void open_run_record(bool may_rotate);
void record(const char* what, const char* note = nullptr, const wchar_t* detail = nullptr);
void record_code(const char* what, unsigned long code, const wchar_t* detail = nullptr);
