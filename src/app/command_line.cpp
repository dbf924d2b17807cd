// The command-line tail, computed the way the C runtime does for WinMain, so
// that the rule does not depend on which runtime the program is linked with,
// and mended for a program path passed unquoted.
#include "command_line.h"

#include "../common/text.h"

namespace {

// Where the name ends when line begins with program as a whole word, else null.
const wchar_t* after_program(const wchar_t* line, const wchar_t* program) {
    if (program == nullptr || *program == 0) return nullptr;
    const wchar_t* p = line;
    for (const wchar_t* q = program; *q != 0; ++p, ++q) {
        if (ascii_lower(*p) != ascii_lower(*q)) return nullptr;
    }
    return *p <= 0x20 ? p : nullptr;
}

}  // namespace

const wchar_t* command_line_tail(const wchar_t* line, const wchar_t* program) {
    // CreateProcessW runs "C:\Update Package\setup.exe /qn" unquoted when the
    // program is named apart; by the quote rule "Package\setup.exe" would be
    // passed on to msiexec as an option.
    const wchar_t* p = after_program(line, program);
    if (p == nullptr) {
        p = line;
        bool quoted = false;
        while (*p != 0 && (quoted || *p > 0x20)) {
            if (*p == L'"') quoted = !quoted;
            ++p;
        }
    }
    while (*p != 0 && *p <= 0x20) ++p;
    return p;
}
