// The updater's own tree removal, alone: the same code as in setup.exe,
// started like the plain baseline, so that the two differ only in the link
// and length checks.
#include "../src/cleanup/stale.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    remove_tree(argv[1]);
    return 0;
}
