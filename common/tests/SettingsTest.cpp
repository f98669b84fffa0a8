// The settings helpers: the list convention and the typed reads.

#include "TestSupport.h"

#include <common/Settings.h>

#include <gtest/gtest.h>

namespace {

constexpr const char* ListKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Test.dll\\LIST";

using SettingsTest = testsupport::PrefixTest;

TEST_F(SettingsTest, SavedListReadsBackInOrderWithItsSwitch)
{
    settings::StringList list{1, {"first", "second", "third"}};
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, ListKey, list), ERROR_SUCCESS);
    auto read = settings::readList(HKEY_LOCAL_MACHINE, ListKey);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->enabled, 1u);
    EXPECT_EQ(read->entries, list.entries);
}

TEST_F(SettingsTest, EverySaveReplacesTheWholeSubkeyRenumberedFromZero)
{
    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, ListKey, {1, {"a", "b", "c", "d"}}),
              ERROR_SUCCESS);
    settings::Key key = settings::Key::open(HKEY_LOCAL_MACHINE, ListKey, KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    ASSERT_EQ(key.writeString("stray", "left by hand"), ERROR_SUCCESS);
    key.reset();

    ASSERT_EQ(settings::saveList(HKEY_LOCAL_MACHINE, ListKey, {0, {"b", "d"}}), ERROR_SUCCESS);
    key = settings::Key::open(HKEY_LOCAL_MACHINE, ListKey);
    EXPECT_EQ(key.readString("0"), "b");
    EXPECT_EQ(key.readString("1"), "d");
    EXPECT_EQ(key.readString("2"), std::nullopt);
    EXPECT_EQ(key.readString("stray"), std::nullopt);
    EXPECT_EQ(key.readDword(nullptr), 0u);
}

TEST_F(SettingsTest, ReadingSkipsEmptyStringsAndNonStringValues)
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, ListKey);
    ASSERT_EQ(key.writeDword(nullptr, 1), ERROR_SUCCESS);
    ASSERT_EQ(key.writeDword("7", 42), ERROR_SUCCESS);
    ASSERT_EQ(key.writeString("0", ""), ERROR_SUCCESS);
    ASSERT_EQ(key.writeString("x", "kept"), ERROR_SUCCESS);
    auto read = settings::readList(HKEY_LOCAL_MACHINE, ListKey);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->entries, std::vector<std::string>{"kept"});
}

TEST_F(SettingsTest, MissingListKeyReadsAsNothing)
{
    EXPECT_FALSE(settings::readList(HKEY_LOCAL_MACHINE, ListKey));
}

TEST_F(SettingsTest, StringsAreWrittenWithOrWithoutTheTerminatingZero)
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    ASSERT_EQ(key.writeString("PathName", "C:\\x.dll"), ERROR_SUCCESS);
    ASSERT_EQ(key.writeStringNoZero(nullptr, "C:\\x.exe"), ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueEx(key.get(), "pathname", nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    ASSERT_EQ(RegQueryValueEx(key.get(), nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(key.readString(""), "C:\\x.exe");
    EXPECT_EQ(key.readString("PATHNAME", 8), std::nullopt); // too long for an 8-byte buffer
}

} // namespace
