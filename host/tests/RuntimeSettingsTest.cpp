// The settings the proxy engine reads at each use: chain in use, the two filter
// switches and the proxy port.

#include "core/RuntimeSettings.h"

#include "TestSupport.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/Registry.h>

#include <gtest/gtest.h>

namespace {

class RuntimeSettingsTest : public testsupport::PrefixTest {
protected:
    platform::ScopedScriptedPresenter m_boxes;

    static void setDword(const char* key, const char* name, DWORD value)
    {
        ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, key).writeDword(name, value),
                  ERROR_SUCCESS);
    }
    static void setChain(DWORD connectChain, std::optional<DWORD> level)
    {
        setDword(settings::ChainKey, "CONNECTCHAIN", connectChain);
        ASSERT_TRUE(settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey));
        if (level) {
            setDword(settings::MainKey, "ANONYMITYLEVEL", *level);
        }
    }
};

TEST_F(RuntimeSettingsTest, MissingChainKeyAnswersNoWithoutLookingAtTheLevel)
{
    // No main key at all: a look at the level would complain.
    EXPECT_EQ(host::chainInUse(), 0);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, MissingConnectChainValueAnswersNo)
{
    ASSERT_TRUE(settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey));
    EXPECT_EQ(host::chainInUse(), 0);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, LevelsTwoToFourForceTheChainOn)
{
    for (DWORD level : {2u, 3u, 4u}) {
        setChain(0, level);
        EXPECT_EQ(host::chainInUse(), 1) << "level " << level;
    }
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, OtherLevelsLeaveTheConnectChainValueAsTheAnswer)
{
    for (DWORD level : {0u, 1u, 0xFFFFFFFFu, 5u}) {
        setChain(0, level);
        EXPECT_EQ(host::chainInUse(), 0) << "level " << level;
        setChain(1, level);
        EXPECT_EQ(host::chainInUse(), 1) << "level " << level;
        // A value with its top bit set is still a readable yes, not an unreadable level.
        setChain(0xFFFFFFFF, level);
        EXPECT_NE(host::chainInUse(), 0) << "level " << level;
    }
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, UnreadableLevelShowsMessageAtEveryCallAndAnswersMinusOne)
{
    setChain(0, std::nullopt);
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(host::chainInUse(), -1);
    }
    ASSERT_EQ(m_boxes->calls().size(), 3u);
    for (const auto& box : m_boxes->calls()) {
        EXPECT_EQ(box.text, "Inavlid registry data");
        EXPECT_EQ(box.caption, "Umbravia");
        EXPECT_EQ(box.icon(), MB_ICONERROR);
    }
}

TEST_F(RuntimeSettingsTest, ChangeTakesEffectAtTheNextRead)
{
    setChain(0, 0);
    EXPECT_EQ(host::chainInUse(), 0);
    setDword(settings::ChainKey, "CONNECTCHAIN", 1);
    EXPECT_EQ(host::chainInUse(), 1);
}

// Chain in use, asked for on every request chunk, follows a value written through
// another handle, a deleted level and a deleted key at the next call.
TEST_F(RuntimeSettingsTest, ChainInUseFollowsEveryChangeAtTheNextCall)
{
    setChain(1, 0);
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(host::chainInUse(), 1);
    }
    HKEY chain = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, settings::ChainKey, 0, KEY_WRITE, &chain),
              ERROR_SUCCESS);
    const DWORD off = 0;
    ASSERT_EQ(RegSetValueEx(chain, "CONNECTCHAIN", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&off), sizeof off),
              ERROR_SUCCESS);
    RegCloseKey(chain);
    EXPECT_EQ(host::chainInUse(), 0);
    setDword(settings::MainKey, "ANONYMITYLEVEL", 3);
    EXPECT_EQ(host::chainInUse(), 1);
    EXPECT_TRUE(m_boxes->calls().empty());
    settings::Key main = settings::Key::open(HKEY_LOCAL_MACHINE, settings::MainKey, KEY_WRITE);
    ASSERT_EQ(RegDeleteValue(main.get(), "ANONYMITYLEVEL"), ERROR_SUCCESS);
    EXPECT_EQ(host::chainInUse(), -1);
    EXPECT_EQ(m_boxes->calls().size(), 1u);
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey), ERROR_SUCCESS);
    EXPECT_EQ(host::chainInUse(), 0);
    EXPECT_EQ(m_boxes->calls().size(), 1u);
}

