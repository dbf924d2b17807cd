// The message table. Every byte above 0x7F is written as an escape, so no
// editor or compiler charset setting can change it.
#include "messages.h"

const char kMessageCaption[] = "Tallowick Server 14";

namespace {

const char kEnglishText[] = "A valid copy of Tallowick Server 14v1 or v2\ncould not be found.";

const char* const kMessageTable[] = {
    kEnglishText,
    kEnglishText,  // Dutch
    "Eine g\xFCltige Kopie von Tallowick Server 14v1 oder v2\nkonnte nicht gefunden werden.",
    "Impossibile trovare una copia valida\ndi Tallowick Server 14v1 o v2.",
    // Code page 932: "または" and "の有効なコピーが見つかりませんでした。"
    "Tallowick Server 14v1 \x82\xDC\x82\xBD\x82\xCD v2\n"
    "\x82\xCC\x97\x4C\x8C\xF8\x82\xC8\x83\x52\x83\x73\x81\x5B\x82\xAA\x8C\xA9\x82\xC2"
    "\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42",
    "Aucune copie valide de Tallowick Server\n14v1 ou v2 n'a pu \xEAtre trouv\xE9"
    "e.",
    kEnglishText,  // Spanish
    "Det gick inte att hitta n\xE5got giltigt exemplar\nav Tallowick Server 14v1 eller v2.",
};

}  // namespace

const char* not_found_text(MessageLanguage language) {
    int index = static_cast<int>(language);
    if (index < 0 || index >= static_cast<int>(sizeof kMessageTable / sizeof kMessageTable[0])) {
        index = kEnglish;
    }
    return kMessageTable[index];
}

unsigned int message_code_page(MessageLanguage language) {
    return language == kJapanese ? 932 : 1252;
}
