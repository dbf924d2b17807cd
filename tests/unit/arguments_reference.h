// The forwarded-argument rule stated word by word, independently of the
// one-pass filter: split the tail into words and the blanks between them,
// drop each word that is exactly "/s" and begins outside double quotes,
// join the rest, cut at cap - 1. Shared by the unit table and the fuzz harness.
#pragma once

#include <string>

inline std::wstring reference_filter(const std::wstring& tail, size_t cap) {
    std::wstring out;
    bool quoted = false;
    size_t i = 0;
    while (i < tail.size()) {
        size_t blanks = i;
        while (blanks < tail.size() && (tail[blanks] == L' ' || tail[blanks] == L'\t')) ++blanks;
        out += tail.substr(i, blanks - i);
        bool outside = !quoted;
        size_t end = blanks;
        while (end < tail.size() && (quoted || (tail[end] != L' ' && tail[end] != L'\t'))) {
            if (tail[end] == L'"') quoted = !quoted;
            ++end;
        }
        std::wstring word = tail.substr(blanks, end - blanks);
        if (!(outside && word == L"/s")) out += word;
        i = end;
    }
    return out.substr(0, cap - 1);
}
