// Tokens of the process and of impersonating threads, SIDs and privileges,
// with the Win32 calls' errors: ERROR_NO_TOKEN for a thread that does not
// impersonate, ERROR_INSUFFICIENT_BUFFER with the size wanted, and
// AdjustTokenPrivileges succeeding with ERROR_NOT_ALL_ASSIGNED for a
// privilege the token does not hold.
#include "security.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "hostwin/sim_security.h"
#include "machine.h"

using namespace hostwin;

namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

struct TokenStore {
    std::shared_ptr<Token> process;
    std::map<DWORD, std::shared_ptr<Token>> threads;  // impersonation, by thread id
    int liveSids = 0;
};

TokenStore &T() {
    static TokenStore *store = [] {
        auto *s = new TokenStore;
        s->process = std::make_shared<Token>(AdministratorToken());
        M().resetHooks.push_back([s] {
            s->process = std::make_shared<Token>(AdministratorToken());
            s->threads.clear();
            s->liveSids = 0;
        });
        return s;
    }();
    return *store;
}
const bool registered = (T(), true);

struct TokenObject : Object {
    std::shared_ptr<Token> token;
    DWORD access = 0;
};

struct PrivilegeName {
    const char *name;
    DWORD luid;
};
const PrivilegeName kPrivileges[] = {
    {"SeSystemtimePrivilege", 12}, {"SeBackupPrivilege", 17},       {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},   {"SeDebugPrivilege", 20},        {"SeChangeNotifyPrivilege", 23},
};

DWORD LuidOf(const std::string &name) {
    for (const PrivilegeName &p : kPrivileges)
        if (strcasecmp(p.name, name.c_str()) == 0) return p.luid;
    return 0;
}

BOOL Fail(DWORD error) {
    SetError(error);
    return FALSE;
}

BOOL NewToken(std::shared_ptr<Token> token, DWORD access, PHANDLE out) {
    auto object = std::make_shared<TokenObject>();
    object->token = std::move(token);
    object->access = access;
    *out = AddHandle(object);
    SetError(ERROR_SUCCESS);
    return TRUE;
}

std::vector<BYTE> SidBytes(const Sid &sid) {
    std::vector<BYTE> bytes(8 + 4 * sid.subAuthorities.size());
    bytes[0] = 1;
    bytes[1] = static_cast<BYTE>(sid.subAuthorities.size());
    std::memcpy(&bytes[2], sid.authority, 6);
    for (size_t i = 0; i < sid.subAuthorities.size(); i++) std::memcpy(&bytes[8 + 4 * i], &sid.subAuthorities[i], 4);
    return bytes;
}

size_t SidLength(PSID sid) { return 8 + 4 * static_cast<size_t>(static_cast<const BYTE *>(sid)[1]); }

}  // namespace

namespace hostwin {

Sid AdministratorsSid() { return Sid{{0, 0, 0, 0, 0, 5}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}}; }
Sid UsersSid() { return Sid{{0, 0, 0, 0, 0, 5}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}}; }
Sid EveryoneSid() { return Sid{{0, 0, 0, 0, 0, 1}, {0}}; }

Token AdministratorToken() {
    Token token;
    token.groups = {{EveryoneSid()}, {AdministratorsSid()}, {UsersSid()}};
    token.privileges = {{"SeShutdownPrivilege", false}, {"SeChangeNotifyPrivilege", true}};
    return token;
}

Token UserToken() {
    Token token;
    token.groups = {{EveryoneSid()}, {UsersSid()}};
    token.privileges = {{"SeShutdownPrivilege", false}, {"SeChangeNotifyPrivilege", true}};
    return token;
}

void SetProcessToken(const Token &token) {
    Lock lk(M().lock);
    *T().process = token;
}

Token ProcessToken() {
    Lock lk(M().lock);
    return *T().process;
}

void Impersonate(const Token &token) {
    Lock lk(M().lock);
    T().threads[Self()->id] = std::make_shared<Token>(token);
}

void StopImpersonating() {
    Lock lk(M().lock);
    T().threads.erase(Self()->id);
}

int LiveSids() {
    Lock lk(M().lock);
    return T().liveSids;
}

bool ProcessPrivilegeEnabled(const std::string &name) {
    for (const TokenPrivilege &p : T().process->privileges)
        if (strcasecmp(p.name.c_str(), name.c_str()) == 0) return p.enabled;
    return false;
}

}  // namespace hostwin

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

BOOL WINAPI OpenThreadToken(HANDLE thread, DWORD access, BOOL, PHANDLE token) {
    Lock lk = Enter();
    if (ShouldFail("OpenThreadToken")) return Fail(ERROR_ACCESS_DENIED);
    if (!token) return Fail(ERROR_INVALID_PARAMETER);
    DWORD id = 0;
    if (thread == kCurrentThread) {
        id = Self()->id;
    } else if (auto object = FindAs<ThreadObject>(thread)) {
        id = object->id;
    } else {
        return Fail(ERROR_INVALID_HANDLE);
    }
    auto it = T().threads.find(id);
    if (it == T().threads.end()) return Fail(ERROR_NO_TOKEN);
    return NewToken(it->second, access, token);
}

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    Lock lk = Enter();
    if (ShouldFail("OpenProcessToken")) return Fail(ERROR_ACCESS_DENIED);
    if (process != kCurrentProcess) return Fail(ERROR_INVALID_HANDLE);
    if (!token) return Fail(ERROR_INVALID_PARAMETER);
    return NewToken(T().process, access, token);
}

