// The patch command and the application name.
#include <gtest/gtest.h>

#include <string>

#include "../../src/common/exit_codes.h"
#include "../../src/launch/busy.h"
#include "../../src/launch/patch.h"

namespace {

const wchar_t kSystem[] = L"C:\\Windows\\system32";
const wchar_t kPackagePath[] = L"C:\\PKG\\Files\\TallowickServer14v3Update.msp";

}  // namespace

TEST(PatchCommand, Table) {
    struct Case {
        const wchar_t* package_path;
        const wchar_t* args;
        const wchar_t* command;  // nullptr: refused
    } cases[] = {
        {L"C:\\PKG\\Files\\P.msp", L"",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"C:\\PKG\\Files\\P.msp "},
        {L"C:\\PKG\\Files\\P.msp", L" /qn",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"C:\\PKG\\Files\\P.msp  /qn"},
        {L"c:\\upd dir\\Files\\P.msp", L"/qn",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"\"c:\\upd dir\\Files\\P.msp\" /qn"},
        {L"c:\\a&b^c\\Files\\P.msp", L"",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"\"c:\\a&b^c\\Files\\P.msp\" "},
        {L"\\\\srv\\pkg-1_2\\Files\\P.msp", L"",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"\\\\srv\\pkg-1_2\\Files\\P.msp "},
        // cmd expands %NAME% inside quotes too: the path would not be the one checked.
        {L"C:\\P%OS%Q\\Files\\P.msp", L"", nullptr},
        {L"C:\\a%\\b%\\Files\\P.msp", L"", nullptr},
        {L"C:\\%A%\\Files\\P.msp", L"", nullptr},
        {L"C:\\100% Upd\\Files\\P.msp", L"",  // one sign: nothing to expand
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"\"C:\\100% Upd\\Files\\P.msp\" "},
        {L"C:\\A%%B\\Files\\P.msp", L"",  // "%%" names no variable
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"C:\\A%%B\\Files\\P.msp "},
        {L"C:\\A!OS!B\\Files\\P.msp", L"",  // /V:OFF: "!" is never expanded
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"\"C:\\A!OS!B\\Files\\P.msp\" "},
        // Options reach msiexec as typed: cmd's own characters outside quotes
        // get a caret; what cmd would still change refuses.
        {kPackagePath, L"PROP=a&b C=x|y \"D=<&>^\" E=a^b F=<> G=100%",
         L"/D /V:OFF /C C:\\Windows\\system32\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p "
         L"C:\\PKG\\Files\\TallowickServer14v3Update.msp "
         L"PROP=a^&b C=x^|y \"D=<&>^\" E=a^^b F=^<^> G=100%"},
        {kPackagePath, L"PROP=%WINDIR%", nullptr},
        {kPackagePath, L"A=\"%OS%\"", nullptr},
        {kPackagePath, L"/qn\nB=1", nullptr},
        {kPackagePath, L"/qn\rB=1", nullptr},
        {kPackagePath, L"A=100% B=%%", nullptr},
    };
    for (const auto& c : cases) {
        wchar_t out[kCommandCapacity] = L"untouched";
        EXPECT_EQ(build_patch_command(kSystem, c.package_path, c.args, out, kCommandCapacity),
                  c.command != nullptr)
            << c.package_path;
        EXPECT_STREQ(out, c.command ? c.command : L"untouched");
    }
}

TEST(PatchCommand, EveryCmdSpecialCharacterIsQuoted) {
    for (const wchar_t* p = L" &()[]{}^=;!'+,`"; *p; ++p) {
        wchar_t path[] = L"c:\\a?b\\";
        path[4] = *p;
        EXPECT_TRUE(needs_quotes(path)) << static_cast<int>(*p);
    }
    // Every 8.3 name holds a tilde; outside "%~" it means nothing to cmd.
    EXPECT_FALSE(needs_quotes(L"C:\\UPDDIR~1\\PKG-1_2.X\\Files\\"));
}

