// The version comparison: equal byte for byte, ordered by the numbers.
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
        {"14.0.10.0", "14.0.2.226", kInstalledGreater},  // numbers, not text
        {"14.0.2.1000", "14.0.2.226", kInstalledGreater},
        {"9.9.9.999", "14.0.2.226", kInstalledSmaller},
        {"14.1", "14.0.2.226", kInstalledGreater},
        {"14.0.2", "14.0.2.226", kInstalledSmaller},
        {"14.0.01.204", "14.0.1.204", kNoData},  // the same numbers, spelt otherwise
        {"", "14.0.1.204", kNoData},
        {"14.0.3.301 junk", "14.0.2.226", kNoData},
        {"14.0.3.301.5", "14.0.2.226", kNoData},
        {"14..3.301", "14.0.2.226", kNoData},
        {"14.0.3.", "14.0.2.226", kNoData},
        {"14.0.3.9999999999", "14.0.2.226", kNoData},           // past what a part can hold
        {"14.0.2.999999999", "14.0.2.226", kInstalledGreater},  // nine digits still are
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compare_version(c.installed, c.expected), c.result)
            << c.installed << " vs " << c.expected;
    }
}
