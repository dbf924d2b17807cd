// The package directory and the payload directory (the "Files" folder beside
// the program), as text.
#pragma once

#include <stddef.h>

const size_t kPackageCapacity = 1000;
const size_t kPayloadCapacity = 260;

// Copies the program path, lower-cased in A-Z only, up to and including its
// last backslash or slash into dir. Returns false when the path holds no
// separator or when it does not fit.
bool package_directory_from_path(const wchar_t* program_path, wchar_t* dir, size_t cap);

// The package directory with "Files\" after it, adding the separator when the
// directory lacks one. False, and payload untouched, when it does not fit.
bool payload_directory_from_package(const wchar_t* package_dir, wchar_t* payload, size_t cap);
