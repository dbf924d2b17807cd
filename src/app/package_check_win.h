// Checks of the patch package before anything changes: whole, and meant for
// the installed product.
#pragma once

// 0 when sums_path names no such file or does not list listed_name, or when
// the package's SHA-256 equals the listed digest. Otherwise 1636: the package
// differs, cannot be read to the end, or the list cannot be read or names it
// badly.
unsigned long check_package_whole(const wchar_t* sums_path, const wchar_t* package_path,
                                  const char* listed_name);

// The Windows Installer's verdict on the patch for the product in the
// machine context: 0 when it applies or when the installer cannot say (the
// product known only from its uninstall entry), else its status as an exit code.
unsigned long check_package_target(const wchar_t* product_code, const wchar_t* package_path);
