// The update run: entry, release table and fixed order of steps. Its exit
// codes are those of common/exit_codes.h.
#include <windows.h>
// After windows.h: UNLEN.
#include <lmcons.h>

#include "../cleanup/stale.h"
#include "../common/exit_codes.h"
#include "../launch/arguments.h"
#include "../launch/patch_win.h"
#include "../messages/messages.h"
#include "../messages/refusal.h"
#include "../record/record.h"
#include "../verify/checks_win.h"
#include "command_line.h"
#include "installed.h"
#include "package.h"
#include "package_win.h"

namespace {

// One literal each for the product code (the release table, the uninstall
// key, the patch's target) and the patch package's name (on disk and in
// SHA256SUMS).
#define PRODUCT_CODE "{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"
#define PATCH_PACKAGE "TallowickServer14v3Update.msp"

const EligibleRelease kReleaseTable[] = {
    {PRODUCT_CODE, "14.0.1.204"},
    {PRODUCT_CODE, "14.0.2.226"},
};

const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PRODUCT_CODE;
const wchar_t kServicesKey[] = L"SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\Services";
// Beside the product's own key: what each run moved aside.
const wchar_t kAsideRecordKey[] = L"SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\v3 Update";
const wchar_t kStrippedSwitch[] = L"/s";
const wchar_t kPatchPackage[] = L"" PATCH_PACKAGE;
const char kListedPackage[] = "Files/" PATCH_PACKAGE;
const int kForwardedCapacity = 1000;

// Written once, before any check; read by the launch.
wchar_t g_payload_directory[kPayloadCapacity];

// Both rows are always asked; the registry only when the Windows Installer
// did not confirm the row. A release the Windows Installer confirmed must
// also get its verdict on the patch. *found is the row that matched.
ReleaseSource eligible_release(const EligibleRelease** found) {
    ReleaseSource source = kNoRelease;
    for (const EligibleRelease& release : kReleaseTable) {
        if (installer_test(release) == kEqual) {
            source = kByInstaller;
            *found = &release;
        } else if (registry_test(release, kUninstallKey, "DisplayVersion",
                                 KEY_READ | KEY_WOW64_64KEY) == kEqual &&
                   source == kNoRelease) {
            source = kByUninstallEntry;
            *found = &release;
        }
    }
    return source;
}

// msiexec's 0 is no proof: options of another operation, or a patch that
// did not apply, end with it too. The Windows Installer must list the patch
// as applied, or report the product past the release it was. Asked only
// after a success code, so no other run reads the package's summary.
bool installer_confirms(const wchar_t* package_path, const EligibleRelease& was) {
    wchar_t patch_code[kGuidChars];
    read_patch_code(package_path, patch_code);
    return patch_applied(L"" PRODUCT_CODE, patch_code) || installer_test(was) == kInstalledGreater;
}

// The checks that follow the package's open, in their documented order,
// up to the installer's process, created suspended. 0, or the refusal.
unsigned long check_and_create(ReleaseSource release, HANDLE package, const wchar_t* package_path,
                               const wchar_t* sums_path, const wchar_t* forwarded,
                               PatchProcess* process) {
    unsigned char stamp[kDigestBytes];
    stamped_digest(stamp);
    record(digest_stamped(stamp) ? "package checked against the digest stamped in setup.exe"
                                 : "package checked by SHA256SUMS alone: a developer's build",
           nullptr, package_path);
    unsigned long refused = check_package_whole(sums_path, package, kListedPackage, stamp);
    // A package known to be cut short never reaches msi.dll, which may hang
    // or crash on one.
    if (refused == ERROR_SUCCESS) {
        refused = check_package_target(L"" PRODUCT_CODE, package_path, release);
    }
    PatchLaunch launch;
    if (refused == ERROR_SUCCESS) refused = prepare_patch_launch(forwarded, package_path, &launch);
    // An installation in progress holds the Windows Installer; the patch would
    // fail with 1618 after the trees were moved aside.
    if (refused == ERROR_SUCCESS && installer_busy()) refused = kExitInstallRunning;
    if (refused == ERROR_SUCCESS) {
        refused = create_patch_process(&launch, g_payload_directory, process);
    }
    return refused;
}

// A refusal has changed nothing; a person at the console is told why.
unsigned long refuse(unsigned long code, bool quiet, const wchar_t* forwarded,
                     const wchar_t* package_path) {
    record_code("refused", code);
    if (boxes_can_be_seen(quiet)) {
        bool percent = package_path != nullptr && cmd_would_expand(package_path);
        show_refusal(code, refusal_advice(code, percent, !cmd_keeps_options(forwarded)));
    }
    return code;
}

// A stale folder that stopped the run, named in the box.
unsigned long refuse_folder(unsigned long code, bool quiet, const wchar_t* path) {
    record_code("refused", code, path);
    FolderAdvice advice = folder_advice(code);
    if (boxes_can_be_seen(quiet)) show_refusal(code, advice.before, path, advice.after);
    return code;
}

// lock: what taking the run's lock returned.
unsigned long update_run(const wchar_t* command_line, unsigned long lock) {
    // The module's own path, not the command line's first word: that is
    // whatever the parent wrote there, and may be relative or no path at all.
    wchar_t program[kPackageCapacity];
    program_path(program);
    record("start", nullptr, program);
    // Null when the program's own name cannot be told from the options.
    const wchar_t* tail = resolved_command_line_tail(command_line, program, full_path);
    wchar_t forwarded[kForwardedCapacity];
    filter_arguments(tail != nullptr ? tail : L"", kStrippedSwitch, forwarded, kForwardedCapacity);
    // Read from all the options, also past the 999 that can be passed on.
    const wchar_t* options = tail != nullptr ? tail : command_line;
    bool quiet = asks_quiet(options);
    record("options", nullptr, options);
    wchar_t user[UNLEN + 1];
    DWORD user_chars = UNLEN + 1;
    if (GetUserNameW(user, &user_chars)) record("user", nullptr, user);
    // Another run holds the lock, or a killed run's msiexec still runs: its
    // trees are that run's, moved back or removed as it ends.
    if (lock != ERROR_SUCCESS) return refuse(lock_failure_code(lock), quiet, forwarded, nullptr);
    if (earlier_installer_runs(kAsideRecordKey)) {
        record("an earlier run's installer still runs");
        return refuse(kExitInstallRunning, quiet, forwarded, nullptr);
    }
    wchar_t package_dir[kPackageCapacity];
    bool payload_ready =
        resolve_package_directory(program, package_dir) &&
        path_in_folder(package_dir, L"Files\\", g_payload_directory, kPayloadCapacity);
    const EligibleRelease* was = &kReleaseTable[0];
    ReleaseSource release = eligible_release(&was);
    record(release == kByInstaller        ? "release by the Windows Installer"
           : release == kByUninstallEntry ? "release by its uninstall entry"
                                          : "release none",
           release == kNoRelease ? nullptr : was->version);
    if (release == kNoRelease) {
        // A killed run's trees, left aside on a server its msiexec went on
        // to patch: the Windows Installer reports it past both releases.
        if (installer_test(kReleaseTable[1]) == kInstalledGreater) {
            remove_recorded_trees(kServicesKey, L"InstallLocation", kAsideRecordKey);
        }
        // The same rule as a refusal's: a quiet run waits for no click.
        if (boxes_can_be_seen(quiet)) show_not_found_message();
        return kExitNotEligible;
    }
    // Nothing is moved until the patch is known to be able to run. Each
    // check below refuses with its own code and changes nothing.
    // Where nobody can see a window, msiexec's wizard or closing box would
    // wait for a click until a deployment tool's time-out.
    if (!boxes_can_be_seen(false) && waits_for_a_person(options)) {
        return refuse(kExitCommandRefused, quiet, forwarded, nullptr);
    }
    // msiexec's help would wait for a click; another operation is not this patch.
    if (asks_another_operation(options))
        return refuse(kExitCommandRefused, quiet, forwarded, nullptr);
    if (tail == nullptr) return refuse(kExitCommandRefused, quiet, forwarded, nullptr);
    wchar_t package_path[kFilePathCapacity];
    wchar_t sums_path[kFilePathCapacity];
    if (!payload_ready ||
        !path_in_folder(g_payload_directory, kPatchPackage, package_path, kFilePathCapacity) ||
        !path_in_folder(package_dir, L"SHA256SUMS", sums_path, kFilePathCapacity)) {
        return refuse(kExitPathTooLong, quiet, forwarded, nullptr);
    }
    // Held from the digest to the end of the wait: the file msiexec reads is
    // the one that was checked.
    HANDLE package = INVALID_HANDLE_VALUE;
    PatchProcess process;
    unsigned long refused = hold_package(package_path, &package);
    // msiexec opens the package again by path: it gets the held file's own
    // one, so a link on the way re-pointed after the checks cannot hand it
    // another file.
    if (refused == ERROR_SUCCESS && !held_package_path(package, package_path)) {
        refused = kExitPathTooLong;
    }
    if (refused == ERROR_SUCCESS) {
        refused = check_and_create(release, package, package_path, sums_path, forwarded, &process);
    }
    if (refused != ERROR_SUCCESS) {
        if (package != INVALID_HANDLE_VALUE) CloseHandle(package);
        return refuse(refused, quiet, forwarded, package_path);
    }
    // Out of their places while msiexec runs, back unless it succeeded: a
    // patch that fails after the checks leaves the server as it was.
    // A tree that cannot move is never emptied under the program that holds
    // it: the run stops with nothing changed.
    StaleTrees trees;
    move_stale_aside(kServicesKey, L"InstallLocation", kAsideRecordKey, &trees);
    if (trees.refusal != ERROR_SUCCESS) {
        end_patch_process(&process);
        CloseHandle(package);
        return refuse_folder(trees.refusal, quiet, trees.path);
    }
    record_installer(kAsideRecordKey, process.info.hProcess);
    unsigned long code = resume_and_wait(&process);
    bool patched = installer_succeeded(code) && installer_confirms(package_path, *was);
    if (installer_succeeded(code)) {
        record(patched ? "patch confirmed by the installer"
                       : "patch not confirmed by the installer");
    }
    if (installer_succeeded(code) && !patched) code = kExitInstallFailure;
    settle_stale_trees(&trees, kAsideRecordKey, patched);
    CloseHandle(package);
    return code;
}

}  // namespace

// Windows enters here directly, without the C runtime's start-up: nothing
// here needs it (no constructors, no stdio, no heap), and it was half the
// file. So the arguments are not WinMain's and go unused; the process ends
// through ExitProcess, never by returning.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the program runs elevated from folders
    // that anyone may have written to.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // One run at a time, from the first record line to the last; only the
    // run that holds the lock may start a new record file.
    unsigned long lock = take_run_lock();
    open_run_record(lock == ERROR_SUCCESS);
    // The tail is taken from the wide process command line by our own rule:
    // a narrow one has lost what the ANSI code page cannot hold.
    unsigned long code = update_run(GetCommandLineW(), lock);
    record_code("exit", code);
    ExitProcess(code);
}
