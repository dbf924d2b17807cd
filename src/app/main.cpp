// The update run: entry, release table and fixed order of steps. Its exit
// codes are those of common/exit_codes.h.
#include <windows.h>

#include "../cleanup/stale.h"
#include "../common/exit_codes.h"
#include "../launch/arguments.h"
#include "../launch/patch.h"
#include "../messages/messages.h"
#include "command_line.h"
#include "installed.h"
#include "package.h"
#include "package_check_win.h"
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
const wchar_t kStrippedSwitch[] = L"/s";
const wchar_t kPatchPackage[] = L"" PATCH_PACKAGE;
const char kListedPackage[] = "Files/" PATCH_PACKAGE;
const int kForwardedCapacity = 1000;

// Written once, before any check; read by the launch.
wchar_t g_payload_directory[kPayloadCapacity];

bool eligible_release_installed() {
    bool eligible = false;
    // Both rows are always asked; the registry only when the Windows
    // Installer did not confirm the row.
    for (const EligibleRelease& release : kReleaseTable) {
        int result = installer_test(release);
        if (result != kEqual) {
            result =
                registry_test(release, kUninstallKey, "DisplayVersion", KEY_READ | KEY_WOW64_64KEY);
        }
        if (result == kEqual) eligible = true;
    }
    return eligible;
}

bool patch_package_present(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned long update_run(const wchar_t* tail) {
    wchar_t package_dir[kPackageCapacity];
    bool payload_ready =
        resolve_package_directory(package_dir) &&
        path_in_folder(package_dir, L"Files\\", g_payload_directory, kPayloadCapacity);
    if (!eligible_release_installed()) {
        show_not_found_message();
        return kExitNotEligible;
    }
    // Nothing is removed until the patch is known to be able to run. Each
    // check below refuses with its own code and changes nothing.
    wchar_t package_path[kFilePathCapacity];
    wchar_t sums_path[kFilePathCapacity];
    if (!payload_ready ||
        !path_in_folder(g_payload_directory, kPatchPackage, package_path, kFilePathCapacity) ||
        !path_in_folder(package_dir, L"SHA256SUMS", sums_path, kFilePathCapacity)) {
        return kExitPathTooLong;
    }
    if (!patch_package_present(package_path)) return kExitPatchMissing;
    unsigned long refused = check_package_whole(sums_path, package_path, kListedPackage);
    // A package known to be cut short never reaches msi.dll, which may hang
    // or crash on one.
    if (refused == ERROR_SUCCESS) refused = check_package_target(L"" PRODUCT_CODE, package_path);
    if (refused != ERROR_SUCCESS) return refused;

    wchar_t forwarded[kForwardedCapacity];
    filter_arguments(tail, kStrippedSwitch, forwarded, kForwardedCapacity);
    PatchLaunch launch;
    refused = prepare_patch_launch(forwarded, package_path, &launch);
    if (refused != ERROR_SUCCESS) return refused;

    // An installation in progress holds the Windows Installer; the patch would
    // fail with 1618 after the trees were gone.
    if (installer_busy()) return kExitInstallRunning;
    remove_stale_components(kServicesKey, L"InstallLocation");
    return run_patch_launch(&launch, g_payload_directory);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the program runs elevated from folders
    // that anyone may have written to.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The tail is taken from the wide process command line by our own rule:
    // the narrow one WinMain gets has lost what the ANSI code page cannot hold.
    return static_cast<int>(update_run(command_line_tail(GetCommandLineW())));
}
