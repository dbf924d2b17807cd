// The busy rule of the Windows Installer's mutex.
#include "busy.h"

bool installer_busy_from(unsigned long open_error, long query_status, long current_count) {
    if (open_error != 0) return open_error == kOpenDenied;
    if (query_status != 0) return true;
    // An abandoned mutex reads as released (a count of 1) until someone takes it.
    return current_count <= 0;
}
