// The patch launch: the installer's process, created before anything is
// removed, and the exit poll.
#pragma once

#include <windows.h>

#include "patch.h"

struct PatchLaunch {
    wchar_t application[kSystemPathCapacity];
    wchar_t command[kCommandCapacity];
};

// True while another installation runs: the Windows Installer then holds
// its Global\_MSIExecute mutex.
bool installer_busy();

// Builds the launch; returns 0, or the exit code that ends the run instead.
unsigned long prepare_patch_launch(const wchar_t* args, const wchar_t* package_path,
                                   PatchLaunch* launch);

// Creates the patch command's process hidden in the payload directory,
// suspended, so that a cmd.exe that cannot start refuses the run before
// anything is removed. Returns 0, or a launch failure code.
unsigned long create_patch_process(PatchLaunch* launch, const wchar_t* payload,
                                   PROCESS_INFORMATION* process);

// Lets the created process run, waits for its end and returns the exit code
// to report (installer_exit_code), or a launch failure code. A process that
// cannot be resumed is ended, never left suspended. Closes both handles.
unsigned long resume_and_wait(PROCESS_INFORMATION* process);
