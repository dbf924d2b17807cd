// The run record's lines and the choice of what to do with the file found at
// its name. No Windows headers: table-tested on Linux.
#include "record.h"

namespace {

const unsigned long kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
const unsigned long kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
const char kCutMark[] = " [cut]";

struct Line {
    wchar_t* text;
    size_t used;
    size_t room;  // what may still be written, the cut mark and line end aside
};

// What a reader may take for the end of a line, or that a terminal acts on.
bool breaks_a_line(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

void put(Line* line, wchar_t c) {
    if (line->used < line->room) line->text[line->used++] = c;
}

void put_narrow(Line* line, const char* s) {
    for (; *s != 0; ++s) put(line, static_cast<unsigned char>(*s));
}

void put_number(Line* line, unsigned value, int width) {
    char digits[12];
    const char* text = decimal_text(value, digits);
    for (int pad = width - static_cast<int>(digits + 11 - text); pad > 0; --pad) put(line, '0');
    put_narrow(line, text);
}

}  // namespace

const char* decimal_text(unsigned long code, char* digits) {
    char* p = digits + 11;
    *p = 0;
    do {
        *--p = static_cast<char>('0' + code % 10);
        code /= 10;
    } while (code != 0);
    return p;
}

size_t record_line(wchar_t* line, size_t cap, const RecordTime& time, unsigned long pid,
                   const char* what, const char* note, const wchar_t* detail) {
    const size_t reserve = sizeof kCutMark - 1 + 3;  // the mark, CR, LF and the zero
    if (cap <= reserve) return 0;
    Line out = {line, 0, cap - reserve};
    // Year, month, day, hour, minute, second, milliseconds: SYSTEMTIME's
    // fields less the day of the week.
    const unsigned short* fields = &time.year;
    const char order[] = {0, 1, 3, 4, 5, 6, 7};
    const char separators[] = "--T::.Z";
    for (int i = 0; i < 7; ++i) {
        put_number(&out, fields[static_cast<int>(order[i])], i == 0 ? 4 : i == 6 ? 3 : 2);
        put(&out, separators[i]);
    }
    put(&out, ' ');
    put_number(&out, pid, 1);
    put(&out, ' ');
    put_narrow(&out, what);
    if (note != nullptr) {
        put(&out, ' ');
        put_narrow(&out, note);
    }
    if (detail != nullptr) {
        put_narrow(&out, ": ");
        size_t n = 0;
        for (; detail[n] != 0 && out.used < out.room; ++n) {
            put(&out, breaks_a_line(detail[n]) ? L'?' : detail[n]);
        }
        if (detail[n] != 0) {
            // Never half a surrogate pair: UTF-8 has no form for one.
            if ((detail[n] & 0xFC00) == 0xDC00) --out.used;
            out.room = cap;
            put_narrow(&out, kCutMark);
        }
    }
    out.room = cap;
    put_narrow(&out, "\r\n");
    line[out.used] = 0;
    return out.used;
}

RecordUse record_use(unsigned long attributes, unsigned long links, unsigned long long size) {
    // A second name is a hard link someone made to another file.
    if ((attributes & (kAttributeDirectory | kAttributeReparsePoint)) != 0 || links != 1) {
        return kRecordRefuse;
    }
    return size >= kRecordLimit ? kRecordRotate : kRecordAppend;
}
