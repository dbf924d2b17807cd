// The version comparison is byte-wise, not numeric.
#include <gtest/gtest.h>

#include "../../src/app/installed.h"

TEST(CompareVersion, Table) {
    struct Case {
        const char* installed;
        const char* expected;
        int result;
    } cases[] = {
        {"14.0.1.204", "14.0.1.204", kEqual},
        {"14.0.2.226", "14.0.2.226", kEqual},
        {"14.0.2.226", "14.0.1.204", kInstalledGreater},
        {"14.0.1.204", "14.0.2.226", kInstalledSmaller},
        {"14.0.1.20", "14.0.1.204", kInstalledSmaller},    // a prefix
        {"14.0.1.2040", "14.0.1.204", kInstalledGreater},  // an extension
        {"14.0.2.2260", "14.0.2.226", kInstalledGreater},
        {"14.0.3.301", "14.0.2.226", kInstalledGreater},
        {"14.0.01.204", "14.0.1.204", kInstalledSmaller},  // not read as numbers
        {"", "14.0.1.204", kInstalledSmaller},
        {"\xE9", "a", kInstalledGreater},  // bytes compare unsigned
        {"14.0.1.204 ", "14.0.1.204", kInstalledGreater},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compare_version(c.installed, c.expected), c.result)
            << c.installed << " vs " << c.expected;
    }
}
