#pragma once
// Security identifiers, access-control lists and security descriptors in Win32's binary
// layouts, the process token's user, and the functions the suite calls on them. The
// current user's SID is derived from the login's uid: S-1-5-21-0-0-0-<uid + 1000>.
//
// Registry keys apply their DACL to the token's user SID and Everyone (S-1-1-0). The
// suite never runs as Local System, so entries for S-1-5-18 grant it nothing, under root
// too. The owner of a key (the current user unless set otherwise) always keeps
// READ_CONTROL and WRITE_DAC, so a program can restore a DACL it narrowed.

#include <platform/WinTypes.h>

using SECURITY_INFORMATION = DWORD;
constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x1;
constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x2;
constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;
constexpr SECURITY_INFORMATION SACL_SECURITY_INFORMATION = 0x8;

constexpr DWORD DELETE = 0x00010000;
constexpr DWORD READ_CONTROL = 0x00020000;
constexpr DWORD WRITE_DAC = 0x00040000;
constexpr DWORD WRITE_OWNER = 0x00080000;
constexpr DWORD GENERIC_ALL = 0x10000000;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};
struct SID {
    BYTE Revision;
    BYTE SubAuthorityCount;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[1];
};
using PSID = void*;

struct ACL {
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize;
    WORD AceCount;
    WORD Sbz2;
};
using PACL = ACL*;
constexpr DWORD ACL_REVISION = 2;

struct ACE_HEADER {
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
};
struct ACCESS_ALLOWED_ACE {
    ACE_HEADER Header;
    DWORD Mask;
    DWORD SidStart;
};
constexpr BYTE ACCESS_ALLOWED_ACE_TYPE = 0;
constexpr BYTE ACCESS_DENIED_ACE_TYPE = 1;
constexpr BYTE OBJECT_INHERIT_ACE = 0x1;
constexpr BYTE CONTAINER_INHERIT_ACE = 0x2;

using SECURITY_DESCRIPTOR_CONTROL = WORD;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_DACL_PRESENT = 0x0004;
constexpr SECURITY_DESCRIPTOR_CONTROL SE_SELF_RELATIVE = 0x8000;
// Absolute form (pointers); the registry stores the self-relative form.
struct SECURITY_DESCRIPTOR {
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
};
using PSECURITY_DESCRIPTOR = void*;
constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1;
constexpr DWORD SECURITY_DESCRIPTOR_MIN_LENGTH = 40;

constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
constexpr DWORD SECURITY_LOCAL_SYSTEM_RID = 18;

enum TOKEN_INFORMATION_CLASS { TokenUser = 1 };
struct SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
};
struct TOKEN_USER {
    SID_AND_ATTRIBUTES User;
};
constexpr DWORD TOKEN_QUERY = 0x0008;

HANDLE GetCurrentProcess() noexcept;
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) noexcept;
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD size,
                         LPDWORD needed) noexcept;

BOOL IsValidSid(PSID sid) noexcept;
DWORD GetLengthSid(PSID sid) noexcept;
BOOL CopySid(DWORD size, PSID destination, PSID source) noexcept;
BOOL EqualSid(PSID a, PSID b) noexcept;
SID_IDENTIFIER_AUTHORITY* GetSidIdentifierAuthority(PSID sid) noexcept;
BYTE* GetSidSubAuthorityCount(PSID sid) noexcept;
DWORD* GetSidSubAuthority(PSID sid, DWORD index) noexcept;
BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD s0,
                              DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7,
                              PSID* sid) noexcept;
PVOID FreeSid(PSID sid) noexcept;

BOOL InitializeAcl(PACL acl, DWORD size, DWORD revision) noexcept;
BOOL AddAccessAllowedAceEx(PACL acl, DWORD revision, DWORD flags, DWORD mask, PSID sid) noexcept;
BOOL AddAccessAllowedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) noexcept;
BOOL AddAccessDeniedAce(PACL acl, DWORD revision, DWORD mask, PSID sid) noexcept;
BOOL IsValidAcl(PACL acl) noexcept;

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) noexcept;
BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl,
                               BOOL defaulted) noexcept;
BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL* present, PACL* dacl,
                               BOOL* defaulted) noexcept;
BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted) noexcept;
BOOL IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd) noexcept;
DWORD GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd) noexcept;
BOOL MakeSelfRelativeSD(PSECURITY_DESCRIPTOR absolute, PSECURITY_DESCRIPTOR relative,
                        LPDWORD size) noexcept;

using HLOCAL = void*;
HLOCAL LocalAlloc(UINT flags, std::size_t bytes) noexcept;
HLOCAL LocalFree(HLOCAL memory) noexcept;
constexpr UINT LMEM_FIXED = 0;
constexpr UINT LPTR = 0x40;
