// The tree removal against real files.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../src/cleanup/tree_win.h"

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

void remove_tree(const std::string& path) {
    size_t cut = path.rfind('\\');
    std::wstring parent(path.begin(), path.begin() + cut);
    std::wstring name(path.begin() + cut + 1, path.end());
    const wchar_t* components[] = {name.c_str()};
    remove_tree_below(parent.c_str(), components, 1);
}

}  // namespace

TEST_F(TreeTest, RemovesTheWholeTreeAndNothingBeside) {
    remove_tree(twk);
    EXPECT_FALSE(exists(twk));
    EXPECT_TRUE(exists(kRoot + "\\beside.txt"));
}

TEST_F(TreeTest, AReadOnlyFileGoesWithItsTree) {
    std::string locked = twk + "\\sub\\locked.txt";
    make_file(locked);
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    remove_tree(twk);
    EXPECT_FALSE(exists(twk));
}

TEST_F(TreeTest, OpenedForDeleteWithTheRightToClearReadOnly) {
    // Wine does not check the access of an attribute change: read what the handle holds.
    HANDLE root = CreateFileA(kRoot.c_str(), FILE_LIST_DIRECTORY, 7, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    HANDLE entry = open_for_delete(root, L"twk", 3, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE);
    PUBLIC_OBJECT_BASIC_INFORMATION info = {};
    NtQueryObject(entry, ObjectBasicInformation, &info, sizeof info, NULL);
    EXPECT_EQ(info.GrantedAccess & (DELETE | FILE_WRITE_ATTRIBUTES),
              DELETE | FILE_WRITE_ATTRIBUTES);
    CloseHandle(entry), CloseHandle(root);
}

TEST_F(TreeTest, AFileHeldOpenStaysWithItsDirectories) {
    HANDLE held =
        CreateFileA((twk + "\\sub\\b.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    remove_tree(twk);
    CloseHandle(held);
    EXPECT_TRUE(exists(twk + "\\sub\\b.txt"));
    EXPECT_FALSE(exists(twk + "\\a.txt"));
}

TEST_F(TreeTest, AFolderHeldWithoutDeleteSharingIsEmptied) {
    HANDLE held = CreateFileA((twk + "\\sub").c_str(), FILE_LIST_DIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    remove_tree(twk);
    CloseHandle(held);
    EXPECT_TRUE(exists(twk + "\\sub"));
    EXPECT_FALSE(exists(twk + "\\sub\\b.txt"));
    EXPECT_FALSE(exists(twk + "\\a.txt"));
}

TEST_F(TreeTest, EmptyDirectoryFileAndNothing) {
    std::string empty = kRoot + "\\empty";
    CreateDirectoryA(empty.c_str(), NULL);
    remove_tree(empty);
    EXPECT_FALSE(exists(empty));

    std::string file = kRoot + "\\beside.txt";
    remove_tree(file);
    EXPECT_TRUE(exists(file)) << "a stale path that names a file";

    const wchar_t* twk_name[] = {L"twk"};
    remove_tree_below(NULL, twk_name, 1);
    remove_tree_below(L"", twk_name, 1);
    remove_tree_below(L"C:\\tallowick-tree-test", twk_name, 0);
    EXPECT_TRUE(exists(twk + "\\a.txt"));
}

TEST_F(TreeTest, AFolderOnTheWayThatIsAFileLeavesTheTreeAlone) {
    const wchar_t* through_a_file[] = {L"beside.txt", L"twk"};
    remove_tree_below(L"C:\\tallowick-tree-test", through_a_file, 2);
    const wchar_t* through_sub[] = {L"twk", L"sub"};
    remove_tree_below(L"C:\\tallowick-tree-test", through_sub, 2);
    EXPECT_TRUE(exists(twk + "\\a.txt"));
    EXPECT_FALSE(exists(twk + "\\sub"));
}

TEST_F(TreeTest, AnEntryBeyondThePathLimitIsRemovedToo) {
    // twk\<d>\<f>: a path of 300 characters, opened relative to its folder.
    std::string deep = twk + "\\" + std::string(240 - twk.size(), 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    std::string name(299 - deep.size(), 'f');
    std::wstring wide_path(deep.begin(), deep.end());
    wide_path = L"\\\\?\\" + wide_path + L"\\" + std::wstring(name.begin(), name.end());
    HANDLE h = CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    remove_tree(twk);
    EXPECT_FALSE(exists(twk));
}
