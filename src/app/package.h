// The package directory, and the paths in it (the "Files" folder, the patch
// package, SHA256SUMS), as text.
#pragma once

#include <stddef.h>

const size_t kPackageCapacity = 1000;
const size_t kPayloadCapacity = 260;
// The package file and SHA256SUMS are opened by path, without the \\?\ form:
// the manifest does not declare long paths, so Windows refuses longer ones.
const size_t kFilePathCapacity = 260;  // MAX_PATH

// Copies the program path, in its own letter case, up to and including its
// last backslash or slash into dir. Returns false when the path holds no
// separator or when it does not fit.
bool package_directory_from_path(const wchar_t* program_path, wchar_t* dir, size_t cap);

// folder, a separator when it lacks one, then name. False, and out
// untouched, when it does not fit cap.
bool path_in_folder(const wchar_t* folder, const wchar_t* name, wchar_t* out, size_t cap);

// The path msiexec is handed for the held package: what Windows reports as
// the file's own final path (GetFinalPathNameByHandleW, "\\?\C:\..." or
// "\\?\UNC\server\share\..."), in the plain form msiexec takes. No link or
// mount point is left on it for Windows to resolve again. False, and out
// untouched, for any other form or when it does not fit cap.
bool msiexec_package_path(const wchar_t* final_path, wchar_t* out, size_t cap);

// The length of the root of a path on a drive, below which no folder of its
// own is looked at: 2 for "X:\..."; 0 for any other form (a UNC path, which
// Windows always gives a final path for).
size_t path_root_length(const wchar_t* path);
