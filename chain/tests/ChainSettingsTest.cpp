// The settings a build reads: level adjustment of the path length, the time-out rule and
// the firewall values.

#include "ChainSettings.h"

#include "ChainRegistration.h"
#include "TestSupport.h"

#include <common/Settings.h>
#include <platform/MessageBox.h>

namespace {

using chain::ChainSettings;

TEST(ChainSettingsRules, LevelAdjustsThePathLength)
{
    struct Case {
        DWORD level, pathLength;
        int expected;
    } cases[] = {{1, 5, 1}, {2, 0, 1}, {3, 5, 2}, {3, 1, 2},          {4, 5, 5},         {4, 1, 2},
                 {4, 0, 2}, {0, 3, 3}, {5, 3, 3}, {0xFFFFFFFF, 7, 7}, {0xFFFFFFFF, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(ChainSettings::adjustPathLength(c.level, c.pathLength), c.expected)
            << "level " << c.level << " PATHLENGTH " << c.pathLength;
    }
}

TEST(ChainSettingsRules, PathLengthIsBounded)
{
    EXPECT_EQ(ChainSettings::adjustPathLength(0xFFFFFFFF, 0xFFFFFFFF),
              ChainSettings::MaxPathLength);
    EXPECT_EQ(ChainSettings::adjustPathLength(4, 1000), ChainSettings::MaxPathLength);
}

TEST(ChainSettingsRules, TimeOutsBelow100MeanFiveSeconds)
{
    EXPECT_EQ(ChainSettings::effectiveTimeoutMs(0), 5000);
    EXPECT_EQ(ChainSettings::effectiveTimeoutMs(50), 5000);
    EXPECT_EQ(ChainSettings::effectiveTimeoutMs(99), 5000);
    EXPECT_EQ(ChainSettings::effectiveTimeoutMs(100), 100);
    EXPECT_EQ(ChainSettings::effectiveTimeoutMs(10000), 10000);
    EXPECT_GT(ChainSettings::effectiveTimeoutMs(0xFFFFFFFF), 0);
}

class ChainSettingsLoadTest : public testsupport::PrefixTest {
protected:
    void SetUp() override
    {
        ASSERT_EQ(chain::ChainRegistration::registerModule("Z:\\x\\Chain.dll"), 1);
        main().writeDword("ANONYMITYLEVEL", 0xFFFFFFFF);
    }
    static settings::Key chainKey()
    {
        return settings::Key::open(HKEY_LOCAL_MACHINE, settings::ChainKey, KEY_ALL_ACCESS);
    }
    static settings::Key main()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    platform::ScopedScriptedPresenter m_boxes;
};

TEST_F(ChainSettingsLoadTest, RegisteredDefaults)
{
    std::optional<ChainSettings> s = ChainSettings::load();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->timeoutMs, 10000);
    EXPECT_EQ(s->pathLength, 1);
    EXPECT_FALSE(s->firewall);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ChainSettingsLoadTest, MissingTimeOutAndPathLengthReadAsZero)
{
    ASSERT_EQ(RegDeleteValue(chainKey().get(), "CONNTIMEOUT"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValue(chainKey().get(), "PATHLENGTH"), ERROR_SUCCESS);
    std::optional<ChainSettings> s = ChainSettings::load();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->timeoutMs, 5000);
    EXPECT_EQ(s->pathLength, 0);
}

TEST_F(ChainSettingsLoadTest, FirewallValuesAreReadOnlyWhenEnabled)
{
    main().writeDword("ProxyFirewall", 0x0A000001);
    main().writeDword("ProxyFirePort", 3128);
    main().writeDword("ProxyFirewallEnabled", 0);
    EXPECT_FALSE(ChainSettings::load()->firewall);
    main().writeDword("ProxyFirewallEnabled", 1);
    std::optional<ChainSettings> s = ChainSettings::load();
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->firewall);
    EXPECT_EQ(s->firewallAddress, 0x0A000001u);
    EXPECT_EQ(s->firewallPort, 3128u);
}

TEST_F(ChainSettingsLoadTest, NamesMatchWithoutRegardToCase)
{
    chainKey().writeDword("pathlength", 4);
    main().writeDword("anonymitylevel", 0);
    EXPECT_EQ(ChainSettings::load()->pathLength, 4);
}

TEST_F(ChainSettingsLoadTest, UnreadableSettingsShowTheirBoxes)
{
    ASSERT_EQ(RegDeleteValue(chainKey().get(), "PATHSELECTTYPE"), ERROR_SUCCESS);
    EXPECT_FALSE(ChainSettings::load());
    chainKey().writeDword("PATHSELECTTYPE", 0);
    ASSERT_EQ(RegDeleteValue(main().get(), "ANONYMITYLEVEL"), ERROR_SUCCESS);
    EXPECT_FALSE(ChainSettings::load());
    ASSERT_EQ(SHDeleteKey(HKEY_LOCAL_MACHINE, settings::ChainKey),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(ChainSettings::load());
    std::vector<platform::MessageBoxCall> boxes = m_boxes->calls();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "Proxy Chain Settings");
    EXPECT_EQ(boxes[1].caption, "Proxy Chain Settings");
    EXPECT_EQ(boxes[2].caption, "Chain");
    for (const platform::MessageBoxCall& box : boxes) {
        EXPECT_EQ(box.text, "Invalide registry data");
        EXPECT_EQ(box.icon(), MB_ICONERROR);
    }
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
