// Version comparison for the installed-version check.
#include "installed.h"

namespace {

// A release as the Windows Installer writes one: one to four decimal parts,
// each below 10^9, parted by dots. False for anything else.
bool read_release(const char* text, unsigned long parts[kReleaseParts]) {
    for (int i = 0; i < kReleaseParts; ++i) parts[i] = 0;
    int part = 0;
    int digits = 0;
    for (const char* p = text;; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (++digits > 9) return false;
            parts[part] = parts[part] * 10 + static_cast<unsigned long>(*p - '0');
        } else if ((*p == '.' || *p == 0) && digits > 0) {
            if (*p == 0) return true;
            if (++part == kReleaseParts) return false;
            digits = 0;
        } else {
            return false;
        }
    }
}

}  // namespace

int compare_version(const char* installed, const char* expected) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(installed);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(expected);
    for (; *a == *b; ++a, ++b) {
        if (*a == 0) return kEqual;
    }
    // Past or before by the numbers, part by part (14.0.10.0 is past 14.0.2.226);
    // the same numbers in another spelling, or text that is no release, is
    // neither: it never counts as eligible nor as patched.
    unsigned long x[kReleaseParts];
    unsigned long y[kReleaseParts];
    if (!read_release(installed, x) || !read_release(expected, y)) return kNoData;
    for (int i = 0; i < kReleaseParts; ++i) {
        if (x[i] != y[i]) return x[i] > y[i] ? kInstalledGreater : kInstalledSmaller;
    }
    return kNoData;
}
