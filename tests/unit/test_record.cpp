// The run record's lines, and what is done with the file at its name.
#include <gtest/gtest.h>

#include <wchar.h>

#include <string>

#include "../../src/record/record.h"

TEST(RecordLine, OneWholeLinePerEventWhateverTheDetail) {
    const RecordTime t = {2026, 12, 2, 8, 21, 4, 3, 7};
    wchar_t long_detail[40];
    wmemset(long_detail, L'a', 39);
    long_detail[39] = 0;
    long_detail[4] = 0xD83D;  // a surrogate pair across the cut is never split
    long_detail[5] = 0xDE00;
    struct Case {
        const char* note;
        const wchar_t* detail;
        size_t cap;
        const wchar_t* line;
    } cases[] = {
        {"1603", nullptr, 100, L"2026-12-08T21:04:03.007Z 4242 exit 1603\r\n"},
        {nullptr, L"/qn /x\r\nforged", 100,
         L"2026-12-08T21:04:03.007Z 4242 exit: /qn /x??forged\r\n"},
        {nullptr, L"a\u0085b\u2028c\u2029d\u007Fe\u009Ff\u00A0g\u2027", 100,
         L"2026-12-08T21:04:03.007Z 4242 exit: a?b?c?d?e?f\u00A0g\u2027\r\n"},
        {nullptr, nullptr, 20, L"2026-12-08T\r\n"},  // never past the buffer, whatever the cap
        {nullptr, long_detail, 50, L"2026-12-08T21:04:03.007Z 4242 exit: aaaa [cut]\r\n"},
        {nullptr, L"", 9, L""},
    };
    for (const auto& c : cases) {
        wchar_t line[100];
        size_t length = record_line(line, c.cap, t, 4242, "exit", c.note, c.detail);
        EXPECT_EQ(std::wstring(line, length), c.line);
    }
}

TEST(RecordLine, ALinkOrAFolderAtTheNameIsNeverWrittenThrough) {
    struct Case {
        unsigned long attributes, links;
        unsigned long long size;
        RecordUse use;
    } cases[] = {
        {0x20, 1, kRecordLimit - 1, kRecordAppend},
        {0x20, 1, kRecordLimit, kRecordRotate},
        {0x420, 1, 0, kRecordRefuse},  // a symbolic link, opened as itself on Windows
        {0x10, 1, 0, kRecordRefuse},
        {0x20, 2, 0, kRecordRefuse},  // a hard link to another file
    };
    for (const auto& c : cases) EXPECT_EQ(record_use(c.attributes, c.links, c.size), c.use);
}
