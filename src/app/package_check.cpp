// Reading a SHA256SUMS list and comparing digests.
#include "package_check.h"

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char fold(char c) {
    if (c == '\\') return '/';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool names(const char* name, size_t size, bool escaped, const char* listed_name) {
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

}  // namespace

Listing parse_sums_line(const char* line, size_t size, const char* listed_name,
                        unsigned char* digest) {
    if (size > 0 && line[size - 1] == '\r') --size;  // written on Windows
    bool escaped = size > 0 && line[0] == '\\';
    size_t hex = escaped ? 1 : 0;
    size_t i = hex;
    while (i < size && hex_value(line[i]) >= 0) ++i;
    if (i + 2 > size || line[i] != ' ' || (line[i + 1] != ' ' && line[i + 1] != '*')) {
        return kNotListed;
    }
    if (!names(line + i + 2, size - i - 2, escaped, listed_name)) return kNotListed;
    if (i - hex != 2 * kDigestBytes) return kListedBadly;
    for (size_t k = 0; k < kDigestBytes; ++k) {
        digest[k] = static_cast<unsigned char>(hex_value(line[hex + 2 * k]) * 16 +
                                               hex_value(line[hex + 2 * k + 1]));
    }
    return kListed;
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
