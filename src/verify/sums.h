// What a SHA256SUMS list says of the patch package, as text: the digest it
// gives for the package's name, in the forms that "sha256sum -c" reads.
#pragma once

#include <stddef.h>

const size_t kDigestBytes = 32;  // SHA-256

enum Listing {
    kNotListed,   // no line mentions the package: the list does not vouch for it
    kListed,      // the digest the list gives for it
    kListedBadly  // a line mentions it but does not vouch for it, or lines disagree
};

// Makes the list's bytes plain 8-bit text in place: a UTF-16LE list (byte
// order mark FF FE) is narrowed, each unit above 0x7F to a byte that no
// digest or name holds. False for text that cannot be a list: UTF-16BE, an
// odd UTF-16 size, or a zero byte.
bool decode_sums_text(char* text, size_t* size);

// One line, without its line feed. Read are "<digest> <name>" with one or two
// blanks, "<digest> *<name>" (binary mode), and "SHA256 (<name>) = <digest>"
// (sha256sum --tag); a leading backslash marks a name written with escapes.
// The name compares with listed_name in either case of letters, with "/" and
// "\" alike, with or without a leading "./". A line that mentions the name
// (followed by a blank or control character, ")" or the line's end) in any
// other shape, or with a digest that is not 64 hex digits, is kListedBadly.
Listing parse_sums_line(const char* line, size_t size, const char* listed_name,
                        unsigned char* digest);

// Every line of a decoded list (a UTF-8 byte order mark is skipped). kListed
// only when each line that mentions the package gives the same digest.
Listing find_listed_digest(const char* text, size_t size, const char* listed_name,
                           unsigned char* digest);

bool digest_equal(const unsigned char* a, const unsigned char* b);

// True for a digest stamped into setup.exe: an unstamped build holds zeros.
bool digest_stamped(const unsigned char* stamp);
