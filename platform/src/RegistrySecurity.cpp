// Security descriptors as the registry keeps and applies them.

#include "RegistrySecurity.h"

#include <platform/Registry.h>

#include <unistd.h>

#include <cstring>
#include <vector>

namespace platform::detail {

namespace {

constexpr SECURITY_DESCRIPTOR_CONTROL kSaclPresent = 0x0010;
constexpr std::size_t kRelativeHeader = 20;
constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kGenericWrite = 0x40000000;
constexpr DWORD kGenericExecute = 0x20000000;

DWORD readDword(const BYTE* p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

WORD readWord(const BYTE* p)
{
    WORD v;
    std::memcpy(&v, p, 2);
    return v;
}

std::size_t sidSize(const void* sid)
{
    return sid == nullptr ? 0 : 8 + 4 * static_cast<const BYTE*>(sid)[1];
}

bool sidEquals(const void* a, const void* b)
{
    const std::size_t size = sidSize(a);
    return a != nullptr && b != nullptr && size == sidSize(b) && std::memcmp(a, b, size) == 0;
}

const std::string& everyoneSid()
{
    static const std::string sid = [] {
        std::string s(12, '\0');
        s[0] = 1;
        s[1] = 1;
        s[7] = 1; // world authority; sub-authority 0
        return s;
    }();
    return sid;
}

bool appliesToUser(const BYTE* sid)
{
    return sidEquals(sid, currentUserSid().data()) || sidEquals(sid, everyoneSid().data());
}

// Calls f(type, flags, mask, sid, aceBytes, aceSize) for each ACE of a well-formed ACL.
template <typename F> void forEachAce(const ACL* acl, F f)
{
    const auto* p = reinterpret_cast<const BYTE*>(acl) + sizeof(ACL);
    for (WORD i = 0; i < acl->AceCount; ++i) {
        const WORD size = readWord(p + 2);
        f(p[0], p[1], readDword(p + 4), p + 8, p, size);
        p += size;
    }
}

void append(std::string& out, std::size_t headerField, const void* part, std::size_t size)
{
    if (part == nullptr || size == 0) {
        return;
    }
    const DWORD offset = static_cast<DWORD>(out.size());
    std::memcpy(out.data() + headerField, &offset, 4);
    out.append(static_cast<const char*>(part), size);
}

std::string buildRelative(SECURITY_DESCRIPTOR_CONTROL control, const void* owner, const void* group,
                          const ACL* sacl, const ACL* dacl)
{
    std::string out(kRelativeHeader, '\0');
    out[0] = SECURITY_DESCRIPTOR_REVISION;
    control = static_cast<WORD>(control | SE_SELF_RELATIVE);
    std::memcpy(out.data() + 2, &control, 2);
    append(out, 12, sacl, sacl != nullptr ? sacl->AclSize : 0);
    append(out, 16, dacl, dacl != nullptr ? dacl->AclSize : 0);
    append(out, 4, owner, sidSize(owner));
    append(out, 8, group, sidSize(group));
    return out;
}

DescriptorParts storedParts(std::string_view stored)
{
    DescriptorParts parts;
    if (!stored.empty()) {
        parts = descriptorParts(stored.data());
    } else {
        parts.daclPresent = true; // null DACL: everything allowed
    }
    if (parts.owner == nullptr) {
        parts.owner = const_cast<char*>(currentUserSid().data());
    }
    return parts;
}

} // namespace

DescriptorParts descriptorParts(const void* sd)
{
    DescriptorParts parts;
    const auto* bytes = static_cast<const BYTE*>(sd);
    parts.control = readWord(bytes + 2);
    parts.daclPresent = (parts.control & SE_DACL_PRESENT) != 0;
    if ((parts.control & SE_SELF_RELATIVE) != 0) {
        auto at = [&](std::size_t field) -> BYTE* {
            const DWORD offset = readDword(bytes + field);
            return offset == 0 ? nullptr : const_cast<BYTE*>(bytes) + offset;
        };
        parts.owner = at(4);
        parts.group = at(8);
        parts.sacl = (parts.control & kSaclPresent) != 0 ? reinterpret_cast<PACL>(at(12)) : nullptr;
        parts.dacl = parts.daclPresent ? reinterpret_cast<PACL>(at(16)) : nullptr;
    } else {
        const auto* d = static_cast<const SECURITY_DESCRIPTOR*>(sd);
        parts.owner = d->Owner;
        parts.group = d->Group;
        parts.sacl = (parts.control & kSaclPresent) != 0 ? d->Sacl : nullptr;
        parts.dacl = parts.daclPresent ? d->Dacl : nullptr;
    }
    return parts;
}

DWORD aclUsedSize(const ACL* acl)
{
    DWORD used = sizeof(ACL);
    forEachAce(acl, [&](BYTE, BYTE, DWORD, const BYTE*, const BYTE*, WORD size) { used += size; });
    return used;
}

bool aclIsWellFormed(const BYTE* acl, std::size_t limit)
{
    if (limit < sizeof(ACL)) {
        return false;
    }
    const WORD size = readWord(acl + 2);
    const WORD count = readWord(acl + 4);
    if (acl[0] < ACL_REVISION || acl[0] > 4 || size < sizeof(ACL) || size > limit) {
        return false;
    }
    std::size_t offset = sizeof(ACL);
    for (WORD i = 0; i < count; ++i) {
        if (offset + 8 > size) {
            return false;
        }
        const WORD aceSize = readWord(acl + offset + 2);
        if (aceSize < 8 || offset + aceSize > size) {
            return false;
        }
        const BYTE type = acl[offset];
        if (type <= ACCESS_DENIED_ACE_TYPE) {
            const BYTE* sid = acl + offset + 8;
            if (aceSize < 16 || sid[0] != 1 || 8 + sidSize(sid) > aceSize) {
                return false;
            }
        }
        offset += aceSize;
    }
    return true;
}

bool relativeDescriptorIsValid(const BYTE* sd, std::size_t size)
{
    if (size < kRelativeHeader || sd[0] != SECURITY_DESCRIPTOR_REVISION) {
        return false;
    }
    const WORD control = readWord(sd + 2);
    auto sidOk = [&](std::size_t field) {
        const DWORD offset = readDword(sd + field);
        if (offset == 0) {
            return true;
        }
        if (offset < kRelativeHeader || offset + 8 > size || sd[offset] != 1 ||
            sd[offset + 1] > 15) {
            return false;
        }
        return offset + sidSize(sd + offset) <= size;
    };
    auto aclOk = [&](std::size_t field, bool present) {
        const DWORD offset = readDword(sd + field);
        if (!present || offset == 0) {
            return true;
        }
        return offset >= kRelativeHeader && offset < size &&
               aclIsWellFormed(sd + offset, size - offset);
    };
    return sidOk(4) && sidOk(8) && aclOk(12, (control & kSaclPresent) != 0) &&
           aclOk(16, (control & SE_DACL_PRESENT) != 0);
}

std::string toSelfRelative(const void* sd)
{
    const DescriptorParts parts = descriptorParts(sd);
    const auto control =
        static_cast<SECURITY_DESCRIPTOR_CONTROL>(parts.control & ~SE_SELF_RELATIVE);
    return buildRelative(control, parts.owner, parts.group, parts.sacl, parts.dacl);
}

const std::string& currentUserSid()
{
    static const std::string sid = [] {
        const DWORD values[5] = {21, 0, 0, 0, static_cast<DWORD>(getuid()) + 1000};
        std::string s(8 + sizeof values, '\0');
        s[0] = 1;
        s[1] = 5;
        s[7] = 5; // NT authority
        std::memcpy(s.data() + 8, values, sizeof values);
        return s;
    }();
    return sid;
}

std::string sidText(const void* sid)
{
    const auto* s = static_cast<const BYTE*>(sid);
    std::string text = "S-";
    text += std::to_string(s[0]);
    text += '-';
    text += std::to_string(s[7]);
    for (BYTE i = 0; i < s[1]; ++i) {
        text += '-';
        text += std::to_string(readDword(s + 8 + 4 * i));
    }
    return text;
}

DWORD mapGenericKeyRights(DWORD mask)
{
    DWORD out = mask & ~(kGenericRead | kGenericWrite | kGenericExecute | GENERIC_ALL);
    if ((mask & kGenericRead) != 0) {
        out |= KEY_READ;
    }
    if ((mask & kGenericWrite) != 0) {
        out |= KEY_WRITE;
    }
    if ((mask & kGenericExecute) != 0) {
        out |= KEY_EXECUTE;
    }
    if ((mask & GENERIC_ALL) != 0) {
        out |= KEY_ALL_ACCESS;
    }
    return out;
}

DWORD grantedAccess(std::string_view stored)
{
    const DescriptorParts parts = storedParts(stored);
    if (parts.dacl == nullptr) {
        return kAllRights;
    }
    DWORD granted = 0;
    DWORD denied = 0;
    // First match wins per right: a deny before an allow takes the right away for good.
    forEachAce(parts.dacl,
               [&](BYTE type, BYTE flags, DWORD mask, const BYTE* sid, const BYTE*, WORD) {
                   if ((flags & kInheritOnlyAce) != 0 || !appliesToUser(sid)) {
                       return;
                   }
                   mask = mapGenericKeyRights(mask);
                   if (type == ACCESS_ALLOWED_ACE_TYPE) {
                       granted |= mask & ~denied;
                   } else if (type == ACCESS_DENIED_ACE_TYPE) {
                       denied |= mask & ~granted;
                   }
               });
    if (sidEquals(parts.owner, currentUserSid().data())) {
        granted |= READ_CONTROL | WRITE_DAC;
    }
    return granted;
}

std::string mergeDescriptor(std::string_view stored, SECURITY_INFORMATION info, const void* sd)
{
    DescriptorParts parts = storedParts(stored);
    const DescriptorParts given = descriptorParts(sd);
    if ((info & OWNER_SECURITY_INFORMATION) != 0 && given.owner != nullptr) {
        parts.owner = given.owner;
    }
    if ((info & GROUP_SECURITY_INFORMATION) != 0) {
        parts.group = given.group;
    }
    if ((info & DACL_SECURITY_INFORMATION) != 0) {
        // A descriptor without a DACL means a null DACL: everything allowed.
        parts.daclPresent = true;
        parts.dacl = given.daclPresent ? given.dacl : nullptr;
    }
    const auto control = static_cast<WORD>(parts.daclPresent ? SE_DACL_PRESENT : 0);
    return buildRelative(control, parts.owner, parts.group, nullptr, parts.dacl);
}

std::string descriptorForQuery(std::string_view stored, SECURITY_INFORMATION info)
{
    const DescriptorParts parts = storedParts(stored);
    const bool dacl = (info & DACL_SECURITY_INFORMATION) != 0;
    return buildRelative(static_cast<WORD>(dacl && parts.daclPresent ? SE_DACL_PRESENT : 0),
                         (info & OWNER_SECURITY_INFORMATION) != 0 ? parts.owner : nullptr,
                         (info & GROUP_SECURITY_INFORMATION) != 0 ? parts.group : nullptr, nullptr,
                         dacl ? parts.dacl : nullptr);
}

std::string inheritedDescriptor(std::string_view parentStored)
{
    if (parentStored.empty()) {
        return {};
    }
    const DescriptorParts parent = descriptorParts(parentStored.data());
    if (parent.dacl == nullptr) {
        return {};
    }
    std::vector<BYTE> aces;
    WORD count = 0;
    forEachAce(parent.dacl, [&](BYTE, BYTE flags, DWORD, const BYTE*, const BYTE* ace, WORD size) {
        if ((flags & CONTAINER_INHERIT_ACE) == 0) {
            return;
        }
        BYTE childFlags = static_cast<BYTE>((flags & ~kInheritOnlyAce) | kInheritedAce);
        if ((flags & kNoPropagateInheritAce) != 0) {
            childFlags = kInheritedAce;
        }
        const std::size_t at = aces.size();
        aces.insert(aces.end(), ace, ace + size);
        aces[at + 1] = childFlags;
        ++count;
    });
    if (count == 0) {
        return {};
    }
    std::vector<BYTE> acl(sizeof(ACL) + aces.size());
    auto* header = reinterpret_cast<ACL*>(acl.data());
    *header = ACL{ACL_REVISION, 0, static_cast<WORD>(acl.size()), count, 0};
    std::memcpy(acl.data() + sizeof(ACL), aces.data(), aces.size());
    return buildRelative(SE_DACL_PRESENT, currentUserSid().data(), nullptr, nullptr, header);
}

} // namespace platform::detail
