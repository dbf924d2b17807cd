// The box that says why the run stopped before changing anything.
#pragma once

#include <stddef.h>

// One English sentence that says what to do, for the refusals whose system
// text would not: a package to copy again (1636), one to try again later
// (32, 33), options or a folder that cmd.exe would change (1639 with
// options_changed or percent_in_folder). An empty text for the others.
// Narrow: English alone, half the size in the file.
const char* refusal_advice(unsigned long code, bool percent_in_folder, bool options_changed);

// The sentence for a stale folder that stopped the run, before and after
// its path: 183 (something setup.exe did not put at an aside name), 170 (the
// server's own programs hold the folder) or any other code (its record in the registry
// could not be written).
struct FolderAdvice {
    const char* before;
    const char* after;
};
FolderAdvice folder_advice(unsigned long code);

// Stands in where Windows has no text for the code.
extern const wchar_t kRefusalFallback[];

// Windows edges (refusal_win.cpp). Shows "<advice><folder><after><Windows'
// own text for code, in the system's language>\n(<code>)" in a box (MB_OK |
// MB_ICONERROR, caption "Tallowick Server 14"). Only where boxes_can_be_seen.
void show_refusal(unsigned long code, const char* advice, const wchar_t* folder = L"",
                  const char* after = "");
