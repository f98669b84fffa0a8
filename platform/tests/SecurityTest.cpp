// SIDs, ACLs and descriptors in Win32's layouts, the process token, and key security as
// the registry stores and enforces it.

#include "TestSupport.h"

#include <platform/Registry.h>
#include <platform/Security.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string sidText(PSID sid)
{
    // Formatted as the suite's cleaner does it.
    std::string text = "S-1-" + std::to_string(GetSidIdentifierAuthority(sid)->Value[5]);
    for (BYTE i = 0; i < *GetSidSubAuthorityCount(sid); ++i) {
        text += '-';
        text += std::to_string(*GetSidSubAuthority(sid, i));
    }
    return text;
}

std::vector<BYTE> userSid()
{
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), needed, &needed));
    EXPECT_TRUE(CloseHandle(token));
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    EXPECT_TRUE(CopySid(DWORD(copy.size()), copy.data(), sid));
    return copy;
}

std::vector<BYTE> wellKnownSid(SID_IDENTIFIER_AUTHORITY authority, DWORD rid)
{
    PSID sid = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&authority, 1, rid, 0, 0, 0, 0, 0, 0, 0, &sid));
    std::vector<BYTE> copy(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
    FreeSid(sid);
    return copy;
}

struct Ace {
    bool allow;
    BYTE flags;
    DWORD mask;
    std::vector<BYTE> sid;
};

// A DACL with the ACEs in order, inside an absolute descriptor.
class Descriptor {
public:
    explicit Descriptor(const std::vector<Ace>& aces) : m_acl(1024)
    {
        auto* acl = reinterpret_cast<PACL>(m_acl.data());
        EXPECT_TRUE(InitializeAcl(acl, DWORD(m_acl.size()), ACL_REVISION));
        for (const Ace& ace : aces) {
            PSID sid = const_cast<BYTE*>(ace.sid.data());
            if (ace.allow) {
                EXPECT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, ace.flags, ace.mask, sid));
            } else {
                EXPECT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, ace.mask, sid));
            }
        }
        EXPECT_TRUE(InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION));
        EXPECT_TRUE(SetSecurityDescriptorDacl(&m_sd, TRUE, acl, FALSE));
    }
    PSECURITY_DESCRIPTOR get() { return &m_sd; }

private:
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_sd{};
};

class SecurityTest : public testsupport::PrefixTest {
protected:
    HKEY create(const char* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    LONG open(const char* path, REGSAM access, HKEY* key = nullptr)
    {
        HKEY local = nullptr;
        const LONG rc = RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, access, key ? key : &local);
        if (key == nullptr && rc == ERROR_SUCCESS) {
            RegCloseKey(local);
        }
        return rc;
    }
    LONG setDacl(const char* path, Descriptor& sd)
    {
        HKEY key = nullptr;
        LONG rc = open(path, WRITE_DAC, &key);
        if (rc == ERROR_SUCCESS) {
            rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd.get());
            RegCloseKey(key);
        }
        return rc;
    }

    const std::vector<BYTE> m_user = userSid();
    const std::vector<BYTE> m_system = wellKnownSid(SECURITY_NT_AUTHORITY, 18);
    const std::vector<BYTE> m_everyone = wellKnownSid(SECURITY_WORLD_SID_AUTHORITY, 0);
};

