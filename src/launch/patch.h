// The patch command: the command line that runs the Windows Installer on the
// patch package through "cmd.exe /D /V:OFF /C".
#pragma once

#include <stddef.h>

const size_t kCommandCapacity = 1000;
const size_t kSystemPathCapacity = 260;

// True when cmd.exe would split or reinterpret the path unquoted: a blank or
// one of &()[]{}^=;!'+, and the backquote.
bool needs_quotes(const wchar_t* path);

// True when cmd.exe could replace part of the path: it expands %NAME%, inside
// double quotes too, so two percent signs with text between them may not
// reach msiexec as they are. "%%" and a single "%" stay as typed.
bool cmd_would_expand(const wchar_t* path);

// "/D /V:OFF /C <system>\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p <package path> <args>",
// the package path in double quotes when needs_quotes says so. False, and
// out untouched, when it does not fit cap or when cmd_would_expand the path.
bool build_patch_command(const wchar_t* system_dir, const wchar_t* package_path,
                         const wchar_t* args, wchar_t* out, size_t cap);

// "<system>\cmd.exe"; false when it does not fit cap.
bool build_application_name(const wchar_t* system_dir, wchar_t* out, size_t cap);
