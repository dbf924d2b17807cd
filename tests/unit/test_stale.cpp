// Path building for the stale component removal: refuse, never cut.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../../src/cleanup/stale.h"

TEST(StalePath, InstallationDirectory) {
    struct Case {
        const char* dir;
        const char* first;  // nullptr: refused
    } cases[] = {
        {"C:\\Srv\\", "C:\\Srv\\Web Publishing\\publishing-engine\\jwpc-tomcat\\twk"},
        {"C:\\Srv", "C:\\Srv\\Web Publishing\\publishing-engine\\jwpc-tomcat\\twk"},
        {"c:\\", "c:\\Web Publishing\\publishing-engine\\jwpc-tomcat\\twk"},
        {"\\\\srv\\share\\", "\\\\srv\\share\\Web Publishing\\publishing-engine\\jwpc-tomcat\\twk"},
        {"", nullptr},
        {"Srv\\", nullptr},
        {"C:Srv\\", nullptr},  // relative to drive C's current directory
        {"\\Srv\\", nullptr},  // relative to the current drive
        {"\\\\", nullptr},
        {"1:\\Srv\\", nullptr},
        {"\x01", nullptr},  // a REG_DWORD read as text
    };
    for (const auto& c : cases) {
        char out[kTreePathBytes] = "untouched";
        EXPECT_EQ(stale_component_path(c.dir, kStaleSuffixes[0], out, sizeof out),
                  c.first != nullptr)
            << c.dir;
        EXPECT_STREQ(out, c.first ? c.first : "untouched") << c.dir;
    }
    char out[kTreePathBytes];
    ASSERT_TRUE(stale_component_path("C:\\Srv\\", kStaleSuffixes[1], out, sizeof out));
    EXPECT_STREQ(out, "C:\\Srv\\Admin\\admin-master-tomcat\\bin\\admin-console");
}

TEST(StalePath, LengthLimits) {
    // A directory of 211 bytes with its backslash + 48 = 259: fits; 212 does not.
    std::string dir = "C:\\" + std::string(207, 'd') + "\\";
    ASSERT_EQ(dir.size(), 211u);
    char out[kTreePathBytes] = "untouched";
    EXPECT_TRUE(stale_component_path(dir.c_str(), kStaleSuffixes[0], out, sizeof out));
    EXPECT_EQ(std::string(out).size(), 259u);
    dir.insert(3, "d");
    EXPECT_FALSE(stale_component_path(dir.c_str(), kStaleSuffixes[0], out, sizeof out));

    std::string path(255, 'p');
    EXPECT_TRUE(search_pattern(path.c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), path + "\\*.*");
    path += 'p';
    strcpy(out, "untouched");
    EXPECT_FALSE(search_pattern(path.c_str(), out, sizeof out));
    EXPECT_STREQ(out, "untouched");

    EXPECT_TRUE(
        child_path(std::string(200, 'p').c_str(), std::string(58, 'n').c_str(), out, sizeof out));
    EXPECT_FALSE(
        child_path(std::string(200, 'p').c_str(), std::string(59, 'n').c_str(), out, sizeof out));
}

TEST(StalePath, OnlyTheListingsOwnEntriesAreSkipped) {
    struct Case {
        const char* name;
        bool skipped;
    } cases[] = {{".", true},  {"..", true},   {"...", false}, {".hidden", false},
                 {"a", false}, {"..a", false}, {"", false}};
    for (const auto& c : cases) EXPECT_EQ(is_self_or_parent(c.name), c.skipped) << c.name;
}
