// The not-found message: its texts and the box that shows one.
#pragma once

#include "language.h"

extern const char kMessageCaption[];

// The stored bytes for a message language: Windows-1252, or code page 932
// for Japanese; one line feed between the two lines.
const char* not_found_text(MessageLanguage language);

// Shows the text of the system default language in a modal error box and
// returns what MessageBoxA returned (messages_win.cpp).
int show_not_found_message();
