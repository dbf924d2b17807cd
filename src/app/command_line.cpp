// The command-line tail, computed the way the C runtime does for WinMain, so
// that the rule does not depend on which runtime the program is linked with.
#include "command_line.h"

const wchar_t* command_line_tail(const wchar_t* line) {
    const wchar_t* p = line;
    bool quoted = false;
    while (*p != 0 && (quoted || *p > 0x20)) {
        if (*p == L'"') quoted = !quoted;
        ++p;
    }
    while (*p != 0 && *p <= 0x20) ++p;
    return p;
}
