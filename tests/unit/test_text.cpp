// Bounded copies refuse rather than cut, and leave the destination as it was.
#include <gtest/gtest.h>

#include <string.h>

#include "../../src/common/text.h"

TEST(Text, CopyFitsUpToCapacityLessOne) {
    char dst[5] = "old";
    EXPECT_TRUE(text_copy(dst, sizeof dst, "abcd"));
    EXPECT_STREQ(dst, "abcd");
    EXPECT_FALSE(text_copy(dst, sizeof dst, "abcde"));
    EXPECT_STREQ(dst, "abcd");
    EXPECT_FALSE(text_copy(dst, 0, "")) << "no room even for the zero";
}

TEST(Text, AppendIsRefusedWholeAndLeavesTheText) {
    wchar_t dst[6] = L"ab";
    EXPECT_FALSE(text_append(dst, 6, L"cdef"));
    EXPECT_STREQ(dst, L"ab");
    EXPECT_TRUE(text_append(dst, 6, L"cde"));
    EXPECT_STREQ(dst, L"abcde");
}

TEST(Text, TerminateRegistryData) {
    struct Case {
        const char* data;
        size_t data_bytes;
        size_t size;
        bool ok;
        const char* text;
    } cases[] = {
        {"14.0.2.226", 11, 11, true, "14.0.2.226"},  // stored with its zero
        {"14.0.2.226", 10, 10, true, "14.0.2.226"},  // stored without
        {"", 0, 0, true, ""},                        // empty data
        {"\x01\0\0\0", 4, 4, true, "\x01"},          // a REG_DWORD of 1
        {"ab\0cd", 5, 5, true, "ab"},                // REG_MULTI_SZ: its first string
    };
    for (const Case& c : cases) {
        char buf[16];
        memset(buf, 'x', sizeof buf);
        memcpy(buf, c.data, c.data_bytes);
        EXPECT_EQ(text_terminate(buf, sizeof buf, c.size), c.ok) << c.data;
        EXPECT_STREQ(buf, c.text);
    }
}

TEST(Text, TerminateRefusesAFullBufferWithoutZero) {
    char full[260];
    memset(full, 'a', sizeof full);
    EXPECT_FALSE(text_terminate(full, sizeof full, sizeof full));
    full[259] = 0;  // 259 characters and their zero: a whole string
    EXPECT_TRUE(text_terminate(full, sizeof full, sizeof full));
    EXPECT_EQ(strlen(full), 259u);
}
