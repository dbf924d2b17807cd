// The language map over every 16-bit LANGID.
#include <gtest/gtest.h>

#include "../../src/messages/language.h"
#include "language_ranges.h"

TEST(LanguageMap, AllLangIds) {
    int listed = 0;
    int per_language[8] = {};
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        MessageLanguage got = message_language(static_cast<unsigned short>(id));
        ASSERT_EQ(got, expected_language(id)) << std::hex << id;
        if (got != kEnglish) ++listed;
        ++per_language[got];
    }
    EXPECT_EQ(listed, 38);
    const int counts[8] = {65536 - 38, 2, 5, 2, 1, 6, 20, 2};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(per_language[i], counts[i]) << i;
}

TEST(LanguageMap, NamedCases) {
    struct Case {
        unsigned short id;
        MessageLanguage language;
    } cases[] = {
        {0x0407, kGerman},   {0x0C07, kGerman},  {0x1407, kGerman},  {0x0007, kEnglish},
        {0x0C0C, kFrench},   {0x180C, kFrench},  {0x1C0C, kEnglish}, {0x2C0C, kEnglish},
        {0x0411, kJapanese}, {0x0011, kEnglish}, {0x0413, kDutch},   {0x080A, kSpanish},
        {0x500A, kSpanish},  {0x540A, kEnglish}, {0x580A, kEnglish}, {0x041D, kSwedish},
        {0x081D, kSwedish},  {0x001D, kEnglish}, {0x0409, kEnglish}, {0x0809, kEnglish},
        {0x0804, kEnglish},  {0x0810, kItalian}, {0x0000, kEnglish}, {0x0400, kEnglish},
    };
    for (const auto& c : cases) EXPECT_EQ(message_language(c.id), c.language) << std::hex << c.id;
}
