// A security descriptor that lets SYSTEM and Administrators alone in, for
// what setup.exe makes: its registry record, its run record and its lock.
#pragma once

#include <windows.h>

struct AdminOnlySecurity {
    SECURITY_ATTRIBUTES attributes;  // not inherited, the descriptor below
    SECURITY_DESCRIPTOR descriptor;
    alignas(8) unsigned char acl[128];
    alignas(8) unsigned char sids[2][SECURITY_MAX_SID_SIZE];
};

// Grants access to SYSTEM and Administrators (each ACE with ace_flags),
// protected from what a parent would pass on, and fills attributes for the
// call that makes the object. False when Windows refuses.
bool admin_only_security(AdminOnlySecurity* security, DWORD access, DWORD ace_flags);
