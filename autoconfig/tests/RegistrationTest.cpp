// Rigwright.dll registered and unregistered by the real regsvr32.exe on a fresh prefix:
// exactly the keys of its registration script and type library, then none but CLSID.

#include "RigwrightTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

Lines registeredKeys(const std::string& module)
{
    const std::string clsid = "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}";
    const std::string lib = "TypeLib\\{40A10271-47EF-4860-9D71-CCAEDFE7BBFD}";
    const std::string folder = module.substr(0, module.find_last_of('\\'));
    Lines lines = {
        "CLSID",
        clsid,
        clsid + " = Configuration Class",
        clsid + "\\InprocServer32",
        clsid + "\\InprocServer32 = " + module,
        clsid + "\\InprocServer32 [ThreadingModel] = Apartment",
        clsid + "\\ProgID",
        clsid + "\\ProgID = Rigwright.Configuration.1",
        clsid + "\\Programmable",
        clsid + "\\TypeLib",
        clsid + "\\TypeLib = {40A10271-47EF-4860-9D71-CCAEDFE7BBFD}",
        clsid + "\\VersionIndependentProgID",
        clsid + "\\VersionIndependentProgID = Rigwright.Configuration",
        "Rigwright.Configuration",
        "Rigwright.Configuration = Configuration Class",
        "Rigwright.Configuration\\CLSID",
        "Rigwright.Configuration\\CLSID = {675DCB32-8482-452F-8BDD-5E98C19ED609}",
        "Rigwright.Configuration\\CurVer",
        "Rigwright.Configuration\\CurVer = Rigwright.Configuration.1",
        "Rigwright.Configuration.1",
        "Rigwright.Configuration.1 = Configuration Class",
        "Rigwright.Configuration.1\\CLSID",
        "Rigwright.Configuration.1\\CLSID = {675DCB32-8482-452F-8BDD-5E98C19ED609}",
        "TypeLib",
        lib,
        lib + "\\1.0",
        lib + "\\1.0 = Rigwright 1.0 Type Library",
        lib + "\\1.0\\0",
        lib + "\\1.0\\0\\win32",
        lib + "\\1.0\\0\\win32 = " + module,
        lib + "\\1.0\\FLAGS",
        lib + "\\1.0\\FLAGS = 0",
        lib + "\\1.0\\HELPDIR",
        lib + "\\1.0\\HELPDIR = " + folder,
    };
    std::sort(lines.begin(), lines.end());
    return lines;
}

class RegistrationTest : public testsupport::PrefixTest {};

} // namespace

TEST_F(RegistrationTest, Regsvr32LeavesExactlyTheListedKeysThenOnlyClsid)
{
    const std::string module = rigwrighttest::modulePath().string();
    ASSERT_EQ(rigwrighttest::classesRoot(), Lines{});

    testsupport::ProcessResult result = rigwrighttest::regsvr32(m_prefix, {"/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Lines expected = registeredKeys(rigwrighttest::moduleDosPath());
    EXPECT_EQ(rigwrighttest::classesRoot(), expected);

    // Registering again leaves one set of keys; a stale subkey of the class goes.
    HKEY stale = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT,
                           "CLSID\\{675DCB32-8482-452F-8BDD-5E98C19ED609}\\Programmable\\Old",
                           &stale),
              ERROR_SUCCESS);
    RegCloseKey(stale);
    result = rigwrighttest::regsvr32(m_prefix, {"/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(rigwrighttest::classesRoot(), expected);

    result = rigwrighttest::regsvr32(m_prefix, {"/u", "/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(rigwrighttest::classesRoot(), Lines{"CLSID"});

    // Unregistering what is gone still succeeds and keeps CLSID.
    result = rigwrighttest::regsvr32(m_prefix, {"/u", "/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(rigwrighttest::classesRoot(), Lines{"CLSID"});
}

TEST_F(RegistrationTest, OtherClassesSurviveUnregistration)
{
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKey(HKEY_CLASSES_ROOT,
                           "CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32", &other),
              ERROR_SUCCESS);
    RegCloseKey(other);
    const std::string module = rigwrighttest::modulePath().string();
    ASSERT_EQ(rigwrighttest::regsvr32(m_prefix, {"/s", module}).exitCode, 0);
    ASSERT_EQ(rigwrighttest::regsvr32(m_prefix, {"/u", "/s", module}).exitCode, 0);
    EXPECT_EQ(rigwrighttest::classesRoot(),
              (Lines{"CLSID", "CLSID\\{00000000-1111-2222-3333-444444444444}",
                     "CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32"}));
}
