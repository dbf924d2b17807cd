// The registry test and the stale component removal's result codes, against
// Wine's real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../src/app/installed.h"
#include "../../src/cleanup/stale.h"

namespace {

const char kKey[] = "SOFTWARE\\TallowickUnitTest";
const EligibleRelease kRelease = {"{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}", "14.0.2.226"};

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key_,
                                  NULL),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
    }
    void set(DWORD type, const std::string& data) {
        ASSERT_EQ(RegSetValueExA(key_, "V", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    int test() { return registry_test(kRelease, kKey, "V", KEY_READ | KEY_WOW64_64KEY); }
    HKEY key_ = NULL;
};

}  // namespace

TEST_F(RegistryTest, ValueShapes) {
    struct Case {
        DWORD type;
        std::string data;
        int result;
    } cases[] = {
        {REG_SZ, std::string("14.0.2.226", 11), kEqual},
        {REG_SZ, "14.0.2.226", kEqual},  // stored without its zero
        {REG_SZ, std::string("14.0.2.2260", 12), kInstalledGreater},
        {REG_SZ, std::string("14.0.1.204", 11), kInstalledSmaller},
        {REG_SZ, std::string(1, '\0'), kNoData},  // no release at all
        {REG_EXPAND_SZ, std::string("14.0.2.226", 11), kEqual},
        {REG_MULTI_SZ, std::string("14.0.2.226\0\0", 12), kEqual},
        {REG_DWORD, std::string("\x01\0\0\0", 4), kNoData},
        {REG_SZ, std::string(259, '1') + std::string(1, '\0'), kNoData},
        {REG_SZ, std::string(260, '1') + std::string(1, '\0'), kNoData},  // does not fit
        {REG_BINARY, std::string(260, '1'), kNoData},                     // no room for a zero
        {REG_SZ, std::string(300, '1'), kNoData},
    };
    for (const auto& c : cases) {
        set(c.type, c.data);
        EXPECT_EQ(test(), c.result) << c.type << " " << c.data.size();
    }
}

TEST_F(RegistryTest, MissingKeyOrValueIsNoData) {
    EXPECT_EQ(test(), kNoData);
    EXPECT_EQ(registry_test(kRelease, "SOFTWARE\\TallowickUnitTest\\Absent", "V", KEY_READ),
              kNoData);
}

TEST_F(RegistryTest, StaleRemovalResultCodes) {
    const wchar_t kWideKey[] = L"SOFTWARE\\TallowickUnitTest";
    StaleTrees trees;
    EXPECT_EQ(move_stale_aside(L"SOFTWARE\\TallowickUnitTest\\Absent", L"V", L"", &trees),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(move_stale_aside(kWideKey, L"V", L"", &trees), ERROR_SUCCESS);  // value missing
    set(REG_SZ, std::string("C:\\tallowick-unit-absent\\", 26));
    EXPECT_EQ(move_stale_aside(kWideKey, L"V", L"", &trees), ERROR_SUCCESS);  // directories absent
    // A tree that moves is recorded under a key of SYSTEM and Administrators alone.
    std::wstring path = L"C:\\tallowick-unit-absent";
    for (int i = 0; i < kStaleDepth; path += L"\\", path += kStaleComponents[0][i++]) {
        CreateDirectoryW(path.c_str(), NULL);
    }
    CreateDirectoryW(path.c_str(), NULL);
    const wchar_t kRecord[] = L"SOFTWARE\\TallowickUnitTest\\Record";
    ASSERT_EQ(move_stale_aside(kWideKey, L"V", kRecord, &trees), ERROR_SUCCESS);
    alignas(8) unsigned char sd[1024];
    DWORD size = sizeof sd;
    HKEY record = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    bool ours = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecord, 0, READ_CONTROL, &record) == 0 &&
                RegGetKeySecurity(record, DACL_SECURITY_INFORMATION, sd, &size) == 0 &&
                GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) && dacl != NULL &&
                dacl->AceCount == 2;
    for (DWORD k = 0; ours && k < 2; ++k) {  // Wine keeps no SE_DACL_PROTECTED to read
        ACCESS_ALLOWED_ACE* ace = NULL;
        ours = GetAce(dacl, k, reinterpret_cast<void**>(&ace)) &&
               (IsWellKnownSid(&ace->SidStart, WinLocalSystemSid) ||
                IsWellKnownSid(&ace->SidStart, WinBuiltinAdministratorsSid));
    }
    EXPECT_TRUE(ours);
    RegCloseKey(record);
    settle_stale_trees(&trees, kRecord, false);
    for (int i = kStaleDepth; i >= 0; --i, path.resize(path.rfind(L'\\'))) {
        EXPECT_TRUE(RemoveDirectoryW(path.c_str())) << i;  // back at its name, and only there
    }
}
