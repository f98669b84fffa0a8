// The IEExt stand-in registers every value the browser helper object reads, switched off.

#include "TestSupport.h"

#include <common/PluginContract.h>
#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Modules.h>

#include <gtest/gtest.h>

namespace {

class IEExtTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        m_path = platform::toDosPath(testsupport::binDir() / "IEExt.dll").str();
        m_module = LoadLibrary(m_path.c_str());
        ASSERT_NE(m_module, nullptr) << platform::lastModuleError();
    }
    void TearDown() override { FreeLibrary(m_module); }

    std::string m_path;
    HMODULE m_module = nullptr;
};

TEST_F(IEExtTest, RegisterWritesPathAndEverySwitchOff)
{
    auto reg = platform::proc<RegisterDLLFn>(m_module, contract::RegisterDLL);
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(m_path.c_str()), 1);

    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key.readString("PathName"), m_path);
    for (const char* name : {"KILLALLPOPUPS", "IEWINDOWRESIZABLE", "SHOWADDRESSBAR", "SHOWMENUBAR",
                             "SHOWSTATUSBAR", "SHOWTOOLBAR"}) {
        EXPECT_EQ(key.readDword(name), 0u) << name;
    }
    const std::string base = settings::IEExtKey;
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, (base + "\\KILLPOPUPSIZE").c_str(), nullptr),
              0u);
    EXPECT_EQ(settings::readDword(HKEY_LOCAL_MACHINE, (base + "\\KILLPOPUPSIZE").c_str(),
                                  "WINDOWSIZETHRESHOLD"),
              25u);
    for (const char* list : {"\\KILLPOPUPURL", "\\KILLPOPUPTITLE"}) {
        auto read = settings::readList(HKEY_LOCAL_MACHINE, (base + list).c_str());
        ASSERT_TRUE(read) << list;
        EXPECT_EQ(read->enabled, 0u);
        EXPECT_TRUE(read->entries.empty());
    }
}

TEST_F(IEExtTest, ReRegisteringKeepsListEntries)
{
    auto reg = platform::proc<RegisterDLLFn>(m_module, contract::RegisterDLL);
    ASSERT_EQ(reg(m_path.c_str()), 1);
    const std::string urls = std::string(settings::IEExtKey) + "\\KILLPOPUPURL";
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, urls.c_str(), {1, {"*ads*"}}), ERROR_SUCCESS);
    ASSERT_EQ(reg(m_path.c_str()), 1);
    auto read = settings::readList(HKEY_LOCAL_MACHINE, urls.c_str());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->enabled, 0u);
    EXPECT_EQ(read->entries, std::vector<std::string>{"*ads*"});
}

TEST_F(IEExtTest, UnRegisterDeletesTheWholeKey)
{
    auto reg = platform::proc<RegisterDLLFn>(m_module, contract::RegisterDLL);
    auto unreg = platform::proc<UnRegisterDLLFn>(m_module, contract::UnRegisterDLL);
    ASSERT_NE(unreg, nullptr);
    EXPECT_EQ(unreg(), 0); // nothing to delete yet
    ASSERT_EQ(reg(m_path.c_str()), 1);
    EXPECT_EQ(unreg(), 1);
    EXPECT_FALSE(settings::Key::open(HKEY_LOCAL_MACHINE, settings::IEExtKey));
}

} // namespace
