// The module start (sockets, Listfetch and its entry points) with each failure and its
// box, the exports, and the module's registration.

#include "ChainModule.h"

#include "TestSupport.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Modules.h>

#include <cstring>

namespace {

class ChainModuleTest : public testsupport::PrefixTest {
protected:
    void TearDown() override
    {
        if (m_chain != nullptr) {
            FreeLibrary(m_chain);
        }
    }

    // Loads Chain.dll with the current folder set to folder.
    HMODULE loadFrom(const std::filesystem::path& folder)
    {
        EXPECT_TRUE(SetCurrentDirectory(platform::toDosPath(folder).c_str()));
        m_chain = LoadLibrary(platform::toDosPath(testsupport::binDir() / "Chain.dll").c_str());
        return m_chain;
    }

    void expectOneBox(const char* text, const char* caption)
    {
        ASSERT_EQ(m_boxes->calls().size(), 1u);
        EXPECT_EQ(m_boxes->calls()[0].text, text);
        EXPECT_EQ(m_boxes->calls()[0].caption, caption);
        EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
        EXPECT_EQ(m_boxes->calls()[0].owner, 0u);
    }

    platform::ScopedScriptedPresenter m_boxes;
    HMODULE m_chain = nullptr;
};

TEST_F(ChainModuleTest, LoadsWithListfetchAndExportsTheChainEntryPoints)
{
    ASSERT_NE(loadFrom(testsupport::binDir()), nullptr) << platform::lastModuleError();
    EXPECT_TRUE(m_boxes->calls().empty());
    for (const char* name : {contract::CreateChain.name, contract::SetVendor.name,
                             contract::SetMainWindow.name, contract::UpdateProxyList.name,
                             contract::RegisterDLL.name, contract::UnRegisterDLL.name}) {
        EXPECT_NE(GetProcAddress(m_chain, name), nullptr) << name;
    }
    // The settings page comes with its own work; until then the host finds no page.
    EXPECT_EQ(GetProcAddress(m_chain, contract::CreateTabDlg), nullptr);
    platform::proc<UpdateProxyListFn>(m_chain, contract::UpdateProxyList)();
    platform::proc<SetMainWindowFn>(m_chain, contract::SetMainWindow)(42);
}

TEST_F(ChainModuleTest, MissingListfetchFailsTheLoadWithItsBox)
{
    testsupport::TempDir empty;
    EXPECT_EQ(loadFrom(empty.path()), nullptr);
    expectOneBox("Failed to load Listfetch Dll File", "Chain");
    // Nothing was left half started: the next load succeeds.
    m_boxes->clear();
    EXPECT_NE(loadFrom(testsupport::binDir()), nullptr) << platform::lastModuleError();
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ChainModuleTest, ListfetchWithoutGetProxyFailsTheLoadWithItsBox)
{
    EXPECT_EQ(loadFrom(testsupport::testModulesDir() / "chain_testmodule_NoGetProxy"), nullptr);
    expectOneBox("Failed to load Dll Module", "Chian");
}

TEST_F(ChainModuleTest, ListfetchWithoutListCountFailsTheLoadWithItsBox)
{
    EXPECT_EQ(loadFrom(testsupport::testModulesDir() / "chain_testmodule_NoListCount"), nullptr);
    expectOneBox("Failed to load Dll Module", "Chian");
}

TEST_F(ChainModuleTest, SocketsThatDoNotStartFailTheStartBeforeListfetch)
{
    chain::ChainModule module;
    EXPECT_FALSE(module.start([](WORD, LPWSADATA) { return 10091; })); // WSASYSNOTREADY
    expectOneBox("Failed to initialize sockets", "Proxy Chain Settings");
    EXPECT_EQ(module.createChain(), INVALID_SOCKET);
}

TEST_F(ChainModuleTest, SetVendorStoresTheSingleHopFlag)
{
    chain::ChainModule module;
    EXPECT_EQ(module.singleHop(), 0);
    module.setSingleHop(1);
    EXPECT_EQ(module.singleHop(), 1);
    module.setSingleHop(0);
    EXPECT_EQ(module.singleHop(), 0);
}

TEST_F(ChainModuleTest, SetVendorExportReturnsItsArgument)
{
    ASSERT_NE(loadFrom(testsupport::binDir()), nullptr);
    const SetVendorFn setVendor = contract::bind(m_chain, contract::SetVendor);
    ASSERT_NE(setVendor, nullptr);
    EXPECT_EQ(setVendor(1), 1);
    EXPECT_EQ(setVendor(0), 0);
}

TEST_F(ChainModuleTest, RegisterWritesPathNameAndTheDefaults)
{
    ASSERT_NE(loadFrom(testsupport::binDir()), nullptr);
    const char* path = "C:\\Program Files\\Umbravia\\Chain.dll";
    ASSERT_EQ(platform::proc<RegisterDLLFn>(m_chain, contract::RegisterDLL)(path), 1);

    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey);
    ASSERT_TRUE(key);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(key.get(), "PathName", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, std::strlen(path) + 1); // the terminating zero is counted
    EXPECT_EQ(key.readString("PathName"), path);
    const std::pair<const char*, DWORD> defaults[] = {
        {"CONNECTCHAIN", 0}, {"CONNTIMEOUT", 10000}, {"PATHLENGTH", 1},     {"PATHSELECTTYPE", 0},
        {"USEONEPROXY", 0},  {"UPDATEEVERY", 0},     {"UPDATEATSTARTUP", 0}};
    for (const auto& [name, value] : defaults) {
        EXPECT_EQ(key.readDword(name), value) << name;
    }
}

TEST_F(ChainModuleTest, UnregisterDeletesTheWholeSubtreeOnce)
{
    ASSERT_NE(loadFrom(testsupport::binDir()), nullptr);
    ASSERT_EQ(platform::proc<RegisterDLLFn>(m_chain, contract::RegisterDLL)("Z:\\x\\Chain.dll"), 1);
    std::string child = std::string(settings::ChainKey) + "\\Extra";
    ASSERT_TRUE(settings::Key::create(HKEY_LOCAL_MACHINE, child.c_str()));
    auto unregister = platform::proc<UnRegisterDLLFn>(m_chain, contract::UnRegisterDLL);
    EXPECT_EQ(unregister(), 1);
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey));
    EXPECT_TRUE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::DllsKey));
    EXPECT_EQ(unregister(), 0);
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
