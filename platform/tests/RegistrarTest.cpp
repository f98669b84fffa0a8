// The registrar: registration scripts with default and named values, %MODULE%,
// NoRemove and ForceRemove, registration twice, unregistration, and refused scripts
// that change nothing.

#include <platform/Registrar.h>
#include <platform/Registry.h>
#include <platform/Security.h>

#include <RegistryTree.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr const char* kScript = R"(
HKCR
{
    Test.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'Programmable'
            val Count = d '0x10'
            val Blob = b '00ff10'
        }
    }
}
HKLM
{
    NoRemove Software
    {
        'Umbravia Tests'
        {
            val 'Percent' = s '100%% sure, it''s %MODULE%'
        }
    }
}
)";

const Lines kRegistered = {
    "CLSID",
    "CLSID\\{11111111-2222-3333-4444-555555555555}",
    "CLSID\\{11111111-2222-3333-4444-555555555555} = Thing Class",
    "CLSID\\{11111111-2222-3333-4444-555555555555} [Blob] = hex:00ff10",
    "CLSID\\{11111111-2222-3333-4444-555555555555} [Count] = 16",
    "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32",
    "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32 = C:\\x\\Thing.dll",
    "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32 [ThreadingModel] = Apartment",
    "CLSID\\{11111111-2222-3333-4444-555555555555}\\Programmable",
};

class RegistrarTest : public testsupport::PrefixTest {
protected:
    static HRESULT run(const std::string& script, bool doRegister)
    {
        return platform::updateRegistryFromScript(script, {{"MODULE", "C:\\x\\Thing.dll"}},
                                                  doRegister);
    }
    static Lines classes()
    {
        Lines all = testsupport::registryTree(HKEY_CLASSES_ROOT, "CLSID");
        const Lines progId = testsupport::registryTree(HKEY_CLASSES_ROOT, "Test.Thing.1");
        all.insert(all.end(), progId.begin(), progId.end());
        return all;
    }
};

} // namespace

TEST_F(RegistrarTest, RegisterWritesEveryKeyAndValueOnceHoweverOftenItRuns)
{
    ASSERT_EQ(run(kScript, true), S_OK) << platform::registrarError();
    Lines expected = kRegistered;
    expected.push_back("Test.Thing.1");
    expected.push_back("Test.Thing.1 = Thing Class");
    expected.push_back("Test.Thing.1\\CLSID");
    expected.push_back("Test.Thing.1\\CLSID = {11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(classes(), expected);
    EXPECT_EQ(testsupport::registryTree(HKEY_LOCAL_MACHINE, "Software\\Umbravia Tests"),
              (Lines{"Software\\Umbravia Tests",
                     "Software\\Umbravia Tests [Percent] = 100% sure, it's C:\\x\\Thing.dll"}));

    ASSERT_EQ(run(kScript, true), S_OK);
    EXPECT_EQ(classes(), expected);
}

TEST_F(RegistrarTest, ForceRemoveReplacesTheWholeKey)
{
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT,
                           "CLSID\\{11111111-2222-3333-4444-555555555555}\\Stale\\Deeper", &stale),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    ASSERT_EQ(run(kScript, true), S_OK);
    for (const std::string& line : classes()) {
        EXPECT_EQ(line.find("Stale"), std::string::npos) << line;
    }
}

TEST_F(RegistrarTest, UnregisterRemovesWhatItAddedAndKeepsNoRemoveKeys)
{
    HKEY other = nullptr;
    ASSERT_EQ(
        RegCreateKey(HKEY_CLASSES_ROOT, "CLSID\\{99999999-2222-3333-4444-555555555555}", &other),
        ERROR_SUCCESS);
    RegCloseKey(other);
    ASSERT_EQ(run(kScript, true), S_OK);
    ASSERT_EQ(run(kScript, false), S_OK);
    EXPECT_EQ(classes(), (Lines{"CLSID", "CLSID\\{99999999-2222-3333-4444-555555555555}"}));
    // A key that is not NoRemove stays while something else lives below it; its own
    // listed value goes.
    EXPECT_EQ(testsupport::registryTree(HKEY_LOCAL_MACHINE, "Software\\Umbravia Tests"), Lines{});
    // Unregistering what is not there is no error.
    EXPECT_EQ(run(kScript, false), S_OK);

    // Only CLSID left when it held nothing else.
    RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{99999999-2222-3333-4444-555555555555}");
    ASSERT_EQ(run(kScript, true), S_OK);
    ASSERT_EQ(run(kScript, false), S_OK);
    EXPECT_EQ(classes(), Lines{"CLSID"});
}

TEST_F(RegistrarTest, KeyWithForeignSubkeysSurvivesUnregistration)
{
    const std::string script = "HKCR { Shared { Ours = s 'x' } }";
    HKEY foreign = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, "Shared\\Theirs", &foreign), ERROR_SUCCESS);
    RegCloseKey(foreign);
    ASSERT_EQ(run(script, true), S_OK);
    ASSERT_EQ(run(script, false), S_OK);
    EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, "Shared"),
              (Lines{"Shared", "Shared\\Theirs"}));
}

TEST_F(RegistrarTest, FaultyScriptsChangeNothing)
{
    const std::vector<std::string> faulty = {
        "HKCR { Good = s 'x' } HKXX { Bad = s 'y' }",   // unknown root
        "HKCR { Good = s 'x' Bad = q 'y' }",            // unknown type
        "HKCR { Good = s 'x' { val N = d 'twelve' } }", // bad number
        "HKCR { Good = s 'unterminated }",              // open quote
        "HKCR { Good = s '%UNKNOWN%' }",                // unknown replacement
        "HKCR { Good = s 'x' ",                         // open block
        "HKCR { Good\\Deeper = s 'x' }",                // a path is not a key name
        "HKCR { Good { val B = b 'abc' } }",            // odd hex digits
    };
    for (const std::string& script : faulty) {
        EXPECT_EQ(run(script, true), E_INVALIDARG) << script;
        EXPECT_FALSE(platform::registrarError().empty()) << script;
        EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, "Good"), Lines{}) << script;
    }
}

TEST_F(RegistrarTest, DeleteKeysAreRemovedOnRegistration)
{
    HKEY old = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, "Old.Thing\\CLSID", &old), ERROR_SUCCESS);
    RegCloseKey(old);
    ASSERT_EQ(run("HKCR { Delete Old.Thing New.Thing = s 'n' }", true), S_OK);
    EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, "Old.Thing"), Lines{});
    EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, "New.Thing"),
              (Lines{"New.Thing", "New.Thing = n"}));
}

TEST_F(RegistrarTest, RegistrationThatFailsHalfWayIsTakenBack)
{
    // A key whose empty access list refuses everyone: the script cannot write below it.
    HKEY locked = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT, "Locked", &locked), ERROR_SUCCESS);
    std::vector<BYTE> acl(64);
    ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(acl.data()), DWORD(acl.size()), ACL_REVISION));
    SECURITY_DESCRIPTOR descriptor{};
    ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(
        SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE));
    ASSERT_EQ(RegSetKeySecurity(locked, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(locked);

    const std::string script = "HKCR { First = s 'a' { Sub = s 'b' } Locked { Inner = s 'c' } }";
    const HRESULT hr = run(script, true);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(platform::registrarError().empty());
    // The part written before the failure is gone again.
    EXPECT_EQ(testsupport::registryTree(HKEY_CLASSES_ROOT, "First"), Lines{});
}
