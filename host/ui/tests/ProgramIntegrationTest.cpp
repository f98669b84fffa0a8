// The program integration switch: with the counting stand-in of the configuration
// component (which methods, in which order, with which arguments), and with the real
// Rigwright.dll registered in the test's prefix (what reaches a program's settings).

#include "core/ProgramIntegration.h"

#include "CountingRigwright.h"

#include <common/Rigwright.h>
#include <common/Settings.h>
#include <platform/Com.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <ComTestSupport.h>
#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using host::IntegrationOutcome;

constexpr const char* YahooKey = "Software\\Yahoo\\Pager";
constexpr const char* CuteFtpKey = "Software\\GlobalSCAPE\\CuteFTP 5.0\\CuteFTP";

std::string rigwrightPath()
{
    return platform::toDosPath(std::filesystem::canonical(testsupport::binDir() / "Rigwright.dll"))
        .str();
}

// Whether the component's methods do their work in this build (they answer E_NOTIMPL
// until the program configurators are in).
bool configuratorsBuilt()
{
    CoInitialize(nullptr);
    rigwright::IConfiguration* object = nullptr;
    bool built = false;
    if (SUCCEEDED(CoCreateInstance(rigwright::CLSID_Configuration, nullptr, CLSCTX_INPROC_SERVER,
                                   rigwright::IID_IConfiguration,
                                   reinterpret_cast<void**>(&object)))) {
        built = object->LoadIEProxySettings() != E_NOTIMPL;
        object->Release();
    }
    CoUninitialize();
    return built;
}

class ProgramIntegrationTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(testsupport::callModuleExport(rigwrightPath(), "DllRegisterServer"), S_OK);
        settings::Key main = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
        main.writeDword("PROXYPORT", 3128);
        main.writeDword("IntegrateWithYahooMessenger", 1);
        main.writeDword("IntegrateWithCute_FTP", 1);
        settings::Key::create(HKEY_CURRENT_USER, YahooKey);
        settings::Key::create(HKEY_CURRENT_USER, CuteFtpKey);
    }
    platform::ScopedScriptedPresenter m_boxes;
};

} // namespace

TEST_F(ProgramIntegrationTest, SwitchCallsTheComponentForTheSelectedPrograms)
{
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::Done);
    const std::vector<std::string> boxes = m_boxes->texts(); // the probe below shows one
    if (!configuratorsBuilt()) {
        GTEST_SKIP() << "gap: the program configurators are not in this build yet";
    }
    EXPECT_EQ(boxes, std::vector<std::string>{});
    settings::Key yahoo = settings::Key::open(HKEY_CURRENT_USER, YahooKey);
    EXPECT_EQ(yahoo.readDword("Proxy Enabled"), 1u);
    EXPECT_EQ(yahoo.readString("HTTP Proxy"), "127.0.0.1");
    EXPECT_EQ(yahoo.readDword("Proxy Port"), 3128u);
    settings::Key cute = settings::Key::open(HKEY_CURRENT_USER, CuteFtpKey);
    EXPECT_EQ(cute.readString("FireHost"), "127.0.0.1");
    EXPECT_EQ(cute.readDword("FirePort"), 3128u);
    EXPECT_EQ(cute.readDword("FireType"), 1u);

    // Switching off clears the messenger's switch; the rest of its entry stays.
    EXPECT_EQ(host::switchProgramIntegration(false).programs, IntegrationOutcome::Done);
    EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, YahooKey).readDword("Proxy Enabled"), 0u);
}

TEST_F(ProgramIntegrationTest, UnregisteredComponentChangesNothing)
{
    ASSERT_EQ(testsupport::callModuleExport(rigwrightPath(), "DllUnregisterServer"), S_OK);
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::ComponentMissing);
    EXPECT_FALSE(settings::Key::open(HKEY_CURRENT_USER, YahooKey).readDword("Proxy Enabled"));
}

namespace {

class IntegrationSwitchTest : public testsupport::PrefixTest {
protected:
    void SetUp() override { ASSERT_TRUE(uitest::registerCountingRigwright()); }
    static settings::Key mainKey()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    static void selectAll()
    {
        for (const char* name :
             {"IntegrateWithIE", "IntegrateWithNetscape", "IntegrateWithOpera",
              "IntegrateWithMSNMessenger", "IntegrateWithYahooMessenger", "IntegrateWithMIRC",
              "IntegrateWithWS_FTP", "IntegrateWithCute_FTP"}) {
            mainKey().writeDword(name, 1);
        }
    }
    platform::ScopedScriptedPresenter m_boxes;
};

using Calls = std::vector<std::string>;

} // namespace

TEST_F(IntegrationSwitchTest, OnAndOffCallEverySelectedProgramInOrderOnTheStoredPort)
{
    selectAll();
    mainKey().writeDword("PROXYPORT", 3128);
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::Done);
    EXPECT_EQ(
        uitest::countedCalls(),
        (Calls{"SetIEProxySettings 1 127.0.0.1 3128", "SetNetscapeProxySettings 127.0.0.1 3128 1",
               "SetOperaProxySettings 1 127.0.0.1 3128", "SetMSNProxySettings 1 4 127.0.0.1 3128",
               "SetYahooMessangerProxySettings 1 127.0.0.1 3128 1 127.0.0.1 80 4",
               "SetMircProxySettings 1 127.0.0.1 3128 proxy",
               "SetWS_FTPProxySettings 1 127.0.0.1 3128 4",
               "SetCute_FTPProxySettings 127.0.0.1 3128 1"}));
    uitest::clearCountedCalls();
    EXPECT_EQ(host::switchProgramIntegration(false).programs, IntegrationOutcome::Done);
    EXPECT_EQ(
        uitest::countedCalls(),
        (Calls{"SetIEProxySettings 0 127.0.0.1 3128", "SetNetscapeProxySettings 127.0.0.1 3128 0",
               "SetOperaProxySettings 0 127.0.0.1 3128", "SetMSNProxySettings 0 4 127.0.0.1 3128",
               "SetYahooMessangerProxySettings 0 127.0.0.1 3128 0 127.0.0.1 80 4",
               "SetMircProxySettings 0 127.0.0.1 3128 proxy",
               "SetWS_FTPProxySettings 0 127.0.0.1 3128 4",
               "SetCute_FTPProxySettings 127.0.0.1 3128 1"}));
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(IntegrationSwitchTest, OnlyValuesOfExactlyOneSelectAndThePortDefaultsTo8080)
{
    mainKey().writeDword("IntegrateWithIE", 2);
    mainKey().writeDword("IntegrateWithNetscape", 0);
    mainKey().writeString("IntegrateWithOpera", "1");
    mainKey().writeDword("IntegrateWithMSNMessenger", 1);
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::Done);
    EXPECT_EQ(uitest::countedCalls(), Calls{"SetMSNProxySettings 1 4 127.0.0.1 8080"});
}

TEST_F(IntegrationSwitchTest, FailingMethodsDoNotStopTheOthers)
{
    selectAll();
    uitest::setMethodResult("SetIEProxySettings", S_FALSE);
    uitest::setMethodResult("SetOperaProxySettings", static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::Done);
    EXPECT_EQ(uitest::countedCalls().size(), 8u);
}

TEST_F(IntegrationSwitchTest, WithoutTheClassNothingIsCalled)
{
    selectAll();
    uitest::unregisterConfigurationClass();
    EXPECT_EQ(host::switchProgramIntegration(true).programs, IntegrationOutcome::ComponentMissing);
    EXPECT_EQ(uitest::countedCalls(), Calls{});
    EXPECT_TRUE(m_boxes->calls().empty());
}
