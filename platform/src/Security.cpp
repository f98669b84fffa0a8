// Security identifiers, access-control lists and security descriptors in Win32's binary
// layouts, and the process token that names the current user.

#include "Handles.h"
#include "RegistrySecurity.h"

#include <platform/Security.h>

#include <cstdlib>
#include <cstring>

namespace {

using platform::detail::HandleKind;
using platform::detail::KernelObject;

constexpr DWORD kMaxSubAuthorities = 15;
constexpr DWORD kSidHeader = 8; // revision, count, six authority bytes
constexpr BYTE kValidAceFlags = 0x1F;
// A self-relative descriptor carries no size of its own: its parts are checked within
// the most that a header's offsets and two full ACLs can span.
constexpr std::size_t kLargestRelativeDescriptor = 0x20000;

// The token of the current process: there is one user, so the object holds nothing.
class Token : public KernelObject {
public:
    Token() : KernelObject(HandleKind::Token) {}
};

struct RelativeHeader {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    DWORD Owner;
    DWORD Group;
    DWORD Sacl;
    DWORD Dacl;
};
static_assert(sizeof(RelativeHeader) == 20);

bool isSelfRelative(const void* sd)
{
    return (static_cast<const SECURITY_DESCRIPTOR*>(sd)->Control & SE_SELF_RELATIVE) != 0;
}

BOOL fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

// Appends one ACE (allowed or denied, same layout) at the end of the ACL's used part.
BOOL addAce(PACL acl, DWORD revision, BYTE type, DWORD flags, DWORD mask, PSID sid)
{
    if (acl == nullptr || !IsValidAcl(acl) || !IsValidSid(sid) || (flags & ~kValidAceFlags) != 0) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (revision < ACL_REVISION || revision > 4) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD used = platform::detail::aclUsedSize(acl);
    const DWORD aceSize = 8 + GetLengthSid(sid);
    if (used + aceSize > acl->AclSize || acl->AceCount == 0xFFFF) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto* ace = reinterpret_cast<BYTE*>(acl) + used;
    ace[0] = type;
    ace[1] = static_cast<BYTE>(flags);
    const WORD size = static_cast<WORD>(aceSize);
    std::memcpy(ace + 2, &size, 2);
    std::memcpy(ace + 4, &mask, 4);
    std::memcpy(ace + 8, sid, GetLengthSid(sid));
    ++acl->AceCount;
    return TRUE;
}

} // namespace

