#pragma once
// Security descriptors as the registry keeps and applies them: parsing both layouts,
// building the self-relative form, the current user's SID and the access a descriptor
// grants to that user.
//
// Who "the user" is: the process token holds the user's SID and Everyone (S-1-1-0).
// The suite's processes never run as Local System, so entries for S-1-5-18 never apply
// to them (not even under root). The owner of a key always keeps READ_CONTROL and
// WRITE_DAC, so a program can read and restore a descriptor it narrowed. A key without
// a descriptor, or with a null DACL, grants everything; a descriptor without an owner
// is owned by the current user.

#include <platform/Security.h>

#include <string>
#include <string_view>

namespace platform::detail {

// Every right: what a key without a DACL grants.
constexpr DWORD kAllRights = 0xFFFFFFFF;
constexpr BYTE kInheritOnlyAce = 0x08;
constexpr BYTE kNoPropagateInheritAce = 0x04;
constexpr BYTE kInheritedAce = 0x10;
constexpr DWORD kMaximumAllowed = 0x02000000;

struct DescriptorParts {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    bool daclPresent = false;
    PSID owner = nullptr;
    PSID group = nullptr;
    PACL sacl = nullptr;
    PACL dacl = nullptr;
};

// The parts of a descriptor in either layout (pointers into the descriptor itself).
DescriptorParts descriptorParts(const void* sd);
// The bytes of the ACL header and its ACEs.
DWORD aclUsedSize(const ACL* acl);
bool aclIsWellFormed(const BYTE* acl, std::size_t limit);
bool relativeDescriptorIsValid(const BYTE* sd, std::size_t size);
// The self-relative bytes of a descriptor given in either layout.
std::string toSelfRelative(const void* sd);

// The current user's SID (binary): S-1-5-21-0-0-0-<uid + 1000>.
const std::string& currentUserSid();
std::string sidText(const void* sid);

// Generic rights turned into key rights.
DWORD mapGenericKeyRights(DWORD mask);
// The rights a stored self-relative descriptor grants the current user ("" grants all).
DWORD grantedAccess(std::string_view stored);
// The descriptor stored after RegSetKeySecurity: the parts named by info come from sd.
std::string mergeDescriptor(std::string_view stored, SECURITY_INFORMATION info, const void* sd);
// What RegGetKeySecurity reports: the parts named by info.
std::string descriptorForQuery(std::string_view stored, SECURITY_INFORMATION info);
// The descriptor of a new key under a key with this descriptor: the parent's inheritable
// ACEs, owned by the current user; "" when nothing is inherited.
std::string inheritedDescriptor(std::string_view parentStored);

} // namespace platform::detail
