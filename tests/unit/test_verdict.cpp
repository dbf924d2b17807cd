// The Windows Installer's answer on the patch as the run's decision, and
// the codes of checks that cannot run.
#include <gtest/gtest.h>

#include <string>

#include "../../src/common/exit_codes.h"
#include "../../src/verify/verdict.h"

TEST(PatchVerdict, Table) {
    const unsigned long kAny = 0, kLast = kOrderNotApplicable;
    struct Case {
        ReleaseSource source;
        unsigned long call, status, order, code;
    } cases[] = {
        {kByInstaller, 0, 0, 0, 0},
        {kByInstaller, 0, 1642, kAny, 1642},
        {kByInstaller, 0, 1636, kAny, 1636},
        {kByInstaller, 0, 1, kAny, 1603},   // a status of 1 is never "not eligible"
        {kByInstaller, 0, 0, kLast, 1642},  // obsolete or superseded: no place in the order
        {kByUninstallEntry, 0, 0, kLast, 1642},
        {kByUninstallEntry, 0, 1642, kAny, 1642},
        // No verdict: refused when the installer knows the release.
        {kByInstaller, 1612, 0, kAny, 1612},
        {kByInstaller, 1605, 1642, kAny, 1642},
        {kByInstaller, 1, 0, kAny, 1603},  // never "not eligible"
        {kByUninstallEntry, 1610, 0, kAny, 0},
        {kByUninstallEntry, 1605, 0, kAny, 1605},  // the installer knows no such product
        {kByUninstallEntry, 1612, 1642, kAny, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(patch_verdict(c.source, c.call, c.status, c.order), c.code)
            << c.source << " " << c.call << " " << c.status << " " << c.order;
    }
}

TEST(CheckFailureCode, NeverSuccessNotEligibleOrReplaceThePackage) {
    struct Case {
        unsigned long error, code;
    } cases[] = {
        {126, 126},  // ERROR_MOD_NOT_FOUND: bcrypt.dll unavailable
        {127, 127},  // ERROR_PROC_NOT_FOUND
        {0, 50},    {1, 50}, {1636, 50},
    };
    for (const auto& c : cases) EXPECT_EQ(check_failure_code(c.error), c.code) << c.error;
}

TEST(PatchCode, TheRevisionNumbersFirstGuidOrNothing) {
    const std::wstring code = L"{09AFaf09-09af-AF09-09af-0123456789AF}";
    wchar_t out[kGuidChars];
    EXPECT_TRUE(patch_code_of((code + L"{0B2C3D4E-0000-0000-0000-000000000000}").c_str(), out));
    EXPECT_EQ(std::wstring(out), code);  // the patches it replaces follow
    // Each just outside a range of hex digits, or a brace or a dash missing.
    const wchar_t kBad[] = L"/:@G`g[0)";
    const size_t kAt[] = {1, 1, 1, 1, 1, 1, 0, 9, 37};
    for (size_t k = 0; k < 9; ++k) {
        std::wstring wrong = code + L"{";
        wrong[kAt[k]] = kBad[k];
        EXPECT_FALSE(patch_code_of(wrong.c_str(), out) || out[0] != 0) << k;
    }
}
