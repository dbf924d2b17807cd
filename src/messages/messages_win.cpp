// The not-found message box.
#include <windows.h>

#include "messages.h"

int show_not_found_message() {
    // Read now, not at start-up: the box speaks the system's language of the moment.
    MessageLanguage language = message_language(GetSystemDefaultLangID());
    return MessageBoxA(NULL, not_found_text(language), kMessageCaption, MB_OK | MB_ICONERROR);
}
