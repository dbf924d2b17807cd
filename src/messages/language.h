// The message language of a Windows LANGID.
#pragma once

enum MessageLanguage {
    kEnglish = 0,
    kDutch = 1,
    kGerman = 2,
    kItalian = 3,
    kJapanese = 4,
    kFrench = 5,
    kSpanish = 6,
    kSwedish = 7,
};

// Matches the whole 16-bit value, sublanguage included; anything unlisted,
// neutral sublanguages too, is English.
MessageLanguage message_language(unsigned short langid);
