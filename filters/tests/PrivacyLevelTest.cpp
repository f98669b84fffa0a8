// The privacy-level presets, row by row: which switches a level forces for one call.

#include "FilterSettings.h"

#include <gtest/gtest.h>

#include <vector>

namespace filters {
namespace {

// Every switch a preset may force, in the order of the preset table's columns.
struct Row {
    bool requestGroup;       // Req on, the shields, masking, unsafe cookies, cache, both lists
    bool allCookies;         // DISABLEALLCOOKIES
    bool responseAndBanners; // Res on, BLOCKBANNERS
    bool imagesAndScripts;   // BLOCKIMAGES, BLOCKSCRIPTS
    bool otherResponse;      // the seven page rules but scripts
};

Row rowOf(const FilterSettings& s)
{
    auto all = [](std::vector<bool> v) {
        for (bool b : v) {
            if (b != v.front()) {
                ADD_FAILURE() << "a preset column is not uniform";
            }
        }
        return v.front();
    };
    return Row{
        all({s.requestOn, s.browserShield, s.osShield, s.referrerBlock, s.ipMasking,
             s.disableUnsafeCookies, s.disableInternetCache, s.customFiltersOn, s.stopListOn}),
        s.disableAllCookies, all({s.responseOn, s.blockBanners}),
        all({s.blockImages, s.blockScripts}),
        all({s.disableOnUnload, s.hidePageTitle, s.blockPopups, s.removeCtxMenuDis, s.removeFlash,
             s.removeStatusMods, s.disableTimerProc})};
}

FilterSettings everything(bool on)
{
    FilterSettings s;
    for (bool* b : {&s.requestOn,         &s.browserShield,        &s.osShield,
                    &s.disableAllCookies, &s.disableUnsafeCookies, &s.ipMasking,
                    &s.referrerBlock,     &s.disableInternetCache, &s.customFiltersOn,
                    &s.stopListOn,        &s.responseOn,           &s.blockImages,
                    &s.blockBanners,      &s.blockScripts,         &s.disableOnUnload,
                    &s.hidePageTitle,     &s.blockPopups,          &s.removeCtxMenuDis,
                    &s.removeFlash,       &s.removeStatusMods,     &s.disableTimerProc}) {
        *b = on;
    }
    s.fakeIp = 0x01020304;
    s.customFilters = {"A: b"};
    s.stopServers = {"stop"};
    s.trustedSites = {"trusted"};
    return s;
}

struct Preset {
    DWORD level;
    Row row;
};

class PrivacyLevel : public ::testing::TestWithParam<Preset> {};

TEST_P(PrivacyLevel, ForcesItsRowWhateverTheRegistrySays)
{
    for (bool registry : {false, true}) {
        FilterSettings s = everything(registry);
        s.privacyLevel = GetParam().level;
        s.applyPrivacyLevel();
        const Row got = rowOf(s);
        const Row& want = GetParam().row;
        EXPECT_EQ(got.requestGroup, want.requestGroup);
        EXPECT_EQ(got.allCookies, want.allCookies);
        EXPECT_EQ(got.responseAndBanners, want.responseAndBanners);
        EXPECT_EQ(got.imagesAndScripts, want.imagesAndScripts);
        EXPECT_EQ(got.otherResponse, want.otherResponse);
        // FAKEIP and the lists are never overridden.
        EXPECT_EQ(s.fakeIp, 0x01020304u);
        EXPECT_EQ(s.customFilters.size() + s.stopServers.size() + s.trustedSites.size(), 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(Presets, PrivacyLevel,
                         ::testing::Values(Preset{1, {false, false, false, false, false}},
                                           Preset{2, {true, false, false, false, false}},
                                           Preset{3, {true, false, true, false, true}},
                                           Preset{4, {true, true, true, true, true}}));

TEST(PrivacyLevelCustom, OtherLevelsKeepTheRegistryValues)
{
    for (DWORD level : {DWORD(0xFFFFFFFF), DWORD(0), DWORD(5), DWORD(100)}) {
        FilterSettings s = everything(false);
        s.ipMasking = s.blockPopups = true;
        s.privacyLevel = level;
        s.applyPrivacyLevel();
        EXPECT_TRUE(s.ipMasking && s.blockPopups);
        EXPECT_FALSE(s.requestOn || s.responseOn || s.browserShield || s.blockScripts);
    }
}

} // namespace
} // namespace filters
