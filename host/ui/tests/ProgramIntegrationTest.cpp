// The program integration switch with the real configuration component: Rigwright.dll
// registered in the test's prefix, created by class identifier, its methods called by
// name with the rows' arguments.

#include "core/ProgramIntegration.h"

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
    EXPECT_EQ(host::switchProgramIntegration(true), IntegrationOutcome::Done);
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
    EXPECT_EQ(host::switchProgramIntegration(false), IntegrationOutcome::Done);
    EXPECT_EQ(settings::Key::open(HKEY_CURRENT_USER, YahooKey).readDword("Proxy Enabled"), 0u);
}

TEST_F(ProgramIntegrationTest, UnregisteredComponentChangesNothing)
{
    ASSERT_EQ(testsupport::callModuleExport(rigwrightPath(), "DllUnregisterServer"), S_OK);
    EXPECT_EQ(host::switchProgramIntegration(true), IntegrationOutcome::ComponentMissing);
    EXPECT_FALSE(settings::Key::open(HKEY_CURRENT_USER, YahooKey).readDword("Proxy Enabled"));
}
