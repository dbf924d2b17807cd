// The busy rule of the Windows Installer's mutex.
#include "busy.h"

bool installer_busy_from(unsigned long open_error, unsigned long wait) {
    if (open_error != 0) return open_error == kOpenDenied;
    return wait != kWaitSignalled && wait != kWaitAbandoned;
}
