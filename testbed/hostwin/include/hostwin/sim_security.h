// The test side of tokens: the groups and privileges of the process and of
// impersonating threads.
#pragma once
#include <string>
#include <vector>

#include "windows.h"

namespace hostwin {

struct Sid {
    BYTE authority[6] = {0, 0, 0, 0, 0, 5};
    std::vector<DWORD> subAuthorities;
};
Sid AdministratorsSid();  // S-1-5-32-544
Sid UsersSid();           // S-1-5-32-545
Sid EveryoneSid();        // S-1-1-0

struct TokenGroup {
    Sid sid;
    DWORD attributes = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
};
struct TokenPrivilege {
    std::string name;
    bool enabled = false;
};
struct Token {
    std::vector<TokenGroup> groups;
    std::vector<TokenPrivilege> privileges;  // the privileges the token holds
};
// An administrator's token: Everyone, Administrators, Users; the shutdown
// privilege held and disabled. The process token after Reset.
Token AdministratorToken();
// A user's token: Everyone, Users; the shutdown privilege held and disabled.
Token UserToken();

void SetProcessToken(const Token &token);
Token ProcessToken();  // its present state, privileges as adjusted
// The calling thread impersonates `token` until StopImpersonating.
void Impersonate(const Token &token);
void StopImpersonating();
// SIDs from AllocateAndInitializeSid not yet freed.
int LiveSids();

}  // namespace hostwin
