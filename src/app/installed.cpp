// Version comparison for the installed-version check.
#include "installed.h"

int compare_version(const char* installed, const char* expected) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(installed);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(expected);
    for (;; ++a, ++b) {
        if (*a != *b) return *a > *b ? kInstalledGreater : kInstalledSmaller;
        if (*a == 0) return kEqual;
    }
}
