// Checks of the patch package before anything changes: present, whole, and
// meant for the installed product. Each returns 0 or the exit code that
// refuses the run.
#pragma once

#include <windows.h>

#include "sums.h"
#include "verdict.h"

// Opens the package once for the whole run: read access, read sharing only,
// so that no other process can write, rename or delete it until the handle
// is closed (the Windows Installer reads it with read sharing). 1635 when it
// is not there or is a folder; 32 or 33 when another process still holds it
// after about 5 s of trying again; 1636 when it cannot be opened otherwise.
unsigned long hold_package(const wchar_t* path, HANDLE* package);

// The stamp of a build that carries none.
const unsigned char kNoStamp[kDigestBytes] = {};

// The patch package's SHA-256 that tools/package stamped into this
// setup.exe before signing it; zeros in a build never stamped.
void stamped_digest(unsigned char* digest);

// 0 when the held package's SHA-256 equals the digest stamped into setup.exe
// (digest_stamped) and the one the list at sums_path gives, each where there
// is one: without a stamp and without the list, 0 unread. 1636 when it
// differs, cannot be read to the end, or a list that is there cannot be read
// or does not vouch for it; 32 or 33 when another process still holds the
// list after about 5 s, 33 when a read meets a range another process locked;
// the Windows error (check_failure_code) when CNG cannot hash.
unsigned long check_package_whole(const wchar_t* sums_path, HANDLE package, const char* listed_name,
                                  const unsigned char* stamp);

// The Windows Installer's verdict on the patch for the product in the
// machine context (patch_verdict).
unsigned long check_package_target(const wchar_t* product_code, const wchar_t* package_path,
                                   ReleaseSource source);

// The package's patch code (its summary's revision number, patch_code_of)
// into code (kGuidChars); empty when it cannot be read.
void read_patch_code(const wchar_t* package_path, wchar_t* code);

// True when the Windows Installer lists the patch as applied to the product
// in the machine context (MsiGetPatchInfoExW, its "State" 1).
bool patch_applied(const wchar_t* product_code, const wchar_t* patch_code);
