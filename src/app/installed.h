// The installed-version check: what the machine reports about a release.
#pragma once

#include <stddef.h>

struct EligibleRelease {
    const char* product_code;
    const char* version;
};

// Version match results.
const int kNoData = 0;
const int kEqual = 1;
const int kInstalledGreater = 2;
const int kInstalledSmaller = -1;

// Equal only byte for byte; otherwise greater or smaller by the numbers of
// the dotted parts, compared part by part (a missing part is 0). kNoData when
// either is not one to four decimal parts, or they differ only in spelling.
const int kReleaseParts = 4;
int compare_version(const char* installed, const char* expected);

// Windows edges (installed_win.cpp).
int installer_test(const EligibleRelease& release);
int registry_test(const EligibleRelease& release, const char* key_path, const char* value_name,
                  unsigned long access);
