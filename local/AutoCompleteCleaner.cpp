#include "AutoCompleteCleaner.h"

#include <platform/Environment.h>
#include <platform/Registry.h>

namespace local {

namespace {

constexpr DWORD AllKeyRights = 0xF003F;
constexpr DWORD InheritedBySubkeysAndObjects = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

bool isNtFamily()
{
    OSVERSIONINFO info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionEx(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A DACL that gives all key rights to the user and to Local System, inherited below.
class WideDescriptor {
public:
    explicit WideDescriptor(PSID user)
    {
        if (!AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0,
                                      0, 0, 0, 0, &m_system)) {
            m_system = nullptr;
            return;
        }
        const DWORD aceBase = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
        const DWORD size = sizeof(ACL) + 2 * aceBase + GetLengthSid(user) + GetLengthSid(m_system);
        m_acl.resize(size);
        auto* acl = reinterpret_cast<PACL>(m_acl.data());
        m_ready = InitializeAcl(acl, size, ACL_REVISION) &&
                  AddAccessAllowedAceEx(acl, ACL_REVISION, InheritedBySubkeysAndObjects,
                                        AllKeyRights, user) &&
                  AddAccessAllowedAceEx(acl, ACL_REVISION, InheritedBySubkeysAndObjects,
                                        AllKeyRights, m_system) &&
                  InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                  SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE);
    }
    ~WideDescriptor()
    {
        if (m_system != nullptr) {
            FreeSid(m_system);
        }
    }
    WideDescriptor(const WideDescriptor&) = delete;
    WideDescriptor& operator=(const WideDescriptor&) = delete;

    bool ready() const { return m_ready; }
    PSECURITY_DESCRIPTOR get() { return &m_descriptor; }

private:
    PSID m_system = nullptr;
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    bool m_ready = false;
};

} // namespace

void AutoCompleteCleaner::run()
{
    if (isNtFamily()) {
        clearUserBranch();
    }
    char user[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (GetUserName(user, &size)) {
        const std::string branch = std::string(ProtectedStorageKey) + user + AutoCompleteDataKey;
        SHDeleteKey(HKEY_LOCAL_MACHINE, branch.c_str());
    }
}

std::string AutoCompleteCleaner::sidText(PSID sid)
{
    std::string text = "S-1-" + std::to_string(GetSidIdentifierAuthority(sid)->Value[5]);
    const BYTE count = *GetSidSubAuthorityCount(sid);
    for (DWORD i = 0; i < count; ++i) {
        text += "-" + std::to_string(*GetSidSubAuthority(sid, i));
    }
    return text;
}

void AutoCompleteCleaner::clearUserBranch()
{
    std::vector<BYTE> sid = currentUserSid();
    if (sid.empty()) {
        return;
    }
    const std::string key = ProtectedStorageKey + sidText(sid.data());
    const std::string data = key + "\\Data";
    const std::string autoComplete = key + AutoCompleteDataKey;
    const std::vector<BYTE> saved = saveDacl(key);
    {
        WideDescriptor wide(sid.data());
        if (wide.ready()) {
            applyDacl(key, wide.get(), false);
            applyDacl(data, wide.get(), false);
            applyDacl(autoComplete, wide.get(), true);
            SHDeleteKey(HKEY_CURRENT_USER, autoComplete.c_str());
        }
    }
    if (!saved.empty()) {
        // The old rights go back on the user's key only: what lay below is gone.
        HKEY handle = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &handle) == ERROR_SUCCESS) {
            RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, const_cast<BYTE*>(saved.data()));
            RegCloseKey(handle);
        }
    }
}

std::vector<BYTE> AutoCompleteCleaner::currentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    std::vector<BYTE> sid;
    DWORD needed = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
    if (needed > 0) {
        std::vector<BYTE> info(needed);
        if (GetTokenInformation(token, TokenUser, info.data(), needed, &needed)) {
            PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
            if (IsValidSid(user)) {
                sid.resize(GetLengthSid(user));
                if (!CopySid(static_cast<DWORD>(sid.size()), sid.data(), user)) {
                    sid.clear();
                }
            }
        }
    }
    CloseHandle(token);
    return sid;
}

std::vector<BYTE> AutoCompleteCleaner::saveDacl(const std::string& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, key.c_str(), 0, READ_CONTROL, &handle) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<BYTE> descriptor;
    DWORD size = 0;
    if (RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, nullptr, &size) ==
            ERROR_INSUFFICIENT_BUFFER &&
        size > 0) {
        descriptor.resize(size);
        if (RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor.data(), &size) !=
            ERROR_SUCCESS) {
            descriptor.clear();
        }
    }
    RegCloseKey(handle);
    return descriptor;
}

void AutoCompleteCleaner::applyDacl(const std::string& key, PSECURITY_DESCRIPTOR descriptor,
                                    bool subkeys)
{
    HKEY handle = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &handle) != ERROR_SUCCESS) {
        return;
    }
    RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(handle);
    if (!subkeys) {
        return;
    }
    // The names first: the rights of each subkey change before it is opened to be listed.
    std::vector<std::string> names;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        char name[MAX_PATH];
        for (DWORD index = 0; RegEnumKey(handle, index, name, sizeof name) == ERROR_SUCCESS;
             ++index) {
            names.emplace_back(name);
        }
        RegCloseKey(handle);
    }
    for (const std::string& name : names) {
        applyDacl(key + "\\" + name, descriptor, true);
    }
}

} // namespace local
