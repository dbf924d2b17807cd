// The Windows Installer's answer on the patch package, as the run's decision.
#pragma once

// How the eligible release was found: the Windows Installer's own record,
// or only the product's uninstall entry.
enum ReleaseSource { kNoRelease, kByInstaller, kByUninstallEntry };

// MSIPATCHSEQUENCEINFO's dwOrder for a patch that does not apply (-1).
const unsigned long kOrderNotApplicable = 0xFFFFFFFFul;

// 0 when the patch may run, otherwise the exit code that refuses it, from
// MsiDeterminePatchSequenceW's return value (call) and the patch's uStatus
// and dwOrder. A failed call is no verdict: it refuses when the installer
// knows the release (its status, else the call's code), and lets the run go
// on only for a release known from its uninstall entry alone, unless the
// call says the product is unknown (1605).
unsigned long patch_verdict(ReleaseSource source, unsigned long call, unsigned long status,
                            unsigned long order);

// A GUID in braces, its zero included.
const unsigned long kGuidChars = 39;

// The patch code from a patch package's revision number: its first GUID in
// braces; the GUIDs after it name patches it replaces. False, and code
// empty, when the text does not start with one.
bool patch_code_of(const wchar_t* revision, wchar_t* code);
