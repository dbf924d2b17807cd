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

// False when cmd.exe cannot be made to hand the options on as typed: a
// carriage return or line feed, or what cmd_would_expand.
bool cmd_keeps_options(const wchar_t* args);

// Appends args to command (capacity cap, zero included), a caret before each
// of &|<>^ that stands outside double quotes, so that cmd.exe hands it on.
// False, and command's text unchanged, when it does not fit.
bool append_for_cmd(wchar_t* command, size_t cap, const wchar_t* args);

// "/D /V:OFF /C <system>\msiexec.exe SETUPEXEDIR=1 REINSTALL=ALL /p <package path> <args>",
// the package path in double quotes when needs_quotes says so, args as
// append_for_cmd writes them. False, and out untouched, when it does not fit
// cap, when cmd_would_expand the path, or when not cmd_keeps_options.
bool build_patch_command(const wchar_t* system_dir, const wchar_t* package_path,
                         const wchar_t* args, wchar_t* out, size_t cap);

// "<system>\<name>"; false, and out untouched, when it does not fit cap.
bool build_system_path(const wchar_t* system_dir, const wchar_t* name, wchar_t* out, size_t cap);

// "<system>\cmd.exe"; false when it does not fit cap.
bool build_application_name(const wchar_t* system_dir, wchar_t* out, size_t cap);
