// Whether another installation holds the Windows Installer, from what its
// Global\_MSIExecute mutex showed.
#pragma once

// Without the Windows headers: ERROR_ACCESS_DENIED, and the results of
// WaitForSingleObject.
const unsigned long kOpenDenied = 5;
const unsigned long kWaitSignalled = 0;     // WAIT_OBJECT_0
const unsigned long kWaitAbandoned = 0x80;  // WAIT_ABANDONED
const unsigned long kWaitTimedOut = 258;    // WAIT_TIMEOUT

// open_error is 0 when the mutex was opened, else the error of the open;
// wait is then the result of a 0 ms wait on it. Busy only while another
// process owns it: a mutex that exists unowned is not an installation.
// One that exists but is not ours to open, or whose wait fails, counts as
// busy.
bool installer_busy_from(unsigned long open_error, unsigned long wait);
