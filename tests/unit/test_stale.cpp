// The decisions of the stale component removal: which installation
// directories are usable, and which entries may be acted on.
#include <gtest/gtest.h>

#include "../../src/cleanup/stale.h"

TEST(StalePath, OnlyAbsoluteInstallationDirectories) {
    struct Case {
        const wchar_t* dir;
        bool absolute;
    } cases[] = {
        {L"C:\\Srv\\", true},
        {L"C:\\Srv", true},
        {L"c:\\", true},
        {L"Z:\\Srv\\", true},
        {L"A:\\", true},
        {L"a:\\", true},
        {L"z:\\", true},
        {L"\\\\srv\\share\\", true},
        {L"D:\\\u8868\\", true},  // a code page 932 name whose trail byte is 0x5C
        {L"", false},
        {L"Srv\\", false},
        {L"C:Srv\\", false},  // relative to drive C's current directory
        {L"\\Srv\\", false},  // relative to the current drive
        {L"\\\\", false},
        {L"1:\\Srv\\", false},
        {L"\x01", false},  // a REG_DWORD read as text
    };
    for (const auto& c : cases) EXPECT_EQ(is_absolute_path(c.dir), c.absolute) << c.dir;
    EXPECT_STREQ(kStaleComponents[0][kStaleDepth - 1], L"twk");
    EXPECT_STREQ(kStaleComponents[1][kStaleDepth - 1], L"admin-console");
}

TEST(StalePath, OnlyTheListingsOwnEntriesAreSkipped) {
    struct Case {
        const wchar_t* name;
        size_t length;
        bool skipped;
    } cases[] = {{L".", 1, true},
                 {L"..", 2, true},
                 {L"...", 3, false},
                 {L".hidden", 7, false},
                 {L"a", 1, false},
                 {L"..a", 3, false},
                 {L".x", 1, true},  // counted, not terminated: the
                                    // name is "."
                 {L"", 0, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(is_self_or_parent(c.name, c.length), c.skipped) << c.name << " " << c.length;
    }
}

TEST(EntryDecision, ListingAndHandleMustDescribeTheSameObject) {
    const unsigned long kFile = 0x20, kDir = 0x10, kLinkDir = 0x410, kLinkFile = 0x420;
    struct Case {
        EntryFacts listed, opened;
        EntryKind kind;
    } cases[] = {
        {{kDir, 7}, {kDir, 7}, kEntryDirectory},
        {{kFile, 7}, {kFile, 7}, kEntryFile},
        {{0x21, 7}, {0x20, 7}, kEntryFile},          // read-only: still a file (the delete fails)
        {{kLinkDir, 7}, {kLinkDir, 7}, kEntryLink},  // Windows: the link opened as itself
        {{kLinkFile, 7}, {kLinkFile, 7}, kEntryLink},
        {{kDir, 7}, {kDir, 9}, kEntrySwapped},      // another folder now has the name
        {{kFile, 7}, {kFile, 9}, kEntrySwapped},    // a file swapped for a link to a file
        {{kDir, 7}, {kLinkDir, 7}, kEntrySwapped},  // became a link after the listing
        {{kLinkDir, 7}, {kDir, 7}, kEntrySwapped},  // Wine followed the link
        {{kLinkDir, 9}, {kDir, 7}, kEntrySwapped},
        {{kFile, 7}, {kDir, 7}, kEntrySwapped},
        {{kDir, 7}, {kFile, 7}, kEntrySwapped},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classify_entry(c.listed, c.opened), c.kind)
            << std::hex << c.listed.attributes << " " << c.opened.attributes;
    }
}

TEST(AsideDecision, OnlyTheRecordedFolderIsOursAndAHeldTreeRefuses) {
    EXPECT_EQ(tree_action(kFoundFolder, kFoundNothing, false), kMoveAside);
    EXPECT_EQ(tree_action(kFoundNothing, kFoundNothing, true), kLeaveAlone);
    EXPECT_EQ(tree_action(kFoundOther, kFoundNothing, false), kLeaveAlone);  // a file or link
    EXPECT_EQ(tree_action(kFoundHeld, kFoundNothing, false), kRefuseHeld);
    EXPECT_EQ(tree_action(kFoundNothing, kFoundFolder, true), kTakeUp);  // a killed run's
    EXPECT_EQ(tree_action(kFoundOther, kFoundFolder, true), kTakeUp);
    EXPECT_EQ(tree_action(kFoundNothing, kFoundFolder, false), kRefuseTaken);  // planted
    EXPECT_EQ(tree_action(kFoundFolder, kFoundFolder, true), kRefuseTaken);    // two copies
    EXPECT_EQ(tree_action(kFoundFolder, kFoundOther, true), kRefuseTaken);     // a file or link
    EXPECT_EQ(tree_action(kFoundNothing, kFoundHeld, true), kRefuseHeld);      // ours, never 183
    EXPECT_EQ(tree_action(kFoundNothing, kFoundHeld, false), kRefuseTaken);
    // Not to be opened at all: a plain folder is held (no sharing, an ACL that
    // denies us, which Wine cannot show); a link or a file is not ours.
    EXPECT_EQ(unopened_entry(0x10), kFoundHeld);
    EXPECT_EQ(unopened_entry(0x30), kFoundHeld);
    EXPECT_EQ(unopened_entry(0x410), kFoundOther);
    EXPECT_EQ(unopened_entry(0x20), kFoundOther);
    // Who holds a tree, as the Restart Manager names it (Wine's names none).
    EXPECT_STREQ(holder_name(L"W3SVC", L"World Wide Web Publishing"), L"W3SVC");
    EXPECT_STREQ(holder_name(L"", L"tomcat9.exe"), L"tomcat9.exe");
    EXPECT_STREQ(holder_name(L"", L""), L"a program Windows does not name");
    // A recorded tree by its volume and its file id, never by one alone.
    EXPECT_TRUE(same_tree({7, 42}, {7, 42}));
    EXPECT_FALSE(same_tree({7, 43}, {7, 42}));
    EXPECT_FALSE(same_tree({8, 42}, {7, 42}));
    // The path the refusal names, whole or not at all.
    wchar_t path[80] = L"x";
    EXPECT_TRUE(stale_path(L"C:\\S\\", 0, false, path, 80));
    EXPECT_STREQ(path, L"C:\\S\\Web Publishing\\publishing-engine\\jwpc-tomcat\\twk");
    EXPECT_TRUE(stale_path(L"C:\\S", 1, true, path, 80));
    EXPECT_STREQ(path, L"C:\\S\\Admin\\admin-master-tomcat\\bin\\admin-console.v3update-aside");
    EXPECT_FALSE(stale_path(L"C:\\S", 1, true, path, 40));
    EXPECT_STREQ(path, L"");
    path[0] = L'x';
    EXPECT_FALSE(stale_path(L"C:\\S", 1, true, path, 0) || path[0] != L'x');  // nowhere to write
}
