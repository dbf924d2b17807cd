// The package directory of this run, resolved from the program's own file.
#pragma once

// Fills dir (kPackageCapacity characters) with the folder of the running
// setup.exe, in short form where the volume has one, ending in a separator.
// False, with dir left empty, when its path does not fit.
bool resolve_package_directory(wchar_t* dir);
