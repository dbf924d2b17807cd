// The package and payload directories as text.
#include <gtest/gtest.h>

#include <string>

#include "../../src/app/package.h"

TEST(PackageDirectory, FromProgramPath) {
    struct Case {
        const wchar_t* path;
        const wchar_t* dir;  // nullptr: no directory in the path
    } cases[] = {
        // As Windows gave it: a case-sensitive folder must still find Files.
        {L"C:\\Upd\\setup.exe", L"C:\\Upd\\"},
        {L"C:\\Upd Dir\\SETUP.EXE", L"C:\\Upd Dir\\"},
        {L"C:\\Updates\\Server\\setup.exe", L"C:\\Updates\\Server\\"},
        {L"C:\\pkg\\mysetup.exe", L"C:\\pkg\\"},                    // not "c:\pkg\my"
        {L"C:\\setup.exe.old\\setup.exe", L"C:\\setup.exe.old\\"},  // not "c:\"
        {L"C:\\Pkg\\update.exe", L"C:\\Pkg\\"},                     // renamed program
        {L"D:/Pkg/setup.exe", L"D:/Pkg/"},
        {L"C:\\\u00C4RGER\\setup.exe", L"C:\\\u00C4RGER\\"},
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

TEST(PathInFolder, OneSeparator) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* path;
    } cases[] = {
        {L"c:\\upd\\", L"Files\\", L"c:\\upd\\Files\\"},
        {L"C:\\UPDDIR~1\\", L"Files\\", L"C:\\UPDDIR~1\\Files\\"},
        {L"D:\\PKG", L"Files\\", L"D:\\PKG\\Files\\"},  // no trailing backslash: one is added
        {L"D:\\", L"SHA256SUMS", L"D:\\SHA256SUMS"},
        {L"d:/pkg/", L"Files\\",
         L"d:/pkg/Files\\"},  // fuzz finding: no second separator after a slash
        {L"c:\\upd\\Files\\", L"P.msp", L"c:\\upd\\Files\\P.msp"},
    };
    for (const auto& c : cases) {
        wchar_t path[kPayloadCapacity] = {};
        EXPECT_TRUE(path_in_folder(c.folder, c.name, path, kPayloadCapacity));
        EXPECT_STREQ(path, c.path);
    }
}

TEST(PathInFolder, NeverCutAtMaxPath) {
    // The payload folder, and the package path that is opened: 259 characters
    // and the zero fit, 260 are refused (Windows would not open them).
    struct Case {
        size_t folder_chars;  // "C:\ddd...\"
        const wchar_t* name;
        bool fits;
    } cases[] = {
        {253, L"Files\\", true},  // 259
        {254, L"Files\\", false},
        {230, L"TallowickServer14v3Update.msp", true},  // 259
        {231, L"TallowickServer14v3Update.msp", false},
    };
    for (const auto& c : cases) {
        std::wstring folder = L"C:\\" + std::wstring(c.folder_chars - 4, L'd') + L"\\";
        ASSERT_EQ(folder.size(), c.folder_chars);
        wchar_t path[kFilePathCapacity] = L"before";
        EXPECT_EQ(path_in_folder(folder.c_str(), c.name, path, kFilePathCapacity), c.fits)
            << c.folder_chars;
        EXPECT_EQ(std::wstring(path), c.fits ? folder + c.name : L"before");
    }
    // Without its separator the folder gets one, and then does not fit.
    std::wstring folder = L"C:\\" + std::wstring(250, L'd');
    wchar_t path[kPayloadCapacity] = {};
    EXPECT_FALSE(path_in_folder(folder.c_str(), L"Files\\", path, kPayloadCapacity));
}

TEST(PackagePath, TheHeldFilesOwnPathInThePlainForm) {
    const wchar_t* cases[][2] = {
        // Windows' final path, what msiexec gets (null: refused)
        {L"\\\\?\\C:\\Real\\p.msp", L"C:\\Real\\p.msp"},
        {L"\\\\?\\z:\\p.msp", L"z:\\p.msp"},
        {L"\\\\?\\UNC\\srv\\share\\p.msp", L"\\\\srv\\share\\p.msp"},
        {L"\\\\?\\Volume{1b3c}\\p.msp", nullptr},  // a volume with no drive letter
        {L"\\\\?\\UNC\\\\x", nullptr},
        {L"C:\\Files\\p.msp", nullptr},
        {L"\\\\?\\C:\\Real\\a-name-too-long-for-the-buffer.msp", nullptr},  // never cut
    };
    for (const auto& c : cases) {
        wchar_t out[40] = L"untouched";
        EXPECT_EQ(msiexec_package_path(c[0], out, 40), c[1] != nullptr) << c[0];
        EXPECT_STREQ(out, c[1] != nullptr ? c[1] : L"untouched") << c[0];
    }
    // Where the walk up for links stops: the drive; nowhere else.
    EXPECT_EQ(path_root_length(L"C:\\Upd\\p.msp"), 2u);
    EXPECT_EQ(path_root_length(L"a:\\p.msp") + path_root_length(L"Z:\\p.msp"), 4u);
    for (const wchar_t* other : {L"\\\\srv\\share\\p.msp", L"Upd\\p.msp", L"C:p.msp"}) {
        EXPECT_EQ(path_root_length(other), 0u) << other;
    }
}
