// The forwarded-argument filter.
//
// Removing "/s" and searching again from the start until no match is left
// gives the same text as one pass with a stack: push each character, and when
// an "s" meets a "/" on top, drop both. (The switch cannot overlap itself, so
// every order of removal ends in the same text.) Only the switch's first
// character is ever dropped again, so above the 999 kept characters it is
// enough to count pending first characters; any other character there can
// never be dropped and seals everything below it. No working copy of the
// tail is needed.
#include "arguments.h"

void filter_arguments(const wchar_t* tail, const wchar_t* sw, wchar_t* out, int cap) {
    if (cap <= 0) return;
    const wchar_t first = sw[0];
    const wchar_t second = sw[1];
    int kept = 0;                    // characters in out, at most cap - 1
    unsigned long long pending = 0;  // first characters of the switch stacked above the cut
    for (const wchar_t* p = tail; *p != 0; ++p) {
        bool top_is_first = pending > 0 || (kept > 0 && out[kept - 1] == first);
        if (*p == second && top_is_first) {
            if (pending > 0) {
                --pending;
            } else {
                --kept;
            }
        } else if (pending == 0 && kept < cap - 1) {
            out[kept++] = *p;
        } else if (*p == first) {
            ++pending;
        } else {
            break;  // sealed: nothing later can reach the kept characters
        }
    }
    for (int i = kept; i < cap; ++i) out[i] = 0;
}
