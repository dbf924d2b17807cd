// The patch launch: the installer's process, created before anything is
// removed, and the exit poll.
#pragma once

#include <windows.h>

#include "patch.h"

struct PatchLaunch {
    wchar_t application[kSystemPathCapacity];
    wchar_t command[kCommandCapacity];
};

// The created process, and the job that ends it with setup.exe until it is
// let run (NULL where Windows gave no job).
struct PatchProcess {
    PROCESS_INFORMATION info;
    HANDLE job;
};

// True while another installation runs: another process then owns the
// Windows Installer's Global\_MSIExecute mutex (installer_busy_from).
bool installer_busy();

// Builds the launch; returns 0, or the exit code that ends the run instead:
// 1639 for a command that does not fit or that cmd.exe would change, the
// Windows error (2) when System32 holds no msiexec.exe file.
unsigned long prepare_patch_launch(const wchar_t* args, const wchar_t* package_path,
                                   PatchLaunch* launch);

// Creates the patch command's process hidden in the payload directory,
// suspended, so that a cmd.exe that cannot start refuses the run before
// anything is moved, inside a job that kills it when setup.exe dies before
// letting it run (joined right after its creation where Windows cannot
// create it inside one, or where job_list is false: Windows before 10).
// Returns 0, or a launch failure code.
unsigned long create_patch_process(PatchLaunch* launch, const wchar_t* payload,
                                   PatchProcess* process, bool job_list = true);

// Lets the created process run, out of reach of the job's kill, waits for
// its end and returns the exit code to report (installer_exit_code), or a
// launch failure code. A process that cannot be resumed is ended, never left
// suspended. Closes every handle of process.
unsigned long resume_and_wait(PatchProcess* process);

// Ends the created process before it ran (the run refused after its
// creation) and closes every handle of process.
void end_patch_process(PatchProcess* process);
