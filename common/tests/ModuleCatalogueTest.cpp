// The module catalogue: its tables agree with each other, so that the host, the first run
// and the navigation cannot disagree about a module's pages or key.

#include <common/ModuleCatalogue.h>
#include <platform/Text.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

TEST(ModuleCatalogueTest, EachModuleSitsInItsSlotUnderTheDllsKeyByItsFileName)
{
    for (catalogue::Slot slot : catalogue::SlotOrder) {
        const catalogue::Module& module = catalogue::module(slot);
        EXPECT_EQ(module.slot, slot);
        EXPECT_EQ(std::string(module.key), std::string(settings::DllsKey) + "\\" + module.fileName);
        EXPECT_TRUE(text::equalsNoCase(module.registrationName, module.fileName));
        EXPECT_EQ(catalogue::moduleByFileName(text::lower(module.fileName)), &module);
    }
    EXPECT_EQ(catalogue::moduleByFileName("Listfetch.dll"), nullptr);
    EXPECT_TRUE(catalogue::module(catalogue::Slot::Chain).required);
    EXPECT_TRUE(catalogue::module(catalogue::Slot::Filters).required);
}

TEST(ModuleCatalogueTest, FirstRunOrdersNameEveryModuleOnce)
{
    for (const auto& order : {catalogue::RegistrationOrder, catalogue::PathRewriteOrder}) {
        EXPECT_EQ(std::set<catalogue::Slot>(order.begin(), order.end()).size(),
                  catalogue::Modules.size());
    }
    EXPECT_STREQ(catalogue::module(catalogue::RegistrationOrder.front()).registrationName,
                 "local.dll");
}

TEST(ModuleCatalogueTest, HostPagesFitTheirModulesAndTheNavigationShowsEachOnce)
{
    std::set<UINT> shows;
    std::set<UINT> actions;
    for (std::size_t i = 0; i < catalogue::HostPages.size(); ++i) {
        const catalogue::HostPage& entry = catalogue::HostPages[i];
        EXPECT_EQ(static_cast<std::size_t>(entry.page), i);
        EXPECT_LT(entry.index, catalogue::module(entry.slot).pages);
        EXPECT_TRUE(shows.insert(entry.showCommand).second);
        if (entry.actionCommand != 0) {
            EXPECT_TRUE(actions.insert(entry.actionCommand).second);
        }
    }
    // Every page a module gives the main window has its place.
    for (const catalogue::Module& module : catalogue::Modules) {
        const auto places = std::count_if(
            catalogue::HostPages.begin(), catalogue::HostPages.end(),
            [&](const catalogue::HostPage& entry) { return entry.slot == module.slot; });
        EXPECT_EQ(places, module.pages) << module.fileName;
    }
    EXPECT_EQ(std::set<catalogue::Page>(catalogue::NavigationOrder.begin(),
                                        catalogue::NavigationOrder.end())
                  .size(),
              catalogue::HostPages.size());
}

} // namespace
