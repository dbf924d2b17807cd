// The not-found message: its texts and the box that shows one.
#pragma once

#include <stddef.h>

#include "language.h"

extern const char kMessageCaption[];

// The stored bytes for a message language: Windows-1252, or code page 932
// for Japanese; one line feed between the two lines.
const char* not_found_text(MessageLanguage language);

// The code page that the stored bytes of a language are written in.
unsigned int message_code_page(MessageLanguage language);

// Windows edges (messages_win.cpp).
const size_t kMessageWideCapacity = 256;

// The stored bytes in UTF-16, decoded in their own code page rather than the
// system's ANSI code page (which may be UTF-8). False when they do not convert.
bool widen_message(const char* bytes, unsigned int code_page, wchar_t* out, size_t cap);

// box_can_be_seen for this process: its window station's flags and its
// session. A deployment agent, a service or quiet options: no box.
bool boxes_can_be_seen(bool quiet);

// The session of process pid; 0 when Windows cannot tell, since a box in
// session 0 would wait for a click that never comes.
unsigned long process_session(unsigned long pid);

// Shows the text of the system default language in a modal error box and
// returns what the box returned. Only where boxes_can_be_seen.
int show_not_found_message();
