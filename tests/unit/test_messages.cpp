// The message table byte for byte.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../../src/messages/box_rule.h"
#include "../../src/messages/messages.h"
#include "../../src/messages/refusal.h"

TEST(MessageTable, ByteCounts) {
    const size_t counts[8] = {63, 63, 82, 67, 70, 71, 63, 81};
    for (int i = 0; i < 8; ++i) {
        const char* text = not_found_text(static_cast<MessageLanguage>(i));
        EXPECT_EQ(strlen(text), counts[i]) << i;
        EXPECT_EQ(strchr(text, '\r'), nullptr) << i;
        const char* lf = strchr(text, '\n');
        ASSERT_NE(lf, nullptr) << i;
        EXPECT_EQ(strchr(lf + 1, '\n'), nullptr) << "exactly two lines: " << i;
    }
    EXPECT_STREQ(kMessageCaption, "Tallowick Server 14");
}

TEST(MessageTable, DutchAndSpanishShowTheEnglishText) {
    EXPECT_STREQ(not_found_text(kDutch), not_found_text(kEnglish));
    EXPECT_STREQ(not_found_text(kSpanish), not_found_text(kEnglish));
    EXPECT_STREQ(not_found_text(kEnglish),
                 "A valid copy of Tallowick Server 14v1 or v2\ncould not be found.");
    EXPECT_EQ(message_code_page(kJapanese), 932u);
    EXPECT_EQ(message_code_page(kSwedish), 1252u);
}

TEST(MessageTable, ExactBytes) {
    struct Case {
        MessageLanguage language;
        size_t offset;
        const char* bytes;
    } cases[] = {
        {kGerman, 0, "Eine g\xFCltige Kopie"},
        {kGerman, 52, "\nkonnte"},
        {kItalian, 36, "\ndi Tallowick"},           // break after "una copia valida"
        {kFrench, 39, "\n14v1 ou v2 n'a pu \xEA"},  // break after "Tallowick Server"
        {kFrench, 63,
         "trouv\xE9"
         "e."},
        {kSwedish, 24, "n\xE5got"},
        {kJapanese, 0, "Tallowick Server 14v1 \x82\xDC\x82\xBD\x82\xCD v2\n\x82\xCC\x97\x4C"},
        {kJapanese, 66, "\x82\xBD\x81\x42"},  // ends in the ideographic full stop
    };
    for (const auto& c : cases) {
        std::string text = not_found_text(c.language);
        EXPECT_EQ(text.substr(c.offset, strlen(c.bytes)), c.bytes) << c.language;
    }
}

TEST(BoxRule, OnlyWhereAPersonCanClickIt) {
    EXPECT_TRUE(box_can_be_seen(false, kStationVisible | 0x10, 2));
    EXPECT_FALSE(box_can_be_seen(true, kStationVisible, 1));   // quiet options
    EXPECT_FALSE(box_can_be_seen(false, 0, 1));                // a service's or agent's station
    EXPECT_FALSE(box_can_be_seen(false, kStationVisible, 0));  // session 0: nobody since Vista
}

TEST(RefusalAdvice, ThePercentAdviceOnlyWith1639) {
    EXPECT_NE(strstr(refusal_advice(1639, true, false), "folder holds %...%"), nullptr);
    EXPECT_NE(strstr(refusal_advice(1639, false, true), "options hold %...%"), nullptr);
    EXPECT_STREQ(refusal_advice(1639, false, false), "");
    EXPECT_NE(strstr(refusal_advice(32, false, false), "try again later"), nullptr);
    EXPECT_NE(strstr(refusal_advice(33, false, false), "try again later"), nullptr);
    EXPECT_STREQ(refusal_advice(1635, true, true), "");
    EXPECT_EQ(strstr(refusal_advice(1636, true, true), "%...%"), nullptr);
    EXPECT_NE(strstr(folder_advice(183).before, "did not put"), nullptr);     // 170: "own programs"
    EXPECT_NE(strstr(folder_advice(5).before, "could not record"), nullptr);  // not "holds"
}
