// The launch and the exit poll with real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../src/launch/patch_win.h"

namespace {

unsigned long run_cmd(const wchar_t* command, const wchar_t* directory) {
    PatchLaunch launch = {};
    wchar_t system_dir[MAX_PATH];
    GetSystemDirectoryW(system_dir, MAX_PATH);
    EXPECT_TRUE(build_application_name(system_dir, launch.application, kSystemPathCapacity));
    wcscpy(launch.command, command);
    PROCESS_INFORMATION process;
    unsigned long created = create_patch_process(&launch, directory, &process);
    return created != 0 ? created : resume_and_wait(&process);
}

}  // namespace

TEST(PatchLaunch, ExitCodesPassThroughButOne) {
    struct Case {
        const wchar_t* command;
        unsigned long code;
    } cases[] = {
        {L"/C exit 0", 0},     {L"/C exit 3010", 3010}, {L"/C exit 1603", 1603},
        {L"/C exit 1", 1603},   // 1 is "not eligible" only: a failed cmd is a failed install
        {L"/C exit 259", 259},  // STILL_ACTIVE: the poll must still see the end
    };
    for (const auto& c : cases) EXPECT_EQ(run_cmd(c.command, L"C:\\"), c.code) << c.command;
}

TEST(PatchLaunch, AProcessThatCannotStartReportsItsError) {
    EXPECT_EQ(run_cmd(L"/C exit 0", L"C:\\tallowick-no-such-directory\\"),
              static_cast<unsigned long>(ERROR_DIRECTORY));
}

TEST(PatchLaunch, PrepareBuildsFromTheSystemDirectory) {
    PatchLaunch launch;
    ASSERT_EQ(prepare_patch_launch(L" /qn", L"C:\\PKG\\Files\\P.msp", &launch), 0u);
    wchar_t system_dir[MAX_PATH];
    GetSystemDirectoryW(system_dir, MAX_PATH);
    std::wstring expected =
        std::wstring(L"/D /V:OFF /C ") + system_dir +
        L"\\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p C:\\PKG\\Files\\P.msp  /qn";
    EXPECT_EQ(std::wstring(launch.command), expected);
    EXPECT_EQ(std::wstring(launch.application), std::wstring(system_dir) + L"\\cmd.exe");
    std::wstring long_args(999 - 60, L'a');
    EXPECT_EQ(prepare_patch_launch(long_args.c_str(), L"C:\\PKG\\Files\\P.msp", &launch),
              static_cast<unsigned long>(ERROR_INVALID_COMMAND_LINE));
}
