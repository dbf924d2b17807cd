// The launch and the exit poll with real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../../src/launch/patch_win.h"

namespace {

unsigned long create_cmd(const wchar_t* command, const wchar_t* directory, PatchProcess* process,
                         bool job_list = true) {
    PatchLaunch launch = {};
    wchar_t system_dir[MAX_PATH];
    GetSystemDirectoryW(system_dir, MAX_PATH);
    EXPECT_TRUE(build_application_name(system_dir, launch.application, kSystemPathCapacity));
    wcscpy(launch.command, command);
    return create_patch_process(&launch, directory, process, job_list);
}

unsigned long run_cmd(const wchar_t* command, const wchar_t* directory) {
    PatchProcess process;
    unsigned long created = create_cmd(command, directory, &process);
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

TEST(PatchLaunch, AProcessThatCannotBeResumedIsEnded) {
    PatchProcess process;
    ASSERT_EQ(create_cmd(L"/C exit 0", L"C:\\", &process), 0u);
    HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                               FALSE, process.info.dwProcessId);
    CloseHandle(process.info.hThread);  // SYNCHRONIZE alone: ResumeThread fails
    process.info.hThread = OpenThread(SYNCHRONIZE, FALSE, process.info.dwThreadId);
    EXPECT_EQ(resume_and_wait(&process), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(child, 5000), WAIT_OBJECT_0);
    GetExitCodeProcess(child, &code);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "ended by setup.exe itself";
    TerminateProcess(child, 0);  // never left suspended, whatever the case found
    CloseHandle(child);
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

TEST(PatchLaunch, InTheJobWithOrWithoutAJobList) {
    for (bool job_list : {true, false}) {  // no list before Windows 10: joined afterwards
        PatchProcess process;
        ASSERT_EQ(create_cmd(L"/C exit 0", L"C:\\", &process, job_list), 0u);
        BOOL in_job = FALSE;
        EXPECT_TRUE(IsProcessInJob(process.info.hProcess, process.job, &in_job) && in_job);
        EXPECT_EQ(resume_and_wait(&process), 0u);
    }
    PatchProcess killed;  // let go before it ran, as when setup.exe dies: the job ends it
    ASSERT_EQ(create_cmd(L"/C exit 0", L"C:\\", &killed), 0u);
    CloseHandle(killed.job);
    EXPECT_EQ(WaitForSingleObject(killed.info.hProcess, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(PatchLaunch, StartedHidden) {  // else cmd.exe's console shows, and closes the patch
    PatchLaunch launch = {};
    GetModuleFileNameW(NULL, launch.application, kSystemPathCapacity);
    wcscpy(wcsrchr(launch.application, L'\\') + 1, L"standin_msiexec.exe");
    SetEnvironmentVariableW(L"STANDIN_RECORD", L"C:\\started-hidden.txt");
    PatchProcess process;
    ASSERT_EQ(create_patch_process(&launch, L"C:\\", &process), 0u);
    EXPECT_EQ(resume_and_wait(&process), 0u);
    std::stringstream record;
    record << std::ifstream("C:\\started-hidden.txt").rdbuf();
    EXPECT_NE(record.str().find("show\t0\n"), std::string::npos) << record.str();  // SW_HIDE
    DeleteFileW(L"C:\\started-hidden.txt");
}

TEST(InstallerBusy, AnAbandonedMutexIsLeftToTheNextTaker) {
    HANDLE mutex = NULL;
    std::thread([&] { mutex = CreateMutexW(NULL, TRUE, L"Global\\_MSIExecute"); }).join();
    EXPECT_FALSE(installer_busy());
    DWORD taken = WAIT_FAILED;
    std::thread([&] { taken = WaitForSingleObject(mutex, 0); }).join();
    EXPECT_EQ(taken, static_cast<DWORD>(WAIT_ABANDONED));
    CloseHandle(mutex);
}
