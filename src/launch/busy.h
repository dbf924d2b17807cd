// Whether another installation holds the Windows Installer, from what its
// Global\_MSIExecute mutex showed.
#pragma once

// Without the Windows headers: ERROR_ACCESS_DENIED.
const unsigned long kOpenDenied = 5;

// open_error is 0 when the mutex was opened, else the error of the open;
// query_status is then the NTSTATUS of reading its state (NtQueryMutant),
// and current_count the count it read. Busy only while another process owns
// it (a count of 0 or less): a mutex that exists unowned, or whose owner
// died, is not an installation. One that exists but is not ours to open, or
// whose state cannot be read, counts as busy.
bool installer_busy_from(unsigned long open_error, long query_status, long current_count);
