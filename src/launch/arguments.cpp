// The forwarded-argument filter.
//
// The switch goes only where it is a whole argument, so a path, a value or
// a URL that holds the same two characters reaches msiexec as typed. One
// pass: nothing removed can bring a new whole switch together, because the
// blanks around a removed one stay.
#include "arguments.h"

#include "../common/text.h"

namespace {

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool switch_at(const wchar_t* p, const wchar_t* sw, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (p[i] != sw[i]) return false;
    }
    return p[length] == 0 || is_blank(p[length]);
}

}  // namespace

void filter_arguments(const wchar_t* tail, const wchar_t* sw, wchar_t* out, int cap) {
    if (cap <= 0) return;
    const size_t length = text_length(sw);
    int kept = 0;
    bool quoted = false;
    bool word_start = true;  // the tail begins after the blanks that follow the program name
    for (const wchar_t* p = tail; *p != 0 && kept < cap - 1;) {
        if (!quoted && word_start && length > 0 && switch_at(p, sw, length)) {
            p += length;
            word_start = false;
            continue;
        }
        wchar_t c = *p++;
        if (c == L'"') quoted = !quoted;
        word_start = is_blank(c);
        out[kept++] = c;
    }
    for (int i = kept; i < cap; ++i) out[i] = 0;
}