BOOL WINAPI GetTokenInformation(HANDLE handle, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD length,
                                PDWORD returned) {
    Lock lk = Enter();
    if (ShouldFail("GetTokenInformation")) return Fail(ERROR_ACCESS_DENIED);
    auto token = FindAs<TokenObject>(handle);
    if (!token) return Fail(ERROR_INVALID_HANDLE);
    if (!(token->access & TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
    if (infoClass != TokenGroups) return Fail(ERROR_NOT_SUPPORTED);
    if (!returned) return Fail(ERROR_INVALID_PARAMETER);
    // A platform answering the size query with success: the product must not
    // go on as if the list had been read.
    if (ShouldFail("GetTokenInformation.succeed")) {
        *returned = 0;
        SetError(ERROR_SUCCESS);
        return TRUE;
    }
    const auto &groups = token->token->groups;
    size_t header = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    size_t size = header;
    for (const TokenGroup &g : groups) size += SidBytes(g.sid).size();
    *returned = static_cast<DWORD>(size);
    if (!info || length < size) return Fail(ERROR_INSUFFICIENT_BUFFER);
    BYTE *base = static_cast<BYTE *>(info);
    DWORD count = static_cast<DWORD>(groups.size());
    std::memcpy(base, &count, sizeof count);
    size_t at = header;
    for (size_t i = 0; i < groups.size(); i++) {
        std::vector<BYTE> sid = SidBytes(groups[i].sid);
        std::memcpy(base + at, sid.data(), sid.size());
        SID_AND_ATTRIBUTES entry{base + at, groups[i].attributes};
        std::memcpy(base + offsetof(TOKEN_GROUPS, Groups) + i * sizeof entry, &entry, sizeof entry);
        at += sid.size();
    }
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD sub0, DWORD sub1,
                                     DWORD sub2, DWORD sub3, DWORD sub4, DWORD sub5, DWORD sub6, DWORD sub7,
                                     PSID *sid) {
    Lock lk = Enter();
    if (!authority || !sid || count == 0 || count > 8) return Fail(ERROR_INVALID_PARAMETER);
    if (ShouldFail("AllocateAndInitializeSid")) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    Sid s;
    std::memcpy(s.authority, authority->Value, 6);
    DWORD subs[8] = {sub0, sub1, sub2, sub3, sub4, sub5, sub6, sub7};
    s.subAuthorities.assign(subs, subs + count);
    std::vector<BYTE> bytes = SidBytes(s);
    void *p = std::malloc(bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    *sid = p;
    T().liveSids++;
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI EqualSid(PSID a, PSID b) {
    Lock lk = Enter();
    M().calls["EqualSid"]++;
    if (!a || !b) return Fail(ERROR_INVALID_PARAMETER);
    SetError(ERROR_SUCCESS);
    return SidLength(a) == SidLength(b) && std::memcmp(a, b, SidLength(a)) == 0;
}

PVOID WINAPI FreeSid(PSID sid) {
    Lock lk = Enter();
    M().calls["FreeSid"]++;
    if (sid) {
        std::free(sid);
        T().liveSids--;
    }
    return nullptr;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
    Lock lk = Enter();
    if (ShouldFail("LookupPrivilegeValueA")) return Fail(ERROR_NO_SUCH_PRIVILEGE);
    if ((systemName && *systemName) || !name || !luid) return Fail(ERROR_INVALID_PARAMETER);
    DWORD value = LuidOf(name);
    if (!value) return Fail(ERROR_NO_SUCH_PRIVILEGE);
    luid->LowPart = value;
    luid->HighPart = 0;
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE handle, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD,
                                  PTOKEN_PRIVILEGES previousState, PDWORD) {
    Lock lk = Enter();
    if (ShouldFail("AdjustTokenPrivileges")) return Fail(ERROR_ACCESS_DENIED);
    auto token = FindAs<TokenObject>(handle);
    if (!token) return Fail(ERROR_INVALID_HANDLE);
    if (!(token->access & TOKEN_ADJUST_PRIVILEGES)) return Fail(ERROR_ACCESS_DENIED);
    if (previousState) return Fail(ERROR_NOT_SUPPORTED);  // the product never asks for it
    auto &held = token->token->privileges;
    if (disableAll) {
        for (TokenPrivilege &p : held) p.enabled = false;
        SetError(ERROR_SUCCESS);
        return TRUE;
    }
    if (!newState) return Fail(ERROR_INVALID_PARAMETER);
    bool all = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; i++) {
        LUID_AND_ATTRIBUTES entry;
        std::memcpy(&entry, reinterpret_cast<BYTE *>(newState) + offsetof(TOKEN_PRIVILEGES, Privileges) +
                                i * sizeof entry,
                    sizeof entry);
        TokenPrivilege *found = nullptr;
        for (TokenPrivilege &p : held)
            if (entry.Luid.HighPart == 0 && LuidOf(p.name) == entry.Luid.LowPart) found = &p;
        if (!found) {
            all = false;
            continue;
        }
        found->enabled = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    SetError(all ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

}  // extern "C"
