// Windows: the system keeps no reverse-path filter or /proc settings; the
// link state is not needed (an adapter without one has no address in the
// table); the neighbour table needs an administrator.
#include "platform/SystemState.h"

#include <windows.h>

namespace platform {

TLinkState ReadLinkState(const std::string&) {
    return {};
}

std::optional<std::string> ReadKernelSetting(const std::string&) {
    return std::nullopt;
}

std::optional<bool> HasDefaultRoute() {
    return std::nullopt;
}

bool MayChangeNeighbourTable() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    // A member whose token is not elevated (UAC) gets FALSE here, as "arp -s" would refuse it.
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

} // namespace platform
