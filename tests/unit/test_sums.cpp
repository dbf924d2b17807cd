// SHA256SUMS lines: which name the patch package, and with what digest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../src/verify/sums.h"

namespace {

const char kName[] = "Files/TallowickServer14v3Update.msp";
// SHA-256 of "test".
const std::string kHex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const unsigned char kDigest[kDigestBytes] = {
    0x9f, 0x86, 0xd0, 0x81, 0x88, 0x4c, 0x7d, 0x65, 0x9a, 0x2f, 0xea, 0xa0, 0xc5, 0x5a, 0xd0, 0x15,
    0xa3, 0xbf, 0x4f, 0x1b, 0x2b, 0x0b, 0x82, 0x2c, 0xd1, 0x5d, 0x6c, 0x15, 0xb0, 0xf0, 0x0a, 0x08};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(toupper(c));
    return s;
}

// Notepad's "Unicode": a byte order mark, then UTF-16LE.
std::string utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

}  // namespace

TEST(SumsLine, Table) {
    struct Case {
        std::string line;
        Listing listing;
    } cases[] = {
        {kHex + "  Files/TallowickServer14v3Update.msp", kListed},
        {kHex + " *Files/TallowickServer14v3Update.msp", kListed},  // binary mode
        {kHex + "  Files\\TallowickServer14v3Update.msp", kListed},
        {kHex + "  files/TALLOWICKSERVER14V3UPDATE.MSP", kListed},
        {upper(kHex) + "  Files/TallowickServer14v3Update.msp", kListed},
        {kHex + "  Files/TallowickServer14v3Update.msp\r", kListed},          // CRLF
        {"\\" + kHex + "  Files\\\\TallowickServer14v3Update.msp", kListed},  // escaped name
        {"\\" + kHex + "  .\\\\Files\\\\TallowickServer14v3Update.msp", kListed},
        {"\\" + kHex + "  Files\\", kNotListed},  // an escape cut short
        {kHex + "  Files/TallowickServer14v2Update.msp", kNotListed},
        {"# FilesTallowickServer14v3Update.msp", kNotListed},
        {kHex + " ", kNotListed},
        {kHex + "  setup.exe", kNotListed},
        {kHex + "  Files/TallowickServer14v3Update.msp.old", kNotListed},
        {kHex + "  Files/TallowickServer14v3Update.ms", kNotListed},
        {kHex + "  TallowickServer14v3Update.msp", kNotListed},
        {kHex + " Files/TallowickServer14v3Update.msp", kListed},  // one blank
        {kHex + "  ./Files/TallowickServer14v3Update.msp", kListed},
        {kHex + "  .\\Files\\TallowickServer14v3Update.msp", kListed},
        {"SHA256 (Files/TallowickServer14v3Update.msp) = " + kHex, kListed},  // --tag
        {"SHA256 (./Files/TallowickServer14v3Update.msp) = " + kHex + "\r", kListed},
        // Mentioned, but not vouched for in a form that sha256sum -c reads.
        {kHex.substr(0, 20) + "g" + kHex.substr(21) + "  Files/TallowickServer14v3Update.msp",
         kListedBadly},
        {"SHA256 (Files/TallowickServer14v3Update.msp) = " + kHex.substr(1), kListedBadly},
        {"MD5 (Files/TallowickServer14v3Update.msp) = 0123", kListedBadly},
        {"SHA512 (Files/TallowickServer14v3Update.msp) = " + kHex, kListedBadly},
        {"# Files\\\\TallowickServer14v3Update.msp", kListedBadly},
        {kHex + "\tFiles/TallowickServer14v3Update.msp", kListedBadly},
        {std::string(64, 'a') + "  Files/TallowickServer14v3Update.msp\t", kListedBadly},
        {std::string(64, 'a') + "  Files/TallowickServer14v3Update.msp\r\r", kListedBadly},
        {std::string(64, 'a') + "  Files/TallowickServer14v3Update.msp (copy)", kListedBadly},
        {"# Files/TallowickServer14v3Update.msp", kListedBadly},
        {kHex.substr(0, 63) + "  Files/TallowickServer14v3Update.msp", kListedBadly},
        {kHex + "0  Files/TallowickServer14v3Update.msp", kListedBadly},
        {"", kNotListed},
    };
    for (const auto& c : cases) {
        unsigned char digest[kDigestBytes] = {};
        // Exactly the line's bytes: a read past them is caught by the sanitizer.
        std::vector<char> line(c.line.begin(), c.line.end());
        EXPECT_EQ(parse_sums_line(line.data(), line.size(), kName, digest), c.listing) << c.line;
        if (c.listing == kListed) {
            EXPECT_TRUE(digest_equal(digest, kDigest)) << c.line;
        }
    }
}

TEST(SumsList, EveryLineThatNamesThePackageMustAgree) {
    std::string other = std::string(64, 'a');
    struct Case {
        std::string text;
        Listing listing;
    } cases[] = {
        {other + "  setup.exe\n" + kHex + "  Files/TallowickServer14v3Update.msp\n", kListed},
        {"\xEF\xBB\xBF" + kHex + "  Files/TallowickServer14v3Update.msp", kListed},  // BOM
        {other + "  setup.exe\n", kNotListed},
        {"", kNotListed},
        {kHex + "  Files/TallowickServer14v3Update.msp\n" + upper(kHex) +
             " *Files\\TallowickServer14v3Update.msp\n",
         kListed},
        {kHex + "  Files/TallowickServer14v3Update.msp\n" + other +
             "  Files/TallowickServer14v3Update.msp\n",
         kListedBadly},
        {utf16(kHex + "  Files/TallowickServer14v3Update.msp\r\n"), kListed},
        {utf16(other + "  setup.exe\r\n"), kNotListed},
        {utf16(kHex + "  Files/TallowickServer14v3Update.msp") + "x", kListedBadly},  // odd size
        {utf16(kHex + "  Files/TallowickServer14v3Update.msp").substr(2), kListedBadly},  // no BOM
        {std::string("\xFE\xFF\0", 3) + "9", kListedBadly},  // UTF-16BE
        {"\xFE\xFF", kListedBadly},
        {utf16(kHex + "  Files/TallowickServer14v3Update.msp\n") + std::string(2, '\0'),
         kListedBadly},  // U+0000
        {other + "  Files/TallowickServer14v3Update.msp\r" + other + "  setup.exe\r",
         kListedBadly},  // CR-only line ends
    };
    for (auto& c : cases) {
        unsigned char digest[kDigestBytes] = {};
        std::vector<char> text(c.text.begin(), c.text.end());
        size_t size = text.size();
        Listing listing = decode_sums_text(text.data(), &size)
                              ? find_listed_digest(text.data(), size, kName, digest)
                              : kListedBadly;
        EXPECT_EQ(listing, c.listing) << c.text;
        if (c.listing == kListed) {
            EXPECT_TRUE(digest_equal(digest, kDigest)) << c.text;
        }
    }
    unsigned char changed[kDigestBytes];
    for (size_t k = 0; k < kDigestBytes; ++k) changed[k] = kDigest[k];
    changed[kDigestBytes - 1] ^= 1;
    EXPECT_FALSE(digest_equal(changed, kDigest));
    unsigned char stamp[kDigestBytes] = {};  // a build never stamped holds zeros
    EXPECT_FALSE(digest_stamped(stamp));
    stamp[kDigestBytes - 1] = 1;
    EXPECT_TRUE(digest_stamped(stamp));
}
