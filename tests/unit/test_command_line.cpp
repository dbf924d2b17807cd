// The command-line tail: quotes, double-byte characters and the skipped blanks.
#include <gtest/gtest.h>

#include "../../src/app/command_line.h"

namespace {

bool no_lead(unsigned char) {
    return false;
}
// Lead bytes of code page 932.
bool sjis_lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

struct TailCase {
    const char* line;
    bool dbcs;
    const char* tail;
};

const TailCase kTailCases[] = {
    {"setup.exe /qn", false, "/qn"},
    {"\"C:\\Upd Dir\\setup.exe\" /s /qn", false, "/s /qn"},
    {"setup.exe", false, ""},
    {"", false, ""},
    {"setup.exe \t \x01\x1f /qn  ", false, "/qn  "},
    {"setup.exe\x01/qn", false, "/qn"},
    {"\"C:\\a b\"c d\\setup.exe x", false, "d\\setup.exe x"},  // quotes toggle mid-name
    {"\"C:\\a b\\setup.exe /qn", false, ""},                   // unbalanced: all name
    {"C:\\\x81 dir\\setup.exe /qn", true, "/qn"},              // trail byte 0x20 is no blank
    {"C:\\\x81 dir\\setup.exe /qn", false, "dir\\setup.exe /qn"},
    {"C:\\\x81\"a b", true, "b"},  // trail byte '"' is no quote
    {"C:\\\x81\"a b", false, ""},
    {"setup\x81", true, ""},              // a lead byte at the very end
    {"\xE9t\xE9.exe /qn", false, "/qn"},  // bytes above 0x7F are name
};

}  // namespace

TEST(CommandLineTail, Table) {
    for (const TailCase& c : kTailCases) {
        EXPECT_STREQ(command_line_tail(c.line, c.dbcs ? sjis_lead : no_lead), c.tail) << c.line;
    }
}

TEST(CommandLineTail, NeverStartsWithABlankOrControlByte) {
    char line[] = "a b";
    for (int b = 1; b <= 0x20; ++b) {
        line[1] = static_cast<char>(b);
        line[2] = static_cast<char>(b);
        EXPECT_STREQ(command_line_tail(line, no_lead), "") << b;
    }
}
