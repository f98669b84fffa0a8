// UmbraIEExt.dll registered and unregistered by the real regsvr32.exe on a fresh prefix:
// exactly the class, ProgID, type library and browser-helper keys, then none of them.

#include "BhoFixture.h"

#include <RegistryTree.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Lines = std::vector<std::string>;

constexpr const char* HelperList =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

Lines registeredClasses(const std::string& module)
{
    const std::string clsid = "CLSID\\{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}";
    const std::string lib = "TypeLib\\{91217FBA-A136-49F2-829B-53EB81B8B243}";
    const std::string folder = module.substr(0, module.find_last_of('\\'));
    Lines lines = {
        "CLSID",
        clsid,
        clsid + " = UmbraBHO Class",
        clsid + "\\InprocServer32",
        clsid + "\\InprocServer32 = " + module,
        clsid + "\\InprocServer32 [ThreadingModel] = Both",
        clsid + "\\ProgID",
        clsid + "\\ProgID = UmbraIEExt.UmbraBHO.1",
        clsid + "\\Programmable",
        clsid + "\\TypeLib",
        clsid + "\\TypeLib = {91217FBA-A136-49F2-829B-53EB81B8B243}",
        clsid + "\\VersionIndependentProgID",
        clsid + "\\VersionIndependentProgID = UmbraIEExt.UmbraBHO",
        "TypeLib",
        lib,
        lib + "\\1.0",
        lib + "\\1.0 = UmbraIEExt 1.0 Type Library",
        lib + "\\1.0\\0",
        lib + "\\1.0\\0\\win32",
        lib + "\\1.0\\0\\win32 = " + module,
        lib + "\\1.0\\FLAGS",
        lib + "\\1.0\\FLAGS = 0",
        lib + "\\1.0\\HELPDIR",
        lib + "\\1.0\\HELPDIR = " + folder,
        "UmbraIEExt.UmbraBHO",
        "UmbraIEExt.UmbraBHO = UmbraBHO Class",
        "UmbraIEExt.UmbraBHO\\CLSID",
        "UmbraIEExt.UmbraBHO\\CLSID = {1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}",
        "UmbraIEExt.UmbraBHO\\CurVer",
        "UmbraIEExt.UmbraBHO\\CurVer = UmbraIEExt.UmbraBHO.1",
        "UmbraIEExt.UmbraBHO.1",
        "UmbraIEExt.UmbraBHO.1 = UmbraBHO Class",
        "UmbraIEExt.UmbraBHO.1\\CLSID",
        "UmbraIEExt.UmbraBHO.1\\CLSID = {1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}",
    };
    std::sort(lines.begin(), lines.end());
    return lines;
}

Lines helperList()
{
    Lines lines = testsupport::registryTree(HKEY_LOCAL_MACHINE, HelperList);
    std::sort(lines.begin(), lines.end());
    return lines;
}

class RegistrationTest : public testsupport::PrefixTest {};

TEST_F(RegistrationTest, Regsvr32WritesExactlyTheClassAndBrowserKeysAndTakesThemAway)
{
    const std::string module = ieexttest::modulePath().string();
    ASSERT_EQ(testsupport::classesRoot(), Lines{});
    ASSERT_EQ(helperList(), Lines{});

    testsupport::ProcessResult result = testsupport::regsvr32(m_prefix, {"/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(testsupport::classesRoot(), registeredClasses(ieexttest::moduleDosPath()));
    const std::string key = std::string(HelperList) + "\\{1380FB6B-41A0-46B3-8DCA-7F01F6E20F17}";
    EXPECT_EQ(helperList(), (Lines{HelperList, key}));

    // Registering again leaves one set.
    result = testsupport::regsvr32(m_prefix, {"/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testsupport::classesRoot(), registeredClasses(ieexttest::moduleDosPath()));

    result = testsupport::regsvr32(m_prefix, {"/u", "/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testsupport::classesRoot(), Lines{"CLSID"});
    EXPECT_EQ(helperList(), Lines{HelperList});

    // Unregistering what is gone still succeeds.
    result = testsupport::regsvr32(m_prefix, {"/u", "/s", module});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(testsupport::classesRoot(), Lines{"CLSID"});
}

TEST_F(RegistrationTest, OtherHelperObjectsSurviveUnregistration)
{
    const std::string other = std::string(HelperList) + "\\{00000000-1111-2222-3333-444444444444}";
    settings::Key::create(HKEY_LOCAL_MACHINE, other.c_str());
    const std::string module = ieexttest::modulePath().string();
    ASSERT_EQ(testsupport::regsvr32(m_prefix, {"/s", module}).exitCode, 0);
    ASSERT_EQ(testsupport::regsvr32(m_prefix, {"/u", "/s", module}).exitCode, 0);
    EXPECT_EQ(helperList(), (Lines{HelperList, other}));
}

} // namespace
