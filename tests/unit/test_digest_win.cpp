// The digest check with Wine's CNG and real files: SHA256SUMS beside the
// package, the package held and read in blocks.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../src/common/exit_codes.h"
#include "../../src/verify/checks_win.h"
#include "../support/support.h"

namespace {

const wchar_t kSums[] = L"C:\\tallowick-unit-sums\\SHA256SUMS";
const wchar_t kPackage[] = L"C:\\tallowick-unit-sums\\Files\\P.msp";
const char kName[] = "Files/P.msp";
// Standard SHA-256 vectors: "abc", and a million "a" (four blocks and a part).
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kMillion[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

std::string utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

unsigned long check(const std::string& sums, const std::string& package) {
    DeleteFileW(kSums);
    RemoveDirectoryW(kSums);
    if (sums == "/") {
        CreateDirectoryW(kSums, NULL);
    } else if (sums != "-") {
        write_file(kSums, sums);
    }
    write_file(kPackage, package);
    HANDLE held = INVALID_HANDLE_VALUE;
    unsigned long code = hold_package(kPackage, &held);
    if (code == 0) code = check_package_whole(kSums, held, kName, kNoStamp);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return code;
}

}  // namespace

TEST(PackageWhole, AgainstSha256Sums) {
    CreateDirectoryW(L"C:\\tallowick-unit-sums", NULL);
    CreateDirectoryW(L"C:\\tallowick-unit-sums\\Files", NULL);
    const std::string million(1000000, 'a');
    const std::string setup_line = std::string(64, '0') + "  setup.exe\n";
    struct Case {
        const char* what;
        std::string sums;  // "-": no SHA256SUMS; "/": a folder of that name
        std::string package;
        unsigned long code;
    } cases[] = {
        {"no list", "-", "abc", 0},
        {"listed, whole", kAbc + "  Files/P.msp\n", "abc", 0},
        {"listed, blocks", std::string(kMillion) + " *Files\\P.msp\n", million, 0},
        {"listed, cut short", std::string(kMillion) + "  Files/P.msp\n", million.substr(0, 999999),
         kExitPatchInvalid},
        {"listed, empty", kAbc + "  Files/P.msp\n", "", kExitPatchInvalid},
        {"only setup.exe listed", kAbc + "  setup.exe\n", "xyz", kExitPatchInvalid},
        {"listed with a short digest", kAbc.substr(0, 63) + "  Files/P.msp\n", "abc",
         kExitPatchInvalid},
        {"a list that cannot be read", "/", "abc", kExitPatchInvalid},
        // Each form sha256sum -c reads vouches for the package, and only for it.
        {"--tag", "SHA256 (Files/P.msp) = " + kAbc + "\n", "abc", 0},
        {"--tag, changed", "SHA256 (Files/P.msp) = " + kAbc + "\n", "abd", kExitPatchInvalid},
        {"one blank", kAbc + " Files/P.msp\n", "abc", 0},
        {"one blank, changed", kAbc + " Files/P.msp\n", "abd", kExitPatchInvalid},
        {"./", kAbc + "  ./Files/P.msp\n", "abc", 0},
        {"./, changed", kAbc + "  ./Files/P.msp\n", "abd", kExitPatchInvalid},
        {"UTF-16", utf16(kAbc + "  Files/P.msp\r\n"), "abc", 0},
        {"UTF-16, changed", utf16(kAbc + "  Files/P.msp\r\n"), "abd", kExitPatchInvalid},
        {"a zero byte", kAbc + "  Files/P.msp\n" + std::string(1, 0), "abc", kExitPatchInvalid},
        {"UTF-16 big-endian", "\xFE\xFF" + utf16(kAbc + "  Files/P.msp\r\n"), "abc",
         kExitPatchInvalid},
        {"a non-hex letter", "g" + kAbc.substr(1) + "  Files/P.msp\n", "abc", kExitPatchInvalid},
        // Past the read buffer (256 KiB), the package's line at its end is never read.
        {"a list too large to read",
         [&] {
             std::string big;
             while (big.size() <= 256 * 1024) big += setup_line;
             return big + kAbc + "  Files/P.msp\n";
         }(),
         "abd", kExitPatchInvalid},
    };
    for (const auto& c : cases) EXPECT_EQ(check(c.sums, c.package), c.code) << c.what;

    DeleteFileW(kSums);
    RemoveDirectoryW(kSums);
    DeleteFileW(kPackage);
    RemoveDirectoryW(L"C:\\tallowick-unit-sums\\Files");
    RemoveDirectoryW(L"C:\\tallowick-unit-sums");
}
