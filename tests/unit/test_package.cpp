// The package and payload directories as text.
#include <gtest/gtest.h>

#include <string>

#include "../../src/app/package.h"

TEST(PackageDirectory, FromProgramPath) {
    struct Case {
        const wchar_t* path;
        const wchar_t* dir;  // nullptr: no directory in the path
    } cases[] = {
        {L"C:\\Upd\\setup.exe", L"c:\\upd\\"},
        {L"C:\\Upd Dir\\SETUP.EXE", L"c:\\upd dir\\"},
        {L"C:\\Updates\\Server\\setup.exe", L"c:\\updates\\server\\"},
        {L"C:\\pkg\\mysetup.exe", L"c:\\pkg\\"},                    // not "c:\pkg\my"
        {L"C:\\setup.exe.old\\setup.exe", L"c:\\setup.exe.old\\"},  // not "c:\"
        {L"C:\\Pkg\\update.exe", L"c:\\pkg\\"},                     // renamed program
        {L"D:/Pkg/setup.exe", L"d:/pkg/"},
        {L"C:\\\u00C4RGER\\setup.exe", L"c:\\\u00C4rger\\"},  // only A-Z change
        {L"setup.exe", nullptr},
        {L"setup", nullptr},
    };
    for (const auto& c : cases) {
        wchar_t dir[kPackageCapacity] = L"untouched";
        bool ok = package_directory_from_path(c.path, dir, kPackageCapacity);
        EXPECT_EQ(ok, c.dir != nullptr) << c.path;
        if (c.dir) {
            EXPECT_STREQ(dir, c.dir) << c.path;
        }
    }
}

TEST(PackageDirectory, TooLongIsRefused) {
    std::wstring path = L"C:\\" + std::wstring(995, L'a') + L"\\setup.exe";
    wchar_t dir[kPackageCapacity] = {};
    EXPECT_TRUE(package_directory_from_path(path.c_str(), dir, kPackageCapacity));  // 999 + zero
    path = L"C:\\" + std::wstring(996, L'a') + L"\\setup.exe";
    EXPECT_FALSE(package_directory_from_path(path.c_str(), dir, kPackageCapacity));
}

TEST(PayloadDirectory, FilesFolderWithOneSeparator) {
    struct Case {
        const wchar_t* package;
        const wchar_t* payload;
    } cases[] = {
        {L"c:\\upd\\", L"c:\\upd\\Files\\"},
        {L"C:\\UPDDIR~1\\", L"C:\\UPDDIR~1\\Files\\"},
        {L"D:\\PKG", L"D:\\PKG\\Files\\"},  // the current directory has no trailing backslash
        {L"D:\\", L"D:\\Files\\"},
        {L"d:/pkg/", L"d:/pkg/Files\\"},  // fuzz finding: no second separator after a slash
    };
    for (const auto& c : cases) {
        wchar_t payload[kPayloadCapacity] = {};
        EXPECT_TRUE(payload_directory_from_package(c.package, payload, kPayloadCapacity));
        EXPECT_STREQ(payload, c.payload);
    }
}

TEST(PayloadDirectory, NeverCutAt260) {
    // 253 + "Files\" = 259 characters: fits; one more does not.
    std::wstring dir = L"C:\\" + std::wstring(249, L'd') + L"\\";
    ASSERT_EQ(dir.size(), 253u);
    wchar_t payload[kPayloadCapacity] = L"before";
    EXPECT_TRUE(payload_directory_from_package(dir.c_str(), payload, kPayloadCapacity));
    EXPECT_EQ(std::wstring(payload), dir + L"Files\\");
    dir = L"C:\\" + std::wstring(250, L'd') + L"\\";
    wcscpy(payload, L"before");
    EXPECT_FALSE(payload_directory_from_package(dir.c_str(), payload, kPayloadCapacity));
    EXPECT_STREQ(payload, L"before");
    dir = L"C:\\" + std::wstring(250, L'd');  // no separator: it is added, and does not fit
    EXPECT_FALSE(payload_directory_from_package(dir.c_str(), payload, kPayloadCapacity));
}
