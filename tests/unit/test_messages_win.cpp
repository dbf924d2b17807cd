// Each stored text decoded in its own code page, whatever the system's ANSI
// code page is: the exact UTF-16 text that the box shows.
#include <windows.h>

#include <gtest/gtest.h>

#include "../../src/messages/messages.h"

TEST(MessageBoxText, EveryLanguageInUtf16) {
    struct Case {
        MessageLanguage language;
        const wchar_t* text;
    } cases[] = {
        {kEnglish, L"A valid copy of Tallowick Server 14v1 or v2\ncould not be found."},
        {kDutch, L"A valid copy of Tallowick Server 14v1 or v2\ncould not be found."},
        {kGerman,
         L"Eine g\u00FCltige Kopie von Tallowick Server 14v1 oder v2\n"
         L"konnte nicht gefunden werden."},
        {kItalian, L"Impossibile trovare una copia valida\ndi Tallowick Server 14v1 o v2."},
        {kJapanese,
         L"Tallowick Server 14v1 \u307E\u305F\u306F v2\n\u306E\u6709\u52B9\u306A\u30B3\u30D4"
         L"\u30FC\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093\u3067\u3057\u305F\u3002"},
        {kFrench,
         L"Aucune copie valide de Tallowick Server\n14v1 ou v2 n'a pu \u00EAtre trouv\u00E9e."},
        {kSpanish, L"A valid copy of Tallowick Server 14v1 or v2\ncould not be found."},
        {kSwedish,
         L"Det gick inte att hitta n\u00E5got giltigt exemplar\nav Tallowick Server 14v1 eller "
         L"v2."},
    };
    for (const auto& c : cases) {
        wchar_t out[kMessageWideCapacity] = {};
        ASSERT_TRUE(widen_message(not_found_text(c.language), message_code_page(c.language), out,
                                  kMessageWideCapacity))
            << c.language;
        EXPECT_STREQ(out, c.text) << c.language;
    }
    wchar_t caption[kMessageWideCapacity] = {};
    ASSERT_TRUE(widen_message(kMessageCaption, 1252, caption, kMessageWideCapacity));
    EXPECT_STREQ(caption, L"Tallowick Server 14");
}

TEST(MessageBoxSession, AskedOfWindowsAndSessionZeroWhenItCannotTell) {
    EXPECT_EQ(process_session(GetCurrentProcessId()), 1u);  // Wine: every process
    EXPECT_EQ(process_session(0xFFFFFFF0), 0u);             // no such process
}
