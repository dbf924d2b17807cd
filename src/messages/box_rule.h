// When a box may be shown: one rule for the not-found box and the refusal box.
#pragma once

// USEROBJECTFLAGS' WSF_VISIBLE, without the Windows headers.
const unsigned long kStationVisible = 0x0001;

// True when a person can see and close a box: the options do not ask
// msiexec for a quiet run, the process's window station is visible, and its
// session is not 0, which no user has seen since Windows Vista (a service,
// psexec -s -i 0), although its WinSta0 is marked visible.
bool box_can_be_seen(bool quiet, unsigned long station_flags, unsigned long session);