TEST_F(SecurityTest, TokenUserIsDerivedFromTheLoginsUid)
{
    std::vector<BYTE> sid = m_user;
    EXPECT_TRUE(IsValidSid(sid.data()));
    EXPECT_EQ(GetLengthSid(sid.data()), 8u + 4 * 5);
    EXPECT_EQ(sidText(sid.data()), "S-1-5-21-0-0-0-" + std::to_string(getuid() + 1000));
    std::vector<BYTE> system = m_system;
    EXPECT_EQ(sidText(system.data()), "S-1-5-18");
    EXPECT_FALSE(EqualSid(sid.data(), system.data()));
    std::vector<BYTE> again = userSid();
    EXPECT_TRUE(EqualSid(sid.data(), again.data()));

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD needed = 0;
    BYTE small[8];
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, small, sizeof small, &needed));
    EXPECT_EQ(needed, sizeof(TOKEN_USER) + 28);
    CloseHandle(token);
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, small, sizeof small, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(SecurityTest, AclAndDescriptorsUseWin32Layouts)
{
    std::vector<BYTE> sid = m_system;
    alignas(4) BYTE buffer[64];
    auto* acl = reinterpret_cast<PACL>(buffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof buffer, ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAceEx(acl, ACL_REVISION, 3, 0xF003F, sid.data()));
    EXPECT_EQ(acl->AceCount, 1);
    const BYTE* ace = buffer + sizeof(ACL);
    EXPECT_EQ(ace[0], ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace[1], 3);
    EXPECT_EQ(ace[2] | (ace[3] << 8), 8 + 12);
    DWORD mask = 0;
    std::memcpy(&mask, ace + 4, 4);
    EXPECT_EQ(mask, 0xF003Fu);
    EXPECT_EQ(std::memcmp(ace + 8, sid.data(), 12), 0);
    // Room for 64 - 8 - 20 = 36 bytes: a second SID-12 ACE fits, a third does not.
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid.data()));
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, sid.data()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(IsValidAcl(acl));

    SECURITY_DESCRIPTOR absolute{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&absolute, sid.data(), FALSE));
    EXPECT_TRUE(IsValidSecurityDescriptor(&absolute));
    DWORD size = 0;
    EXPECT_FALSE(MakeSelfRelativeSD(&absolute, nullptr, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 20u + acl->AclSize + 12);
    EXPECT_EQ(GetSecurityDescriptorLength(&absolute), size);
    std::vector<BYTE> relative(size);
    ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative.data(), &size));
    EXPECT_TRUE(IsValidSecurityDescriptor(relative.data()));
    EXPECT_EQ(GetSecurityDescriptorLength(relative.data()), size);
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL found = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(relative.data(), &present, &found, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(std::memcmp(found, acl, acl->AclSize), 0);
}

