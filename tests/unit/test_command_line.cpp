// The command-line tail: quotes, characters outside ASCII and the skipped blanks.
#include <gtest/gtest.h>

#include "../../src/app/command_line.h"

namespace {

struct TailCase {
    const wchar_t* line;
    const wchar_t* tail;
    const wchar_t* program = L"C:\\Update Package\\setup.exe";  // the module's own path
};

const TailCase kTailCases[] = {
    {L"setup.exe /qn", L"/qn"},
    {L"\"C:\\Upd Dir\\setup.exe\" /s /qn", L"/s /qn"},
    {L"setup.exe", L""},
    {L"", L""},
    {L"setup.exe \t \x01\x1f /qn  ", L"/qn  "},
    {L"setup.exe\x01/qn", L"/qn"},
    {L"\"C:\\a b\"c d\\setup.exe x", L"d\\setup.exe x"},  // quotes toggle mid-name
    {L"\"C:\\a b\\setup.exe /qn", L""},                   // unbalanced: all name
    // U+8120 and U+2220 hold the bytes 0x20 and 0x22, which are no blank or
    // quote in UTF-16; nor is U+3000, the ideographic space.
    {L"C:\\\u8120\u2220\u3000dir\\setup.exe /qn", L"/qn"},
    {L"\u00E9t\u00E9.exe INSTALLDIR=\"D:\\\u0416\u0443\u0440\u043d\u0430\u043b\"",
     L"INSTALLDIR=\"D:\\\u0416\u0443\u0440\u043d\u0430\u043b\""},
    // Started unquoted with the program named apart: the path is the name.
    {L"C:\\Update Package\\setup.exe /qn /norestart", L"/qn /norestart"},
    {L"c:\\update package\\SETUP.EXE\t/qn", L"/qn"},
    {L"C:\\Update Package\\setup.exe", L""},
    {L"C:\\Upd\\setup.exe /qn", L"/qn", L"C:\\Upd\\setup.exe"},
    {L"C:\\Update Package\\setup.exe.old /qn", L"Package\\setup.exe.old /qn"},
    {L"C:\\Update Package\\setup /qn", L"/qn"},  // CreateProcessW added the .exe
    {L"C:\\Update Package\\SETUP", L""},
    {L"C:\\Update Package\\setupx /qn", L"Package\\setupx /qn"},
    {L"C:\\Update Package\\setup.exe /qn", L"Package\\setup.exe /qn", L""},
    {L"C:\\Update Package\\setup.exe /qn", L"Package\\setup.exe /qn", nullptr},
};

}  // namespace

TEST(CommandLineTail, Table) {
    for (const TailCase& c : kTailCases) {
        EXPECT_STREQ(command_line_tail(c.line, c.program), c.tail) << c.line;
    }
}

TEST(CommandLineTail, NeverStartsWithABlankOrControlCharacter) {
    wchar_t line[] = L"a b";
    for (int b = 1; b <= 0x20; ++b) {
        line[1] = static_cast<wchar_t>(b);
        line[2] = static_cast<wchar_t>(b);
        EXPECT_STREQ(command_line_tail(line, L"a"), L"") << b;
    }
}

TEST(CommandLineTail, TheProgramsPathSpeltAnotherWay) {
    // GetFullPathNameW as far as these rows need: "/" as "\", nothing past 40 characters.
    auto full = [](const wchar_t* c, size_t n, wchar_t* out, size_t) {
        for (size_t i = 0; i < n; ++i) out[i] = c[i] == L'/' ? L'\\' : c[i];
        out[n] = 0;
        return n <= 40;
    };
    const wchar_t kProgram[] = L"C:\\Update Package\\setup.exe";
    EXPECT_STREQ(resolved_command_line_tail(L"C:/Update Package/setup  /qn", kProgram, full),
                 L"/qn");
    EXPECT_EQ(
        resolved_command_line_tail(L"C:/Update Package/setup.ex /qn /norestart", kProgram, full),
        nullptr);  // its name cannot be told
}