namespace {

bool word_is(const wchar_t* word, size_t length, const wchar_t* name) {
    size_t i = 0;
    for (; i < length && name[i] != 0; ++i) {
        if (ascii_lower(word[i]) != name[i]) return false;
    }
    return i == length && name[i] == 0;
}

// msiexec's quiet user-interface levels: q alone, or q, then n or b, then
// + or - and !, each at most once and in either order (/qb-! and /qb!-
// alike). /qr and /qf are its levels for a person at the screen. *modal is
// set for a "+", which ends the run in a box that waits for a click, and for
// the basic level without "-": the Windows Installer documents modal error
// boxes for /qb and /qb! (only /qb- has none).
bool quiet_level(const wchar_t* word, size_t length, bool* modal) {
    if (length == 0 || ascii_lower(word[0]) != L'q') return false;
    if (length == 1) return true;
    if (ascii_lower(word[1]) != L'n' && ascii_lower(word[1]) != L'b') return false;
    *modal = ascii_lower(word[1]) == L'b';
    bool sign = false;
    bool bang = false;
    for (size_t i = 2; i < length; ++i) {
        if (!sign && (word[i] == L'+' || word[i] == L'-')) {
            sign = true;
            *modal = word[i] == L'+';
        } else if (!bang && word[i] == L'!') {
            bang = true;
        } else {
            return false;
        }
    }
    return true;
}

// msiexec's help and the options that select another operation than
// applying this patch: install, administrative install, advertise,
// uninstall, repair, another patch or update, (un)registering. msiexec
// matches most by their first letter (/x{code}, /fvomus), so do we, after
// the options of ours that share one.
bool another_operation(const wchar_t* name, size_t length) {
    static const wchar_t* const kKept[] = {L"passive", L"promptrestart", L"forcerestart"};
    static const wchar_t* const kWords[] = {L"uninstall", L"update", L"unregister", L"regserver",
                                            L"unregserver"};
    for (const wchar_t* kept : kKept) {
        if (word_is(name, length, kept)) return false;
    }
    for (const wchar_t* word : kWords) {
        if (word_is(name, length, word)) return true;
    }
    for (const wchar_t* first = L"?haijxfpyz"; *first != 0; ++first) {
        if (ascii_lower(name[0]) == *first) return true;  // /help and /package too
    }
    return false;
}

// The Windows Installer's properties that turn applying this patch into
// another operation (install, remove or advertise features, components or
// files; remove or apply other patches; run another top-level action), and
// a REINSTALL beside the one setup.exe passes.
bool another_operation_property(const wchar_t* name, size_t length) {
    static const wchar_t* const kProperties[] = {
        L"action",         L"executeaction", L"addlocal",       L"addsource",
        L"adddefault",     L"advertise",     L"compaddlocal",   L"compaddsource",
        L"compadddefault", L"fileaddlocal",  L"fileaddsource",  L"fileadddefault",
        L"remove",         L"reinstall",     L"msipatchremove", L"patch",
    };
    for (const wchar_t* property : kProperties) {
        if (word_is(name, length, property)) return true;
    }
    return false;
}

// A word as msiexec reads it: blanks and control characters part words
// outside double quotes, and the quotes come off before it is judged
// ("/x" is /x to msiexec). Its first characters, and its whole length.
const size_t kWordChars = 64;
struct Word {
    wchar_t text[kWordChars];
    size_t length;
};

bool next_word(const wchar_t** args, Word* word) {
    const wchar_t* p = *args;
    while (*p != 0 && *p <= 0x20) ++p;
    if (*p == 0) return false;
    bool quoted = false;
    word->length = 0;
    for (; *p != 0 && (quoted || *p > 0x20); ++p) {
        if (*p == L'"') {
            quoted = !quoted;
        } else {
            if (word->length < kWordChars - 1) word->text[word->length] = *p;
            ++word->length;
        }
    }
    word->text[word->length < kWordChars ? word->length : kWordChars - 1] = 0;
    *args = p;
    return true;
}

// The property a word sets: the name before its "=", or, for a word that
// begins with one, the word before it (msiexec joins "REMOVE = ALL" back
// into one setting). Its length, 0 for a word that sets none.
size_t property_name(const Word& word, const Word& before, const wchar_t** name) {
    size_t at = 0;
    while (word.text[at] != 0 && word.text[at] != L'=') ++at;
    if (word.text[at] == 0) return 0;
    *name = at > 0 ? word.text : before.text;
    return at > 0 ? at : text_length(before.text);
}

// What the user-interface switches among the options ask of msiexec.
struct Levels {
    bool quiet;       // any quiet level: setup.exe's own boxes stay hidden
    bool unattended;  // a level without a window that waits for a click
    bool attended;    // a level with one: /qf, /qr, a "+", /qb without "-"
    bool other;       // another operation than this patch, or msiexec's help
};

Levels read_levels(const wchar_t* args) {
    Levels levels = {false, false, false, false};
    Word words[2] = {};
    bool log_file = false;
    for (int n = 0; next_word(&args, &words[n % 2]); ++n) {
        const Word& word = words[n % 2];
        const wchar_t* name = word.text + 1;
        // No name we judge is as long as the part kept.
        size_t length = (word.length < kWordChars ? word.length : kWordChars - 1) - 1;
        bool option = word.length >= 2 && (word.text[0] == L'/' || word.text[0] == L'-');
        bool modal = false;
        if (log_file) {
            log_file = false;  // the word after /l... or /log is its file, never an option
        } else if (!option) {
            const wchar_t* property = nullptr;
            size_t property_length = property_name(word, words[(n + 1) % 2], &property);
            levels.other |=
                property_length > 0 && another_operation_property(property, property_length);
        } else if (quiet_level(name, length, &modal) || word_is(name, length, L"quiet") ||
                   word_is(name, length, L"passive")) {
            levels.quiet = true;
            levels.unattended |= !modal;
            levels.attended |= modal;
        } else if (word_is(name, length, L"qf") || word_is(name, length, L"qr")) {
            levels.attended = true;
        } else if (ascii_lower(name[0]) == L'l') {
            log_file = true;
        } else {
            levels.other |= another_operation(name, length);
        }
    }
    return levels;
}

}  // namespace

bool asks_quiet(const wchar_t* args) {
    return read_levels(args).quiet;
}

bool waits_for_a_person(const wchar_t* args) {
    Levels levels = read_levels(args);
    return !levels.unattended || levels.attended;
}

bool asks_another_operation(const wchar_t* args) {
    return read_levels(args).other;
}
