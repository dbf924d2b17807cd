// The not-found message box, and whether a box can be seen at all.
#include <windows.h>

#include "box_rule.h"
#include "messages.h"

// What .NET's Environment.UserInteractive asks, and the session besides: a
// service, or an agent running as SYSTEM, has a window station that no
// person can see, and a box there would wait forever for a click.
bool boxes_can_be_seen(bool quiet) {
    USEROBJECTFLAGS flags;
    ZeroMemory(&flags, sizeof flags);
    DWORD needed = 0;
    if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                   &needed)) {
        flags.dwFlags = WSF_VISIBLE;  // unknown: show the box, as before
    }
    return box_can_be_seen(quiet, flags.dwFlags, process_session(GetCurrentProcessId()));
}

unsigned long process_session(unsigned long pid) {
    DWORD session = 0;
    return ProcessIdToSessionId(pid, &session) ? session : 0;
}

bool widen_message(const char* bytes, unsigned int code_page, wchar_t* out, size_t cap) {
    int n =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, -1, out, static_cast<int>(cap));
    return n > 0;
}

int show_not_found_message() {
    // Read now, not at start-up: the box speaks the system's language of the moment.
    MessageLanguage language = message_language(GetSystemDefaultLangID());
    const char* text = not_found_text(language);
    wchar_t wide_text[kMessageWideCapacity];
    wchar_t wide_caption[kMessageWideCapacity];
    if (widen_message(text, message_code_page(language), wide_text, kMessageWideCapacity) &&
        widen_message(kMessageCaption, 1252, wide_caption, kMessageWideCapacity)) {
        return MessageBoxW(NULL, wide_text, wide_caption, MB_OK | MB_ICONERROR);
    }
    // Only a system without the text's code page gets here: the bytes as they are.
    return MessageBoxA(NULL, text, kMessageCaption, MB_OK | MB_ICONERROR);
}
