// A program to plant beside setup.exe under a system program's name: if it
// is ever run it leaves C:\planted-<its name>-ran.txt.
#include "support.h"

int main() {
    leave_mark(NULL, "-ran.txt");
    return 0;
}
