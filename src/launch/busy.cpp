// The busy rule of the Windows Installer's mutex.
#include "busy.h"

bool installer_busy_from(unsigned long open_error, long query_status, long current_count,
                         bool abandoned) {
    if (open_error != 0) return open_error == kOpenDenied;
    if (query_status != 0) return true;
    return current_count <= 0 && !abandoned;
}