TEST(PatchCommand, RefusedWhenItWouldNotFit) {
    wchar_t probe[kCommandCapacity] = {};
    ASSERT_TRUE(build_patch_command(kSystem, kPackagePath, L"", probe, kCommandCapacity));
    size_t fixed = std::wstring(probe).size();
    std::wstring args(kCommandCapacity - 1 - fixed, L'a');  // exactly 999 characters
    wchar_t out[kCommandCapacity] = L"untouched";
    EXPECT_TRUE(build_patch_command(kSystem, kPackagePath, args.c_str(), out, kCommandCapacity));
    EXPECT_EQ(std::wstring(out).size(), kCommandCapacity - 1);
    std::wstring amp = args.substr(1) + L"&";  // fits as typed, not with its caret
    args += L'a';
    wcscpy(out, L"untouched");
    EXPECT_FALSE(build_patch_command(kSystem, kPackagePath, args.c_str(), out, kCommandCapacity));
    EXPECT_FALSE(build_patch_command(kSystem, kPackagePath, amp.c_str(), out, kCommandCapacity));
    EXPECT_STREQ(out, L"untouched");
}

TEST(PatchCommand, ApplicationName) {
    wchar_t out[kSystemPathCapacity] = {};
    ASSERT_TRUE(build_application_name(kSystem, out, kSystemPathCapacity));
    EXPECT_STREQ(out, L"C:\\Windows\\system32\\cmd.exe");
    std::wstring dir(kSystemPathCapacity - 8, L's');  // + "\cmd.exe" = 260: no room for the zero
    EXPECT_FALSE(build_application_name(dir.c_str(), out, kSystemPathCapacity));
    dir.pop_back();
    EXPECT_TRUE(build_application_name(dir.c_str(), out, kSystemPathCapacity));
}

TEST(InstallerBusy, OnlyWhileAnotherProcessOwnsTheMutex) {
    struct Case {
        unsigned long open_error;
        long query_status, count;
        bool busy;
    } cases[] = {
        {2, 0, 1, false},           // ERROR_FILE_NOT_FOUND: no mutex
        {kOpenDenied, 0, 1, true},  // there, but not ours to open
        {0, 0, 0, true},            // owned by another process
        {0, 0, 1, false},           // left over unowned, or abandoned: its owner died
        {0, static_cast<long>(0xC0000022), 1, true},  // STATUS_ACCESS_DENIED: not read
    };
    for (const auto& c : cases) {
        EXPECT_EQ(installer_busy_from(c.open_error, c.query_status, c.count), c.busy)
            << c.open_error << " " << c.count;
    }
}

TEST(ExitCodes, OnlyNotEligibleIsOne) {
    struct Case {
        unsigned long error, code;
    } launch_failures[] = {{0, 1603}, {1, 1603}, {2, 2}, {267, 267}, {5, 5}};
    for (const auto& c : launch_failures) {
        EXPECT_EQ(launch_failure_code(c.error), c.code) << c.error;
    }
    struct Case installer_codes[] = {
        {0, 0},       {1, 1603},  {1603, 1603}, {3010, 3010},
        {1642, 1642}, {259, 259}, {2, 2},       {0xC000013A, 0xC000013A}};
    for (const auto& c : installer_codes) {
        EXPECT_EQ(installer_exit_code(c.error), c.code) << c.error;
    }
    struct Case read_failures[] = {{33, 33}, {32, 1636}, {38, 1636}, {0, 1636}};  // 33: locked
    for (const auto& c : read_failures) EXPECT_EQ(read_failure_code(c.error), c.code) << c.error;
    // The run's lock: held is "another installation"; never success or "not eligible".
    struct Case lock_failures[] = {{32, 1618}, {5, 5}, {0, 1603}, {1, 1603}};
    for (const auto& c : lock_failures) EXPECT_EQ(lock_failure_code(c.error), c.code) << c.error;
    // A record not written: never another refusal's advice.
    struct Case record_failures[] = {{5, 5}, {32, 1016}, {183, 1016}, {0, 1016}, {1, 1016}};
    for (const auto& c : record_failures) EXPECT_EQ(record_failure_code(c.error), c.code);
}