TEST_F(RuntimeSettingsTest, FilterSwitchesAreTheDefaultValuesOfReqAndRes)
{
    EXPECT_FALSE(host::requestFilteringOn());
    EXPECT_FALSE(host::responseFilteringOn());
    setDword(settings::RequestKey, nullptr, 7);
    EXPECT_TRUE(host::requestFilteringOn());
    EXPECT_FALSE(host::responseFilteringOn());
    setDword(settings::ResponseKey, "", 1);
    EXPECT_TRUE(host::responseFilteringOn());
    setDword(settings::RequestKey, nullptr, 0);
    EXPECT_FALSE(host::requestFilteringOn());
    EXPECT_TRUE(m_boxes->calls().empty());
}

// The switches are kept between chunks only while nothing was written: a deleted key, a
// value written through another handle and a store of another prefix all show at the
// next call.
TEST_F(RuntimeSettingsTest, FilterSwitchesFollowEveryChangeAtTheNextCall)
{
    setDword(settings::RequestKey, nullptr, 1);
    setDword(settings::ResponseKey, nullptr, 1);
    for (int call = 0; call < 3; ++call) {
        EXPECT_TRUE(host::requestFilteringOn());
        EXPECT_TRUE(host::responseFilteringOn());
    }
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::RequestKey), ERROR_SUCCESS);
    EXPECT_FALSE(host::requestFilteringOn());
    EXPECT_TRUE(host::responseFilteringOn());
    HKEY res = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, settings::ResponseKey, 0, KEY_WRITE, &res),
              ERROR_SUCCESS);
    const DWORD off = 0;
    ASSERT_EQ(
        RegSetValueEx(res, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off),
        ERROR_SUCCESS);
    RegCloseKey(res);
    EXPECT_FALSE(host::responseFilteringOn());
    {
        testsupport::TempPrefix other; // a store of its own, where both are on
        setDword(settings::RequestKey, nullptr, 1);
        setDword(settings::ResponseKey, nullptr, 1);
        EXPECT_TRUE(host::requestFilteringOn());
        EXPECT_TRUE(host::responseFilteringOn());
    }
    platform::setPrefix(m_prefix.path());
    EXPECT_FALSE(host::requestFilteringOn());
    EXPECT_FALSE(host::responseFilteringOn());
}

TEST_F(RuntimeSettingsTest, FilterSwitchOfTheWrongSizeReadsAsOff)
{
    settings::Key req = settings::Key::create(HKEY_LOCAL_MACHINE, settings::RequestKey);
    ASSERT_EQ(req.writeString(nullptr, "a long string, not a DWORD"), ERROR_SUCCESS);
    EXPECT_FALSE(host::requestFilteringOn());
}

TEST_F(RuntimeSettingsTest, ModernBrowsersAreOnUnlessTheValueIsZero)
{
    EXPECT_TRUE(host::modernBrowsersOn()); // no main key at all
    setDword(settings::MainKey, "MODERNBROWSERS", 0);
    EXPECT_FALSE(host::modernBrowsersOn());
    setDword(settings::MainKey, "MODERNBROWSERS", 1);
    EXPECT_TRUE(host::modernBrowsersOn());
    setDword(settings::MainKey, "MODERNBROWSERS", 2);
    EXPECT_TRUE(host::modernBrowsersOn());
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, ProxyPortIsReadFromTheMainKey)
{
    setDword(settings::MainKey, "PROXYPORT", 8123);
    EXPECT_EQ(host::readProxyPort(), 8123);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(RuntimeSettingsTest, UnreadableProxyPortShowsInvalidRegistryStatus)
{
    EXPECT_EQ(host::readProxyPort(), std::nullopt);
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text, "Inavlid registry status");
    EXPECT_EQ(m_boxes->calls()[0].caption, "Umbravia");
}

TEST_F(RuntimeSettingsTest, ProxyPortOutsideTheTcpRangeIsUnreadable)
{
    for (DWORD port : {0u, 65536u, 70000u, 0xFFFFFFFFu}) {
        m_boxes->clear();
        setDword(settings::MainKey, "PROXYPORT", port);
        EXPECT_EQ(host::readProxyPort(), std::nullopt) << port;
        ASSERT_EQ(m_boxes->calls().size(), 1u) << port;
        EXPECT_EQ(m_boxes->calls()[0].text, "Inavlid registry status");
    }
    setDword(settings::MainKey, "PROXYPORT", 65535);
    EXPECT_EQ(host::readProxyPort(), 65535);
}

using RuntimeSettingsDeathTest = RuntimeSettingsTest;

TEST_F(RuntimeSettingsDeathTest, UnreadableProxyPortEndsTheProcessWithExitCodeZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::setMessageBoxPresenter(std::make_shared<platform::HeadlessPresenter>());
            host::readProxyPortOrExit();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "MessageBox \\[Umbravia\\] Inavlid registry status");
}

} // namespace
