// The patch launch and the exit poll.
#include <windows.h>
#include <winternl.h>

#include "../common/exit_codes.h"
#include "../record/record.h"
#include "busy.h"
#include "patch_win.h"

// In ntdll, but declared only in the driver kit's headers.
extern "C" NTSTATUS NTAPI NtQueryMutant(HANDLE mutant, int information_class, PVOID information,
                                        ULONG length, PULONG result_length);

namespace {

const DWORD kMutantQueryState = 0x0001;  // MUTANT_QUERY_STATE

// MUTANT_BASIC_INFORMATION.
struct MutantBasicInformation {
    LONG CurrentCount;
    BOOLEAN OwnedByCaller;
    BOOLEAN AbandonedState;
};

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
// handle of a KILL_ON_JOB_CLOSE job is closed by Windows itself. NULL where
// Windows gives no such job; the run then goes on as before.
HANDLE new_kill_job() {
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (job == NULL) return NULL;
    // SILENT_BREAKAWAY_OK: what cmd.exe starts (msiexec) never joins the job.
    if (!set_job_limits(
            job, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK)) {
        CloseHandle(job);
        return NULL;
    }
    return job;
}

// PROC_THREAD_ATTRIBUTE_JOB_LIST (Windows 10 and later), which the headers
// keep behind _WIN32_WINNT 0x0A00.
const DWORD_PTR kAttributeJobList = 0x0002000D;

// Room for one attribute, without the heap.
struct JobAttribute {
    alignas(8) unsigned char list[64];
    HANDLE job;
};

// A process created with this list is in the job before any of its code
// runs; one joined after CreateProcessW could be left behind, suspended,
// by a setup.exe killed in between. False where Windows has no such list.
bool job_attribute(JobAttribute* attribute, HANDLE job, STARTUPINFOEXW* startup) {
    if (job == NULL) return false;
    attribute->job = job;
    LPPROC_THREAD_ATTRIBUTE_LIST list =
        reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attribute->list);
    SIZE_T size = sizeof attribute->list;
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return false;
    if (!UpdateProcThreadAttribute(list, 0, kAttributeJobList, &attribute->job,
                                   sizeof attribute->job, NULL, NULL)) {
        DeleteProcThreadAttributeList(list);
        return false;
    }
    startup->lpAttributeList = list;
    return true;
}

// CreateProcessW may write into the command line, so it gets the writable
// buffer; the command starts with "/D", not with cmd's name. Suspended:
// nothing of cmd runs until the trees are out of their places.
bool create_suspended(PatchLaunch* launch, const wchar_t* payload, STARTUPINFOW* startup,
                      DWORD extra_flags, PROCESS_INFORMATION* info) {
    return CreateProcessW(launch->application, launch->command, NULL, NULL, FALSE,
                          NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED | extra_flags, NULL, payload,
                          startup, info) != FALSE;
}

}  // namespace

bool installer_busy() {
    // Read, never taken: a wait would own the installer's mutex for a moment
    // (an installation starting then fails with 1618), and needs rights that
    // its DACL may not grant. MUTANT_QUERY_STATE is all a query needs.
    HANDLE mutex = OpenMutexW(kMutantQueryState, FALSE, L"Global\\_MSIExecute");
    if (mutex == NULL) return installer_busy_from(GetLastError(), 0, 1);
    MutantBasicInformation state;
    ZeroMemory(&state, sizeof state);
    NTSTATUS status = NtQueryMutant(mutex, 0, &state, sizeof state, NULL);  // basic information
    CloseHandle(mutex);
    return installer_busy_from(0, status, state.CurrentCount);
}

unsigned long prepare_patch_launch(const wchar_t* args, const wchar_t* package_path,
                                   PatchLaunch* launch) {
    wchar_t system_dir[kSystemPathCapacity] = {};
    UINT n = GetSystemDirectoryW(system_dir, kSystemPathCapacity);
    if (n == 0 || n >= kSystemPathCapacity) return launch_failure_code(GetLastError());
    // cmd.exe would report a missing msiexec (9009) only after the trees were moved.
    wchar_t msiexec[kSystemPathCapacity] = {};
    if (!build_system_path(system_dir, L"msiexec.exe", msiexec, kSystemPathCapacity)) {
        return kExitCommandRefused;
    }
    DWORD attributes = GetFileAttributesW(msiexec);
    if (attributes == INVALID_FILE_ATTRIBUTES) return launch_failure_code(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_FILE_NOT_FOUND;
    ZeroMemory(launch, sizeof *launch);
    if (!build_patch_command(system_dir, package_path, args, launch->command, kCommandCapacity) ||
        !build_application_name(system_dir, launch->application, kSystemPathCapacity)) {
        return kExitCommandRefused;  // never launched cut short, nor changed by cmd
    }
    return ERROR_SUCCESS;
}

unsigned long create_patch_process(PatchLaunch* launch, const wchar_t* payload,
                                   PatchProcess* process, bool job_list) {
    STARTUPINFOEXW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    ZeroMemory(process, sizeof *process);
    HANDLE job = new_kill_job();
    JobAttribute attribute;
    bool in_job = job_list && job_attribute(&attribute, job, &startup);
    bool created = in_job && create_suspended(launch, payload, &startup.StartupInfo,
                                              EXTENDED_STARTUPINFO_PRESENT, &process->info);
    if (in_job) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!created) {
        // Without the list, or refused with it: joined afterwards, as before.
        startup.StartupInfo.cb = sizeof startup.StartupInfo;
        in_job = false;
        if (!create_suspended(launch, payload, &startup.StartupInfo, 0, &process->info)) {
            DWORD error = GetLastError();
            if (job != NULL) CloseHandle(job);
            return launch_failure_code(error);
        }
    }
    if (job != NULL && !in_job && !AssignProcessToJobObject(job, process->info.hProcess)) {
        CloseHandle(job);
        job = NULL;
    }
    process->job = job;
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
        DWORD ended = wait_for_exit(process->info.hProcess);
        // As it ended, before 1 is read as 1603: the record says what msiexec said.
        record_code("msiexec exit", ended);
        code = installer_exit_code(ended);
    }
    if (process->job != NULL) CloseHandle(process->job);
    CloseHandle(process->info.hThread);
    CloseHandle(process->info.hProcess);
    return code;
}

void end_patch_process(PatchProcess* process) {
    TerminateProcess(process->info.hProcess, kExitInstallFailure);
    if (process->job != NULL) CloseHandle(process->job);
    CloseHandle(process->info.hThread);
    CloseHandle(process->info.hProcess);
}
