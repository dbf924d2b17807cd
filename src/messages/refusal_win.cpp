// The refusal box, with Windows' own text for the exit code.
#include <windows.h>

#include "messages.h"
#include "refusal.h"

namespace {

const DWORD kTextCapacity = 1024;

}  // namespace

void show_refusal(unsigned long code, const char* advice, const wchar_t* folder,
                  const char* after) {
    wchar_t system_text[kTextCapacity];
    // FORMAT_MESSAGE_MAX_WIDTH_MASK: no line break of the message file's own,
    // so the code follows the text.
    const DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    // The system's language, as for the not-found box; any language where
    // Windows has no text for the code in that one.
    if (FormatMessageW(flags, NULL, code, GetSystemDefaultLangID(), system_text, kTextCapacity,
                       NULL) == 0 &&
        FormatMessageW(flags, NULL, code, 0, system_text, kTextCapacity, NULL) == 0) {
        lstrcpynW(system_text, kRefusalFallback, kTextCapacity);
    }
    // Bounded: a text that does not fit makes the call fail, never a cut one.
    // The English parts narrow (!S!): half their size in the file.
    DWORD_PTR parts[] = {reinterpret_cast<DWORD_PTR>(advice), reinterpret_cast<DWORD_PTR>(folder),
                         reinterpret_cast<DWORD_PTR>(after),
                         reinterpret_cast<DWORD_PTR>(system_text), code};
    wchar_t text[kTextCapacity];
    wchar_t caption[kMessageWideCapacity];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       L"%1!S!%2%3!S!%4%n(%5!lu!)", 0, 0, text, kTextCapacity,
                       reinterpret_cast<va_list*>(parts)) == 0 ||
        !widen_message(kMessageCaption, 1252, caption, kMessageWideCapacity)) {
        return;
    }
    MessageBoxW(NULL, text, caption, MB_OK | MB_ICONERROR);
}
