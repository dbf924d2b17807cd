// The digest check with Wine's CNG and real files: SHA256SUMS beside the
// package, the package read in blocks.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../src/app/package_check_win.h"
#include "../../src/common/exit_codes.h"
#include "../support/support.h"

namespace {

const wchar_t kSums[] = L"C:\\tallowick-unit-sums\\SHA256SUMS";
const wchar_t kPackage[] = L"C:\\tallowick-unit-sums\\Files\\P.msp";
const char kName[] = "Files/P.msp";
// Standard SHA-256 vectors: "abc", and a million "a" (four blocks and a part).
const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kMillion[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

}  // namespace

TEST(PackageWhole, AgainstSha256Sums) {
    CreateDirectoryW(L"C:\\tallowick-unit-sums", NULL);
    CreateDirectoryW(L"C:\\tallowick-unit-sums\\Files", NULL);
    const std::string million(1000000, 'a');
    struct Case {
        const char* what;
        std::string sums;  // "-": no SHA256SUMS; "/": a folder of that name
        std::string package;
        unsigned long code;
    } cases[] = {
        {"no list", "-", "abc", 0},
        {"listed, whole", std::string(kAbc) + "  Files/P.msp\n", "abc", 0},
        {"listed, blocks", std::string(kMillion) + " *Files\\P.msp\n", million, 0},
        {"listed, cut short", std::string(kMillion) + "  Files/P.msp\n", million.substr(0, 999999),
         kExitPatchInvalid},
        {"listed, empty", std::string(kAbc) + "  Files/P.msp\n", "", kExitPatchInvalid},
        {"only setup.exe listed", std::string(kAbc) + "  setup.exe\n", "xyz", 0},
        {"listed with a short digest", std::string(kAbc, 63) + "  Files/P.msp\n", "abc",
         kExitPatchInvalid},
        {"a list that cannot be read", "/", "abc", kExitPatchInvalid},
    };
    for (const auto& c : cases) {
        DeleteFileW(kSums);
        RemoveDirectoryW(kSums);
        if (c.sums == "/") {
            CreateDirectoryW(kSums, NULL);
        } else if (c.sums != "-") {
            write_file(kSums, c.sums);
        }
        write_file(kPackage, c.package);
        EXPECT_EQ(check_package_whole(kSums, kPackage, kName), c.code) << c.what;
    }
    DeleteFileW(kSums);
    RemoveDirectoryW(kSums);
    DeleteFileW(kPackage);
    RemoveDirectoryW(L"C:\\tallowick-unit-sums\\Files");
    RemoveDirectoryW(L"C:\\tallowick-unit-sums");
}
