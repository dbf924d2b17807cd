// The command-line tail, computed the way the C runtime does for WinMain, so
// that the rule does not depend on which runtime the program is linked with.
#include "command_line.h"

const char* command_line_tail(const char* line, LeadByteTest is_lead_byte) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
    bool quoted = false;
    while (*p != 0 && (quoted || *p > 0x20)) {
        if (*p == '"') quoted = !quoted;
        // A trail byte may look like a quote or a blank; the zero still ends the line.
        if (is_lead_byte(*p) && p[1] != 0) ++p;
        ++p;
    }
    while (*p != 0 && *p <= 0x20) ++p;
    return reinterpret_cast<const char*>(p);
}