// The cleaner's AutoComplete procedure: a key whose DACL leaves the user out is widened
// through the owner's implicit rights, emptied and restored.
TEST_F(SecurityTest, NarrowedKeyDeniesOpenAndTheOwnerCanRestoreIt)
{
    const char* path = "Software\\Microsoft\\Protected Storage System Provider\\S";
    RegCloseKey(create("Software\\Microsoft\\Protected Storage System Provider\\S\\Data\\e1\\x"));
    Descriptor systemOnly({{true, 3, KEY_ALL_ACCESS, m_system}});
    ASSERT_EQ(setDacl(path, systemOnly), ERROR_SUCCESS);
    EXPECT_EQ(open(path, KEY_READ), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open(path, KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);

    // Saving the DACL: the size comes from a first call.
    HKEY key = nullptr;
    ASSERT_EQ(open(path, READ_CONTROL, &key), ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size),
              ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> saved(size);
    DWORD small = size - 1;
    EXPECT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data(), &small),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(small, size);
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data(), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(saved.data(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(dacl, nullptr);
    EXPECT_EQ(dacl->AceCount, 1);

    Descriptor wide({{true, 3, 0xF003F, m_user}, {true, 3, 0xF003F, m_system}});
    ASSERT_EQ(setDacl(path, wide), ERROR_SUCCESS);
    ASSERT_EQ(open(path, KEY_ALL_ACCESS), ERROR_SUCCESS);
    // Subkeys keep their own (here: none) until they are widened themselves.
    EXPECT_EQ(SHDeleteKey(HKEY_CURRENT_USER, (std::string(path) + "\\Data\\e1").c_str()),
              DWORD(ERROR_SUCCESS));

    ASSERT_EQ(open(path, WRITE_DAC, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data()), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(open(path, KEY_READ), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open((std::string(path) + "\\Data").c_str(), KEY_READ), ERROR_SUCCESS);
}

TEST_F(SecurityTest, AcesApplyInOrderToUserAndEveryone)
{
    RegCloseKey(create("Software\\Acl"));
    Descriptor readOnly({{true, 0, KEY_READ, m_everyone}});
    ASSERT_EQ(setDacl("Software\\Acl", readOnly), ERROR_SUCCESS);
    EXPECT_EQ(open("Software\\Acl", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(open("Software\\Acl", KEY_SET_VALUE), ERROR_ACCESS_DENIED);

    // A deny before an allow wins; the owner still reads and writes the DACL.
    Descriptor denied({{false, 0, KEY_SET_VALUE, m_user}, {true, 0, KEY_ALL_ACCESS, m_user}});
    ASSERT_EQ(setDacl("Software\\Acl", denied), ERROR_SUCCESS);
    EXPECT_EQ(open("Software\\Acl", KEY_QUERY_VALUE), ERROR_SUCCESS);
    EXPECT_EQ(open("Software\\Acl", KEY_SET_VALUE), ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    ASSERT_EQ(open("Software\\Acl", 0x02000000 /* MAXIMUM_ALLOWED */, &key), ERROR_SUCCESS);
    DWORD one = 1;
    EXPECT_EQ(RegSetValueEx(key, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    // A null DACL allows everything again.
    SECURITY_DESCRIPTOR open{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    ASSERT_EQ(this->open("Software\\Acl", WRITE_DAC, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(this->open("Software\\Acl", KEY_ALL_ACCESS), ERROR_SUCCESS);
    // A handle without WRITE_DAC cannot change the descriptor.
    ASSERT_EQ(this->open("Software\\Acl", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &open), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(SecurityTest, NewKeysInheritContainerAces)
{
    RegCloseKey(create("Software\\Parent"));
    Descriptor inheritable({{true, CONTAINER_INHERIT_ACE, KEY_READ | KEY_CREATE_SUB_KEY, m_user},
                            {true, 0, KEY_ALL_ACCESS, m_user}});
    ASSERT_EQ(setDacl("Software\\Parent", inheritable), ERROR_SUCCESS);
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Parent\\Child\\Grandchild", 0, nullptr,
                             0, KEY_READ, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegGetKeySecurity(child, DACL_SECURITY_INFORMATION, nullptr, &size),
              ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> sd(size);
    ASSERT_EQ(RegGetKeySecurity(child, DACL_SECURITY_INFORMATION, sd.data(), &size), ERROR_SUCCESS);
    RegCloseKey(child);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd.data(), &present, &dacl, &defaulted));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1); // only the inheritable entry came down
    const BYTE* ace = reinterpret_cast<BYTE*>(dacl) + sizeof(ACL);
    EXPECT_EQ(ace[1], CONTAINER_INHERIT_ACE | 0x10 /* INHERITED_ACE */);
    EXPECT_EQ(open("Software\\Parent\\Child", KEY_SET_VALUE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open("Software\\Parent\\Child\\Grandchild", KEY_QUERY_VALUE), ERROR_SUCCESS);
    // No DELETE anywhere below: the subtree stays whole.
    EXPECT_EQ(SHDeleteKey(HKEY_CURRENT_USER, "Software\\Parent\\Child"),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open("Software\\Parent\\Child\\Grandchild", KEY_QUERY_VALUE), ERROR_SUCCESS);
}

TEST_F(SecurityTest, CreateWithSecurityAttributesStoresTheDescriptor)
{
    Descriptor readOnly({{true, 0, KEY_READ, m_user}});
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), readOnly.get(), FALSE};
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Guarded", 0, nullptr, 0, KEY_READ,
                             &attributes, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    EXPECT_EQ(open("Software\\Guarded", KEY_WRITE), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open("Software\\Guarded", KEY_READ), ERROR_SUCCESS);
    DWORD length = 0;
    ASSERT_EQ(open("Software\\Guarded", KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, &length, nullptr),
              ERROR_SUCCESS);
    EXPECT_GT(length, 20u);
    RegCloseKey(key);
    // A broken descriptor is refused and changes nothing.
    BYTE junk[40] = {7};
    ASSERT_EQ(open("Software\\Guarded", WRITE_DAC, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, junk),
              ERROR_INVALID_SECURITY_DESCR);
    RegCloseKey(key);
    EXPECT_EQ(open("Software\\Guarded", KEY_WRITE), ERROR_ACCESS_DENIED);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
