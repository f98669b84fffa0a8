// The host's module table: slots loaded from their registry keys in order, the required
// entry points bound, and every failure shown with its message.

#include "core/ModuleTable.h"

#include "TestSupport.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>

#include <gtest/gtest.h>

namespace {

using host::ModuleTable;
using host::Slot;

std::string testModule(const std::string& name)
{
    auto path = testsupport::testModulesDir() / ("host_testmodule_" + name) / (name + ".dll");
    return platform::toDosPath(path).str();
}

void registerModule(const char* key, const std::string& path)
{
    settings::Key k = settings::Key::create(HKEY_LOCAL_MACHINE, key);
    ASSERT_TRUE(k);
    ASSERT_EQ(k.writeString("PathName", path), ERROR_SUCCESS);
}

class ModuleTableTest : public testsupport::PrefixTest {
protected:
    platform::ScopedScriptedPresenter m_boxes;

    void expectFatal(const char* text)
    {
        ModuleTable table;
        EXPECT_EQ(table.load(), ModuleTable::LoadOutcome::EndProcess);
        ASSERT_EQ(m_boxes->calls().size(), 1u);
        EXPECT_EQ(m_boxes->calls()[0].text, text);
        EXPECT_EQ(m_boxes->calls()[0].caption, "Umbravia");
        EXPECT_EQ(m_boxes->calls()[0].icon(), MB_ICONERROR);
    }
};

TEST_F(ModuleTableTest, NoKeysLeavesEverySlotEmptyWithoutMessage)
{
    ModuleTable table;
    EXPECT_EQ(table.load(), ModuleTable::LoadOutcome::Loaded);
    for (Slot slot : host::SlotOrder) {
        EXPECT_FALSE(table.loaded(slot));
        EXPECT_EQ(table.lookup(slot, "SetVendor"), nullptr);
    }
    EXPECT_EQ(table.createChain, nullptr);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ModuleTableTest, LoadsEverySlotAndBindsTheRequiredEntryPoints)
{
    registerModule(settings::ChainKey, testModule("TableChain"));
    registerModule(settings::LocalKey, testModule("TableLocal"));
    registerModule(settings::FiltersKey, testModule("TableFilters"));
    registerModule(settings::IEExtKey, testModule("TableIEExt"));
    ModuleTable table;
    ASSERT_EQ(table.load(), ModuleTable::LoadOutcome::Loaded);
    for (Slot slot : host::SlotOrder) {
        EXPECT_TRUE(table.loaded(slot));
    }
    EXPECT_NE(table.createChain, nullptr);
    EXPECT_NE(table.filterRequest, nullptr);
    EXPECT_NE(table.filterResponse, nullptr);
    EXPECT_NE(table.freeFilteredDataBuf, nullptr);
    EXPECT_NE(table.lookup(Slot::Chain, "SetVendor"), nullptr);
    EXPECT_EQ(table.lookup(Slot::IEExt, "SetMainWindow"), nullptr);
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ModuleTableTest, PathNameWrittenInUpperCaseIsFound)
{
    settings::Key k = settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey);
    ASSERT_EQ(k.writeString("PATHNAME", testModule("TableChain")), ERROR_SUCCESS);
    ModuleTable table;
    EXPECT_EQ(table.load(), ModuleTable::LoadOutcome::Loaded);
    EXPECT_TRUE(table.loaded(Slot::Chain));
}

TEST_F(ModuleTableTest, ChainThatDoesNotLoadEndsTheProcess)
{
    registerModule(settings::ChainKey, "C:\\nowhere\\Chain.dll");
    expectFatal("Failed to load Chain.dll");
}

TEST_F(ModuleTableTest, ChainKeyWithoutPathNameEndsTheProcess)
{
    ASSERT_TRUE(settings::Key::create(HKEY_LOCAL_MACHINE, settings::ChainKey));
    expectFatal("Failed to load Chain.dll");
}

TEST_F(ModuleTableTest, ChainWithoutCreateChainEndsTheProcess)
{
    registerModule(settings::ChainKey, testModule("TableChainNoCreate"));
    expectFatal("Failed to create proxy chain");
}

TEST_F(ModuleTableTest, FiltersThatDoNotLoadEndTheProcess)
{
    registerModule(settings::FiltersKey, "C:\\nowhere\\Filters.dll");
    expectFatal("Failed to load Filters.dll");
}

TEST_F(ModuleTableTest, FiltersWithoutFilterRequestEndTheProcess)
{
    registerModule(settings::FiltersKey, testModule("TableFiltersNoRequest"));
    expectFatal("Failed to create filter request");
}

TEST_F(ModuleTableTest, FiltersWithoutFilterResponseEndTheProcess)
{
    registerModule(settings::FiltersKey, testModule("TableFiltersNoResponse"));
    expectFatal("Failed to create filter response");
}

TEST_F(ModuleTableTest, FiltersWithoutFreeFilteredDataBufEndTheProcess)
{
    registerModule(settings::FiltersKey, testModule("TableFiltersNoFree"));
    expectFatal("Failed to initialize filters");
}

TEST_F(ModuleTableTest, PathNameLongerThan260BytesCountsAsUnreadable)
{
    registerModule(settings::FiltersKey, "C:\\" + std::string(300, 'x') + ".dll");
    expectFatal("Failed to load Filters.dll");
}

TEST_F(ModuleTableTest, OptionalSlotsThatDoNotLoadStayEmptySilently)
{
    registerModule(settings::LocalKey, "C:\\nowhere\\Local.dll");
    ASSERT_TRUE(settings::Key::create(HKEY_LOCAL_MACHINE, settings::IEExtKey));
    ModuleTable table;
    EXPECT_EQ(table.load(), ModuleTable::LoadOutcome::Loaded);
    EXPECT_FALSE(table.loaded(Slot::Local));
    EXPECT_FALSE(table.loaded(Slot::IEExt));
    EXPECT_TRUE(m_boxes->calls().empty());
}

TEST_F(ModuleTableTest, ExitCallsOnProgramExitInSlotOrderAndUnloads)
{
    registerModule(settings::FiltersKey, testModule("TableFilters"));
    registerModule(settings::LocalKey, testModule("TableLocal"));
    registerModule(settings::ChainKey, testModule("TableChain"));
    registerModule(settings::IEExtKey, testModule("TableIEExt"));
    ModuleTable table;
    ASSERT_EQ(table.load(), ModuleTable::LoadOutcome::Loaded);
    table.exitAndUnload();
    EXPECT_EQ(testsupport::readFile(m_prefix.path() / "fake-modules.log"),
              "Chain OnProgramExit\nLocal OnProgramExit\nFilters OnProgramExit\n");
    for (Slot slot : host::SlotOrder) {
        EXPECT_FALSE(table.loaded(slot));
    }
    EXPECT_EQ(table.createChain, nullptr);
    EXPECT_EQ(table.filterRequest, nullptr);
}

using ModuleTableDeathTest = ModuleTableTest;

TEST_F(ModuleTableDeathTest, LoadOrExitEndsWithExitCodeZero)
{
    registerModule(settings::ChainKey, testModule("TableChainNoCreate"));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::setMessageBoxPresenter(std::make_shared<platform::HeadlessPresenter>());
            ModuleTable table;
            table.loadOrExit();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "MessageBox \\[Umbravia\\] Failed to create proxy chain");
}

} // namespace
