// Reading a SHA256SUMS list and comparing digests.
#include "sums.h"

#include "../common/text.h"

namespace {

// Stands in for a UTF-16 character outside ASCII: never a digit, blank or
// name character, so such a line can still be told to mention the package.
const char kForeign = '\x7F';

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool separator(char c) {
    return c == '/' || c == '\\';
}

char fold(char c) {
    if (c == '\\') return '/';
    return ascii_lower(c);
}

bool read_digest(const char* hex, size_t size, unsigned char* digest) {
    if (size != 2 * kDigestBytes) return false;
    for (size_t k = 0; k < size; ++k) {
        if (hex_value(hex[k]) < 0) return false;
    }
    for (size_t k = 0; k < kDigestBytes; ++k) {
        digest[k] =
            static_cast<unsigned char>(hex_value(hex[2 * k]) * 16 + hex_value(hex[2 * k + 1]));
    }
    return true;
}

bool names(const char* name, size_t size, bool escaped, const char* listed_name) {
    // "./Files/..." is how find(1) lists it; sha256sum -c opens the same file.
    if (size >= 2 && name[0] == '.' && name[1] == '/') {
        name += 2;
        size -= 2;
    } else if (escaped && size >= 3 && name[0] == '.' && name[1] == '\\' && name[2] == '\\') {
        name += 3;
        size -= 3;
    } else if (!escaped && size >= 2 && name[0] == '.' && name[1] == '\\') {
        name += 2;
        size -= 2;
    }
    size_t j = 0;
    for (size_t i = 0; i < size; ++i, ++j) {
        char c = name[i];
        if (escaped && c == '\\') {
            if (++i == size) return false;
            c = name[i] == 'n' ? '\n' : name[i] == 'r' ? '\r' : name[i];
        }
        if (listed_name[j] == 0 || fold(c) != fold(listed_name[j])) return false;
    }
    return listed_name[j] == 0;
}

// Whether the name stands anywhere in the line as a whole word; a run of
// separators (an escaped "\\") counts as one.
bool mentions(const char* line, size_t size, const char* listed_name) {
    for (size_t at = 0; at < size; ++at) {
        size_t i = at;
        size_t j = 0;
        while (listed_name[j] != 0 && i < size) {
            if (separator(listed_name[j]) && separator(line[i])) {
                while (i < size && separator(line[i])) ++i;
            } else if (fold(line[i]) == fold(listed_name[j])) {
                ++i;
            } else {
                break;
            }
            ++j;
        }
        // No Windows name goes on with a control character: a tab, or a CR
        // left by a list converted twice, ends the name as a blank does.
        if (listed_name[j] == 0 &&
            (i == size || static_cast<unsigned char>(line[i]) <= 0x20 || line[i] == ')')) {
            return true;
        }
    }
    return false;
}

// "<digest>  <name>", "<digest> *<name>" or "<digest> <name>".
Listing plain_form(const char* line, size_t size, bool escaped, const char* listed_name,
                   unsigned char* digest) {
    size_t start = escaped ? 1 : 0;
    size_t blank = start;
    while (blank < size && line[blank] != ' ') ++blank;
    if (blank + 1 >= size) return kNotListed;
    size_t name = blank + 1;
    if (line[name] == ' ' || line[name] == '*') ++name;
    if (!names(line + name, size - name, escaped, listed_name)) return kNotListed;
    return read_digest(line + start, blank - start, digest) ? kListed : kListedBadly;
}

// "SHA256 (<name>) = <digest>", as sha256sum --tag writes it.
Listing tagged_form(const char* line, size_t size, bool escaped, const char* listed_name,
                    unsigned char* digest) {
    const char tag[] = "SHA256 (";
    const size_t tag_size = sizeof tag - 1;
    size_t start = escaped ? 1 : 0;
    if (size < start + tag_size) return kNotListed;
    for (size_t k = 0; k < tag_size; ++k) {
        if (line[start + k] != tag[k]) return kNotListed;
    }
    const char close[] = ") = ";
    const size_t close_size = sizeof close - 1;
    // The last ") = ": a name may hold one, a digest never does.
    size_t end = size;
    for (size_t at = start + tag_size; at + close_size <= size; ++at) {
        bool here = true;
        for (size_t k = 0; k < close_size && here; ++k) here = line[at + k] == close[k];
        if (here) end = at;
    }
    if (end == size) return kNotListed;
    size_t name = start + tag_size;
    if (!names(line + name, end - name, escaped, listed_name)) return kNotListed;
    size_t hex = end + close_size;
    return read_digest(line + hex, size - hex, digest) ? kListed : kListedBadly;
}

}  // namespace

bool decode_sums_text(char* text, size_t* size) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t n = *size;
    if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return false;
    if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        if (n % 2 != 0) return false;
        size_t out = 0;
        // Each unit is read before its byte is written: out stays below i.
        for (size_t i = 2; i < n; i += 2) {
            unsigned unit = bytes[i] | (bytes[i + 1] << 8);
            if (unit == 0) return false;
            text[out++] = unit < 0x80 ? static_cast<char>(unit) : kForeign;
        }
        *size = out;
        return true;
    }
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == 0) return false;
    }
    return true;
}

Listing parse_sums_line(const char* line, size_t size, const char* listed_name,
                        unsigned char* digest) {
    if (size > 0 && line[size - 1] == '\r') --size;  // written on Windows
    bool escaped = size > 0 && line[0] == '\\';
    Listing listing = plain_form(line, size, escaped, listed_name, digest);
    if (listing == kNotListed) listing = tagged_form(line, size, escaped, listed_name, digest);
    if (listing == kNotListed && mentions(line, size, listed_name)) listing = kListedBadly;
    return listing;
}

Listing find_listed_digest(const char* text, size_t size, const char* listed_name,
                           unsigned char* digest) {
    size_t start = 0;
    // A byte order mark, as Notepad writes one.
    if (size >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF') start = 3;
    Listing listing = kNotListed;
    while (start < size) {
        size_t end = start;
        while (end < size && text[end] != '\n') ++end;
        unsigned char line_digest[kDigestBytes];
        Listing line = parse_sums_line(text + start, end - start, listed_name, line_digest);
        if (line == kListedBadly) return kListedBadly;
        if (line == kListed) {
            if (listing == kListed && !digest_equal(digest, line_digest)) return kListedBadly;
            for (size_t k = 0; k < kDigestBytes; ++k) digest[k] = line_digest[k];
            listing = kListed;
        }
        start = end + 1;
    }
    return listing;
}

bool digest_equal(const unsigned char* a, const unsigned char* b) {
    for (size_t k = 0; k < kDigestBytes; ++k) {
        if (a[k] != b[k]) return false;
    }
    return true;
}

bool digest_stamped(const unsigned char* stamp) {
    unsigned char any = 0;
    for (size_t i = 0; i < kDigestBytes; ++i) any |= stamp[i];
    return any != 0;
}
