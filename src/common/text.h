// Bounded text copies and appends over fixed arrays, narrow or wide.
// Each either writes the whole text with its terminating zero and returns
// true, or writes nothing and returns false: a path or command that does not
// fit is refused, never cut.
#pragma once

#include <stddef.h>

template <typename C>
size_t text_length(const C* s) {
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// Appends src to the zero-terminated text in dst (capacity cap, zero included).
template <typename C>
bool text_append(C* dst, size_t cap, const C* src) {
    size_t used = text_length(dst);
    size_t add = text_length(src);
    if (used + add >= cap) return false;
    for (size_t i = 0; i <= add; ++i) dst[used + i] = src[i];
    return true;
}

// Replaces dst with src; on refusal dst keeps its old text.
template <typename C>
bool text_copy(C* dst, size_t cap, const C* src) {
    if (cap == 0 || text_length(src) >= cap) return false;
    dst[0] = 0;
    return text_append(dst, cap, src);
}

// A-Z to a-z and nothing else: a locale-aware lower-casing would change
// other letters, and Windows compares these names without a locale.
template <typename C>
C ascii_lower(C c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<C>(c - 'A' + 'a') : c;
}

template <typename C>
bool text_ends_with(const C* s, C c) {
    size_t n = text_length(s);
    return n > 0 && s[n - 1] == c;
}

// Makes data read into buf (capacity cap, size bytes reported by the read)
// a zero-terminated text. Registry data need not carry its own zero; data
// that fills the whole buffer without one has no room for it: false.
template <typename C>
bool text_terminate(C* buf, size_t cap, size_t size) {
    if (size < cap) {
        buf[size] = 0;
        return true;
    }
    for (size_t i = 0; i < cap; ++i) {
        if (buf[i] == 0) return true;
    }
    return false;
}
