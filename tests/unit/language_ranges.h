// The language map stated as primary language and sublanguage ranges,
// independently of the list in the program; shared by the unit table and
// the fuzz harness.
#pragma once

#include "../../src/messages/language.h"

inline MessageLanguage expected_language(unsigned langid) {
    unsigned primary = langid & 0x3FF;
    unsigned sub = langid >> 10;
    struct Range {
        unsigned primary, last_sub;
        MessageLanguage language;
    } ranges[] = {{0x13, 0x02, kDutch},    {0x07, 0x05, kGerman}, {0x10, 0x02, kItalian},
                  {0x11, 0x01, kJapanese}, {0x0C, 0x06, kFrench}, {0x0A, 0x14, kSpanish},
                  {0x1D, 0x02, kSwedish}};
    for (const Range& r : ranges) {
        if (primary == r.primary && sub >= 1 && sub <= r.last_sub) return r.language;
    }
    return kEnglish;
}
