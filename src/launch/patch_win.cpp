// The patch launch and the exit poll.
#include <windows.h>

#include "../common/exit_codes.h"
#include "patch_win.h"

namespace {

// Polls rather than blocks, one reading and one 1 ms sleep a pass.
DWORD wait_for_exit(HANDLE process) {
    DWORD code = STILL_ACTIVE;
    for (;;) {
        if (!GetExitCodeProcess(process, &code)) return launch_failure_code(GetLastError());
        // A process may itself exit with 259 (STILL_ACTIVE); only its
        // signalled handle tells. Once signalled, a new reading is final.
        if (code == STILL_ACTIVE && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            if (!GetExitCodeProcess(process, &code)) return launch_failure_code(GetLastError());
            return code;
        }
        Sleep(1);
        if (code != STILL_ACTIVE) return code;
    }
}

// A job whose limits are set to flags; false when Windows refuses them.
bool set_job_limits(HANDLE job, DWORD flags) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = flags;
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) != FALSE;
}

// Until it is resumed, the suspended cmd.exe dies with setup.exe however
// setup.exe ends (a fleet tool's time-out kills it mid-removal): the last
// handle of a KILL_ON_JOB_CLOSE job is closed by Windows itself. Without a
// job (Windows 7 refuses a second job for a process already in one) the
// run goes on as before.
HANDLE kill_with_us(HANDLE process) {
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (job == NULL) return NULL;
    // SILENT_BREAKAWAY_OK: what cmd.exe starts (msiexec) never joins the job.
    if (!set_job_limits(
            job, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK) ||
        !AssignProcessToJobObject(job, process)) {
        CloseHandle(job);
        return NULL;
    }
    return job;
}

}  // namespace

bool installer_busy() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\_MSIExecute");
    if (mutex != NULL) {
        CloseHandle(mutex);
        return true;
    }
    // It exists, but is not ours to open.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

unsigned long prepare_patch_launch(const wchar_t* args, const wchar_t* package_path,
                                   PatchLaunch* launch) {
    wchar_t system_dir[kSystemPathCapacity] = {};
    UINT n = GetSystemDirectoryW(system_dir, kSystemPathCapacity);
    if (n == 0 || n >= kSystemPathCapacity) return launch_failure_code(GetLastError());
    ZeroMemory(launch, sizeof *launch);
    if (!build_patch_command(system_dir, package_path, args, launch->command, kCommandCapacity) ||
        !build_application_name(system_dir, launch->application, kSystemPathCapacity)) {
        return kExitCommandTooLong;  // never launched cut short, nor changed by cmd
    }
    return ERROR_SUCCESS;
}

unsigned long create_patch_process(PatchLaunch* launch, const wchar_t* payload,
                                   PatchProcess* process) {
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    ZeroMemory(process, sizeof *process);
    // CreateProcessW may write into the command line, so it gets the
    // writable buffer; the command starts with "/D", not with cmd's name.
    // Suspended: nothing of cmd runs until the trees are gone.
    if (!CreateProcessW(launch->application, launch->command, NULL, NULL, FALSE,
                        NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, NULL, payload, &startup,
                        &process->info)) {
        return launch_failure_code(GetLastError());
    }
    process->job = kill_with_us(process->info.hProcess);
    return ERROR_SUCCESS;
}

unsigned long resume_and_wait(PatchProcess* process) {
    DWORD code;
    if (ResumeThread(process->info.hThread) == static_cast<DWORD>(-1)) {
        code = launch_failure_code(GetLastError());
        TerminateProcess(process->info.hProcess, code);
    } else {
        // Running now: the installer outlives setup.exe, as it always did.
        if (process->job != NULL)
            set_job_limits(process->job, JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK);
        code = installer_exit_code(wait_for_exit(process->info.hProcess));
    }
    if (process->job != NULL) CloseHandle(process->job);
    CloseHandle(process->info.hThread);
    CloseHandle(process->info.hProcess);
    return code;
}
