// The updater's own tree removal, alone: the same code as in setup.exe,
// started like the plain baseline, so that the two differ only in the
// handle-based opens and checks.
#include <windows.h>
#include <shellapi.h>

#include "../src/cleanup/stale.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 2) return 2;
    wchar_t* cut = wcsrchr(argv[1], L'\\');
    if (cut == NULL) return 2;
    *cut = 0;
    const wchar_t* name[] = {cut + 1};
    remove_tree_below(argv[1], name, 1);
    return 0;
}
