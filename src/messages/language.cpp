// The language map: the LANGIDs that have a message language of their own.
#include "language.h"

namespace {

struct LanguageEntry {
    unsigned short langid;
    MessageLanguage language;
};

const LanguageEntry kLanguageMap[] = {
    {0x0413, kDutch},   {0x0813, kDutch},    {0x0407, kGerman},  {0x0807, kGerman},
    {0x0C07, kGerman},  {0x1007, kGerman},   {0x1407, kGerman},  {0x0410, kItalian},
    {0x0810, kItalian}, {0x0411, kJapanese}, {0x040C, kFrench},  {0x080C, kFrench},
    {0x0C0C, kFrench},  {0x100C, kFrench},   {0x140C, kFrench},  {0x180C, kFrench},
    {0x040A, kSpanish}, {0x080A, kSpanish},  {0x0C0A, kSpanish}, {0x100A, kSpanish},
    {0x140A, kSpanish}, {0x180A, kSpanish},  {0x1C0A, kSpanish}, {0x200A, kSpanish},
    {0x240A, kSpanish}, {0x280A, kSpanish},  {0x2C0A, kSpanish}, {0x300A, kSpanish},
    {0x340A, kSpanish}, {0x380A, kSpanish},  {0x3C0A, kSpanish}, {0x400A, kSpanish},
    {0x440A, kSpanish}, {0x480A, kSpanish},  {0x4C0A, kSpanish}, {0x500A, kSpanish},
    {0x041D, kSwedish}, {0x081D, kSwedish},
};

}  // namespace

MessageLanguage message_language(unsigned short langid) {
    for (const LanguageEntry& entry : kLanguageMap) {
        if (entry.langid == langid) return entry.language;
    }
    return kEnglish;
}
