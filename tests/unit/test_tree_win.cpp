// The tree removal against real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../src/cleanup/stale.h"

namespace {

const std::string kRoot = "C:\\tallowick-tree-test";

void make_file(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(h, "x", 1, &written, NULL);
    CloseHandle(h);
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void clear(const std::string& path) {
    WIN32_FIND_DATAA e;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &e);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = e.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                clear(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &e));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

class TreeTest : public testing::Test {
  protected:
    void SetUp() override {
        clear(kRoot);
        CreateDirectoryA(kRoot.c_str(), NULL);
        CreateDirectoryA(twk.c_str(), NULL);
        CreateDirectoryA((twk + "\\sub").c_str(), NULL);
        make_file(twk + "\\a.txt");
        make_file(twk + "\\.hidden");
        make_file(twk + "\\noext");
        make_file(twk + "\\sub\\b.txt");
        make_file(kRoot + "\\beside.txt");
    }
    void TearDown() override { clear(kRoot); }
    const std::string twk = kRoot + "\\twk";
};

}  // namespace

TEST_F(TreeTest, RemovesTheWholeTreeAndNothingBeside) {
    remove_tree(twk.c_str());
    EXPECT_FALSE(exists(twk));
    EXPECT_TRUE(exists(kRoot + "\\beside.txt"));
}

TEST_F(TreeTest, AReadOnlyFileKeepsItsDirectoriesAndNothingElse) {
    std::string locked = twk + "\\sub\\locked.txt";
    make_file(locked);
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    remove_tree(twk.c_str());
    EXPECT_TRUE(exists(locked));
    EXPECT_EQ(GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    for (const char* gone : {"\\a.txt", "\\.hidden", "\\noext", "\\sub\\b.txt"}) {
        EXPECT_FALSE(exists(twk + gone)) << gone;
    }
}

TEST_F(TreeTest, AFileHeldOpenStaysWithItsDirectories) {
    HANDLE held =
        CreateFileA((twk + "\\sub\\b.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    remove_tree(twk.c_str());
    CloseHandle(held);
    EXPECT_TRUE(exists(twk + "\\sub\\b.txt"));
    EXPECT_FALSE(exists(twk + "\\a.txt"));
}

TEST_F(TreeTest, EmptyDirectoryFileAndNothing) {
    std::string empty = kRoot + "\\empty";
    CreateDirectoryA(empty.c_str(), NULL);
    remove_tree(empty.c_str());
    EXPECT_FALSE(exists(empty));

    std::string file = kRoot + "\\beside.txt";
    remove_tree(file.c_str());
    EXPECT_TRUE(exists(file)) << "a stale path that names a file";

    remove_tree(NULL);
    remove_tree("");
    EXPECT_TRUE(exists(twk + "\\a.txt"));
}

TEST_F(TreeTest, AnEntryBeyondThePathLimitKeepsItsParents) {
    // twk\<d>\<f>: the directory fits, the child path of its file does not.
    std::string deep = twk + "\\" + std::string(240 - twk.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    std::string name(259 - deep.size(), 'f');  // child path of 260 bytes
    std::wstring wide_path(deep.begin(), deep.end());
    wide_path = L"\\\\?\\" + wide_path + L"\\" + std::wstring(name.begin(), name.end());
    HANDLE h = CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    remove_tree(twk.c_str());
    EXPECT_TRUE(exists(deep));
    EXPECT_FALSE(exists(twk + "\\a.txt"));
    EXPECT_FALSE(exists(twk + "\\sub"));
    DeleteFileW(wide_path.c_str());
}
