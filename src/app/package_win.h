// The package directory of this run, resolved from the program's own file.
#pragma once

// Fills path (kPackageCapacity characters) with the running module's own
// path (GetModuleFileNameW); empty when there is none or it does not fit.
void program_path(wchar_t* path);

// Fills dir (kPackageCapacity characters) with the folder of program, the
// running setup.exe, in short form where the volume has one, ending in a
// separator. False, with dir left empty, when its path does not fit.
bool resolve_package_directory(const wchar_t* program, wchar_t* dir);

// GetFullPathNameW of the first length characters of candidate, for
// resolved_command_line_tail.
bool full_path(const wchar_t* candidate, size_t length, wchar_t* out, size_t cap);

// The held package's own path for msiexec, into path (kFilePathCapacity,
// which holds the path it was opened by): msiexec_package_path of its final
// path, its folder in short form where there is one. Where Windows gives no
// final path, the path as opened, provided no link or mount point lies on
// it. False otherwise, or when it does not fit.
bool held_package_path(void* package, wchar_t* path);
