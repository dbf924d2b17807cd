// SYSTEM and Administrators alone, not inherited from a parent that may let
// others in.
#include "security_win.h"

bool admin_only_security(AdminOnlySecurity* security, DWORD access, DWORD ace_flags) {
    const WELL_KNOWN_SID_TYPE kOwners[] = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
    security->attributes = {sizeof security->attributes, &security->descriptor, FALSE};
    PACL acl = reinterpret_cast<PACL>(security->acl);
    if (!InitializeAcl(acl, sizeof security->acl, ACL_REVISION)) return false;
    for (int i = 0; i < 2; ++i) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        if (!CreateWellKnownSid(kOwners[i], NULL, security->sids[i], &size) ||
            !AddAccessAllowedAceEx(acl, ACL_REVISION, ace_flags, access, security->sids[i])) {
            return false;
        }
    }
    return InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&security->descriptor, SE_DACL_PROTECTED,
                                        SE_DACL_PROTECTED);
}
