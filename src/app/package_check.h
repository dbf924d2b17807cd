// What a SHA256SUMS list says of the patch package, as text: the digest it
// gives for the package's name, in the format that "sha256sum -c" reads.
#pragma once

#include <stddef.h>

const size_t kDigestBytes = 32;  // SHA-256

enum Listing {
    kNotListed,   // no line names the package: there is nothing to check against
    kListed,      // the digest the list gives for it
    kListedBadly  // a line names it with no usable digest, or lines disagree
};

// One line, without its line feed: "<64 hex digits>  <name>", or with "*"
// for the second blank (binary mode). A leading backslash marks a name
// written with escapes ("\\" for a backslash). The name compares with
// listed_name in either case of letters and with "/" and "\" alike.
Listing parse_sums_line(const char* line, size_t size, const char* listed_name,
                        unsigned char* digest);

// Every line of the list. kListed only when each line that names the
// package gives the same digest.
Listing find_listed_digest(const char* text, size_t size, const char* listed_name,
                           unsigned char* digest);

bool digest_equal(const unsigned char* a, const unsigned char* b);