HANDLE GetCurrentProcess() noexcept
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) noexcept
{
    if (token == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (process != GetCurrentProcess()) {
        return fail(ERROR_INVALID_HANDLE);
    }
    try {
        *token = platform::detail::registerHandle(std::make_shared<Token>());
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD size,
                         LPDWORD needed) noexcept
{
    if (platform::detail::lookupHandle(token, HandleKind::Token) == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (cls != TokenUser || needed == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const std::string& sid = platform::detail::currentUserSid();
    // The SID follows the TOKEN_USER structure in the same buffer, as Windows lays it out.
    const DWORD total = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
    *needed = total;
    if (info == nullptr || size < total) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto* user = static_cast<TOKEN_USER*>(info);
    auto* sidCopy = static_cast<BYTE*>(info) + sizeof(TOKEN_USER);
    std::memcpy(sidCopy, sid.data(), sid.size());
    user->User.Sid = sidCopy;
    user->User.Attributes = 0;
    return TRUE;
}

BOOL IsValidSid(PSID sid) noexcept
{
    const auto* s = static_cast<const BYTE*>(sid);
    return s != nullptr && s[0] == 1 && s[1] <= kMaxSubAuthorities ? TRUE : FALSE;
}

DWORD GetLengthSid(PSID sid) noexcept
{
    if (!IsValidSid(sid)) {
        SetLastError(ERROR_INVALID_SID);
        return 0;
    }
    return kSidHeader + 4 * static_cast<const BYTE*>(sid)[1];
}

BOOL CopySid(DWORD size, PSID destination, PSID source) noexcept
{
    if (!IsValidSid(source) || destination == nullptr) {
        return fail(ERROR_INVALID_SID);
    }
    const DWORD length = GetLengthSid(source);
    if (size < length) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memmove(destination, source, length);
    return TRUE;
}

BOOL EqualSid(PSID a, PSID b) noexcept
{
    if (!IsValidSid(a) || !IsValidSid(b)) {
        return fail(ERROR_INVALID_SID);
    }
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetLengthSid(a);
    return length == GetLengthSid(b) && std::memcmp(a, b, length) == 0 ? TRUE : FALSE;
}

SID_IDENTIFIER_AUTHORITY* GetSidIdentifierAuthority(PSID sid) noexcept
{
    return &static_cast<SID*>(sid)->IdentifierAuthority;
}

BYTE* GetSidSubAuthorityCount(PSID sid) noexcept
{
    return &static_cast<SID*>(sid)->SubAuthorityCount;
}

DWORD* GetSidSubAuthority(PSID sid, DWORD index) noexcept
{
    // The sub-authorities follow the header without padding; SID's layout puts the first
    // one at offset 8, so indexing the array is exact.
    return reinterpret_cast<DWORD*>(static_cast<BYTE*>(sid) + kSidHeader) + index;
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD s0,
                              DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7,
                              PSID* sid) noexcept
{
    if (authority == nullptr || sid == nullptr || count > 8) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    auto* s = static_cast<BYTE*>(LocalAlloc(LPTR, kSidHeader + 4 * count));
    if (s == nullptr) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    s[0] = 1;
    s[1] = count;
    std::memcpy(s + 2, authority->Value, 6);
    const DWORD values[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    std::memcpy(s + kSidHeader, values, 4 * count);
    *sid = s;
    return TRUE;
}

PVOID FreeSid(PSID sid) noexcept
{
    LocalFree(sid);
    return nullptr;
}

BOOL InitializeAcl(PACL acl, DWORD size, DWORD revision) noexcept
{
    if (acl == nullptr || size < sizeof(ACL) || size > 0xFFFF || revision < ACL_REVISION ||
        revision > 4) {
        return fail(size < sizeof(ACL) ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    }
    acl->AclRevision = static_cast<BYTE>(revision);
    acl->Sbz1 = 0;
    acl->AclSize = static_cast<WORD>(size & ~3u); // ACL sizes are DWORD multiples
    acl->AceCount = 0;
    acl->Sbz2 = 0;
    return TRUE;
}

BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid) noexcept
{
    return addAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, flags, mask, sid);
}

BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) noexcept
{
    return addAce(acl, revision, ACCESS_ALLOWED_ACE_TYPE, 0, mask, sid);
}

BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) noexcept
{
    return addAce(acl, revision, ACCESS_DENIED_ACE_TYPE, 0, mask, sid);
}

BOOL IsValidAcl(PACL acl) noexcept
{
    if (acl == nullptr) {
        return FALSE;
    }
    return platform::detail::aclIsWellFormed(reinterpret_cast<const BYTE*>(acl), acl->AclSize)
               ? TRUE
               : FALSE;
}

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) noexcept
{
    if (sd == nullptr || revision != SECURITY_DESCRIPTOR_REVISION) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    *static_cast<SECURITY_DESCRIPTOR*>(sd) =
        SECURITY_DESCRIPTOR{1, 0, 0, nullptr, nullptr, nullptr, nullptr};
    return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl,
                               BOOL defaulted) noexcept
{
    if (sd == nullptr || isSelfRelative(sd)) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    auto* d = static_cast<SECURITY_DESCRIPTOR*>(sd);
    constexpr SECURITY_DESCRIPTOR_CONTROL daclDefaulted = 0x0008;
    d->Control &= static_cast<WORD>(~(SE_DACL_PRESENT | daclDefaulted));
    if (present) {
        d->Control |= SE_DACL_PRESENT;
        if (defaulted) {
            d->Control |= daclDefaulted;
        }
    }
    d->Dacl = present ? dacl : nullptr;
    return TRUE;
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL* present, PACL* dacl,
                               BOOL* defaulted) noexcept
{
    if (sd == nullptr || present == nullptr || dacl == nullptr || defaulted == nullptr ||
        !IsValidSecurityDescriptor(sd)) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    const platform::detail::DescriptorParts parts = platform::detail::descriptorParts(sd);
    *present = parts.daclPresent ? TRUE : FALSE;
    *dacl = parts.dacl;
    *defaulted = (parts.control & 0x0008) != 0 ? TRUE : FALSE;
    return TRUE;
}

BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted) noexcept
{
    if (sd == nullptr || isSelfRelative(sd)) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    auto* d = static_cast<SECURITY_DESCRIPTOR*>(sd);
    constexpr SECURITY_DESCRIPTOR_CONTROL ownerDefaulted = 0x0001;
    d->Owner = owner;
    d->Control =
        static_cast<WORD>(defaulted ? d->Control | ownerDefaulted : d->Control & ~ownerDefaulted);
    return TRUE;
}

BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd) noexcept
{
    if (sd == nullptr || static_cast<const BYTE*>(sd)[0] != SECURITY_DESCRIPTOR_REVISION) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    if (isSelfRelative(sd)) {
        return platform::detail::relativeDescriptorIsValid(static_cast<const BYTE*>(sd),
                                                           kLargestRelativeDescriptor)
                   ? TRUE
                   : fail(ERROR_INVALID_SECURITY_DESCR);
    }
    const platform::detail::DescriptorParts parts = platform::detail::descriptorParts(sd);
    if ((parts.owner != nullptr && !IsValidSid(parts.owner)) ||
        (parts.group != nullptr && !IsValidSid(parts.group)) ||
        (parts.dacl != nullptr && !IsValidAcl(parts.dacl))) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    return TRUE;
}

DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd) noexcept
{
    if (sd == nullptr) {
        return 0;
    }
    return static_cast<DWORD>(platform::detail::toSelfRelative(sd).size());
}

BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative,
                        LPDWORD size) noexcept
{
    if (absolute == nullptr || size == nullptr || isSelfRelative(absolute) ||
        !IsValidSecurityDescriptor(absolute)) {
        return fail(ERROR_INVALID_SECURITY_DESCR);
    }
    std::string bytes;
    try {
        bytes = platform::detail::toSelfRelative(absolute);
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const DWORD needed = static_cast<DWORD>(bytes.size());
    if (relative == nullptr || *size < needed) {
        *size = needed;
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(relative, bytes.data(), bytes.size());
    *size = needed;
    return TRUE;
}

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) noexcept
{
    void* memory = (flags & LPTR) != 0 ? std::calloc(1, bytes == 0 ? 1 : bytes)
                                       : std::malloc(bytes == 0 ? 1 : bytes);
    if (memory == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return memory;
}

HLOCAL LocalFree(HLOCAL memory) noexcept
{
    std::free(memory);
    return nullptr;
}
