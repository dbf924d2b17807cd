// The updater's exit codes: one table for the run and the launch, mirrored
// by the README. 1 means "no eligible release" and nothing else, so that a
// deployment tool can read it as "not applicable".
#pragma once

// No Windows headers here: the values are the Windows error codes named.
const unsigned long kExitSuccess = 0;            // ERROR_SUCCESS, from the installer
const unsigned long kExitNotEligible = 1;        // no eligible release installed
const unsigned long kExitPathTooLong = 206;      // ERROR_FILENAME_EXCED_RANGE
const unsigned long kExitInstallFailure = 1603;  // ERROR_INSTALL_FAILURE
const unsigned long kExitUnknownProduct = 1605;  // ERROR_UNKNOWN_PRODUCT
const unsigned long kExitInstallRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING
const unsigned long kExitPatchMissing = 1635;    // ERROR_PATCH_PACKAGE_OPEN_FAILED, as msiexec
const unsigned long kExitPatchInvalid = 1636;    // ERROR_PATCH_PACKAGE_INVALID: not as listed
// Every refused command line: too long for msiexec's, one cmd.exe would
// change, msiexec's help, another operation, or a window nobody would see.
const unsigned long kExitCommandRefused = 1639;  // ERROR_INVALID_COMMAND_LINE
// The Windows Installer's own status for a patch it will not apply is passed
// on as it is: typically 1642 or 1636.
const unsigned long kExitPatchNotApplicable = 1642;  // ERROR_PATCH_TARGET_NOT_FOUND
const unsigned long kExitNotSupported = 50;          // ERROR_NOT_SUPPORTED
// The patch package held by another process: the Windows error, "retry later".
const unsigned long kExitPackageShared = 32;  // ERROR_SHARING_VIOLATION
const unsigned long kExitPackageLocked = 33;  // ERROR_LOCK_VIOLATION

// A stale tree that cannot move aside: something not ours at its aside name,
// or the server's own programs holding it ("the requested resource is in
// use": stop the services, never a blind retry; 32 is the held package's
// "retry later"). The run stops before msiexec, nothing changed.
const unsigned long kExitAsideTaken = 183;  // ERROR_ALREADY_EXISTS
const unsigned long kExitTreeHeld = 170;    // ERROR_BUSY

const unsigned long kExitRestartNeeded = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
const unsigned long kExitRestarting = 1641;     // ERROR_SUCCESS_REBOOT_INITIATED

// Only these codes can mean the patch was applied, and only once the Windows
// Installer confirms it; after any other the stale trees go back.
inline bool installer_succeeded(unsigned long code) {
    return code == kExitSuccess || code == kExitRestartNeeded || code == kExitRestarting;
}

// What the run reports for the launched process's own exit code: a cmd or
// msiexec that ended with 1 (killed, a syntax error) failed; it must not
// read as "not eligible".
inline unsigned long installer_exit_code(unsigned long code) {
    return code == kExitNotEligible ? kExitInstallFailure : code;
}

// An exit code for a launch that failed with last_error: never 0 (success)
// nor 1 (no eligible release).
inline unsigned long launch_failure_code(unsigned long last_error) {
    return last_error > kExitNotEligible ? last_error : kExitInstallFailure;
}

// An exit code for a read of the package or its list that failed with
// last_error: a range another process locked (33) is "retry later"; any
// other failure leaves the package unvouched for (1636).
inline unsigned long read_failure_code(unsigned long last_error) {
    return last_error == kExitPackageLocked ? kExitPackageLocked : kExitPatchInvalid;
}

// An exit code for a check that could not run (CNG missing or failing):
// the Windows error, but never a code that reads as success, "not eligible"
// or "replace the package", for a package that may be fine.
inline unsigned long check_failure_code(unsigned long last_error) {
    return last_error > kExitNotEligible && last_error != kExitPatchInvalid ? last_error
                                                                            : kExitNotSupported;
}

// The run's lock, or an earlier run's msiexec, still held: the Windows
// Installer's own "another installation is in progress", which deployment
// tools retry. Any other failure to take the lock: the Windows error.
inline unsigned long lock_failure_code(unsigned long last_error) {
    return last_error == kExitPackageShared ? kExitInstallRunning : launch_failure_code(last_error);
}

// What refuses the run when its record of a tree cannot be written to the
// registry: the Windows error, never one that reads as success, "not
// eligible" or another refusal's advice.
inline unsigned long record_failure_code(unsigned long last_error) {
    return last_error > kExitNotEligible && last_error != kExitTreeHeld &&
                   last_error != kExitAsideTaken && last_error != kExitPackageShared
               ? last_error
               : 1016;  // ERROR_REGISTRY_IO_FAILED
}
