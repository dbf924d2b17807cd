// The update run: entry, release table, fixed order of steps and exit codes.
//
// Exit codes: 1 no eligible release; 206 the payload directory does not fit;
// 1619 the patch package is missing; 1639 the patch command does not fit;
// otherwise the exit code of the installer run (or the error that kept it
// from starting).
#include <windows.h>

#include "../cleanup/stale.h"
#include "../common/text.h"
#include "../launch/arguments.h"
#include "../launch/patch.h"
#include "../messages/messages.h"
#include "command_line.h"
#include "installed.h"
#include "package.h"
#include "package_win.h"

namespace {

// One literal for the product code: the release table and the uninstall key.
#define PRODUCT_CODE "{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"

const EligibleRelease kReleaseTable[] = {
    {PRODUCT_CODE, "14.0.1.204"},
    {PRODUCT_CODE, "14.0.2.226"},
};

const char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" PRODUCT_CODE;
const char kServicesKey[] = "SOFTWARE\\Tallowick\\Tallowick Server\\14.0\\Services";
const char kStrippedSwitch[] = "/s";
const wchar_t kPatchPackage[] = L"TallowickServer14v3Update.msp";
const int kNotEligible = 1;
const int kForwardedCapacity = 1000;

// Written once, before any check; read by the launch.
wchar_t g_payload_directory[kPayloadCapacity];

bool lead_byte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

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

bool patch_package_present() {
    wchar_t path[kCommandCapacity] = {};
    if (!text_copy(path, kCommandCapacity, g_payload_directory) ||
        !text_append(path, kCommandCapacity, kPatchPackage)) {
        return false;
    }
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int update_run(const char* tail) {
    bool payload_ready = resolve_payload_directory(g_payload_directory);
    if (!eligible_release_installed()) {
        show_not_found_message();
        return kNotEligible;
    }
    // Nothing is removed until the patch is known to be able to run.
    if (!payload_ready) return ERROR_FILENAME_EXCED_RANGE;
    if (!patch_package_present()) return ERROR_INSTALL_PACKAGE_OPEN_FAILED;
    char forwarded[kForwardedCapacity];
    filter_arguments(tail, kStrippedSwitch, forwarded, kForwardedCapacity);
    PatchLaunch launch;
    unsigned long refused =
        prepare_patch_launch(forwarded, kPatchPackage, g_payload_directory, &launch);
    if (refused != ERROR_SUCCESS) return static_cast<int>(refused);

    remove_stale_components(kServicesKey, "InstallLocation");
    return static_cast<int>(run_patch_launch(&launch, g_payload_directory));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the program runs elevated from folders
    // that anyone may have written to.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // The tail is taken from the process command line by our own rule rather
    // than from whatever the C runtime hands to WinMain.
    return update_run(command_line_tail(GetCommandLineA(), lead_byte));
}
