// The registry-stamped caches: a value is read once while nothing is written, read again
// after any write, and never kept when its reads failed; a thread's own copy follows the
// same stamp.

#include "TestSupport.h"

#include <common/Settings.h>
#include <common/StampedCache.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr const char* Key = "Software\\Kestrani\\Hollowmere\\DLLs\\Test.dll";

using StampedCacheTest = testsupport::PrefixTest;

void write(DWORD value)
{
    ASSERT_EQ(settings::Key::create(HKEY_LOCAL_MACHINE, Key).writeDword("VALUE", value),
              ERROR_SUCCESS);
}

TEST_F(StampedCacheTest, ReadsAgainOnlyAfterAWriteAndNeverKeepsAFailure)
{
    settings::StampedCache<int> cache;
    int reads = 0;
    std::optional<int> answer = 7;
    auto read = [&] {
        ++reads;
        return answer;
    };
    EXPECT_EQ(cache.get(read), 7);
    EXPECT_EQ(cache.get(read), 7);
    EXPECT_EQ(reads, 1);
    answer = 8;
    write(1);
    EXPECT_EQ(cache.get(read), 8);
    EXPECT_EQ(reads, 2);
    answer = std::nullopt; // the reads fail
    write(2);
    EXPECT_EQ(cache.get(read), std::nullopt);
    EXPECT_EQ(cache.get(read), std::nullopt);
    EXPECT_EQ(reads, 4);
    answer = 9;
    EXPECT_EQ(cache.get(read), 9);
    EXPECT_EQ(cache.get(read), 9);
    EXPECT_EQ(reads, 5);
}

TEST_F(StampedCacheTest, AThreadsCopyIsFetchedAgainOnlyAfterAWrite)
{
    settings::ThreadCopy<int> copy;
    int fetches = 0;
    std::optional<int> answer = 1;
    auto fetch = [&] {
        ++fetches;
        return answer;
    };
    ASSERT_NE(copy.get(fetch), nullptr);
    EXPECT_EQ(*copy.get(fetch), 1);
    EXPECT_EQ(fetches, 1);
    answer = 2;
    EXPECT_EQ(*copy.get(fetch), 1); // nothing written: the copy stays
    write(1);
    EXPECT_EQ(*copy.get(fetch), 2);
    EXPECT_EQ(fetches, 2);
    answer = std::nullopt;
    write(2);
    EXPECT_EQ(copy.get(fetch), nullptr);
    EXPECT_EQ(copy.get(fetch), nullptr); // a failure is fetched again at every call
    EXPECT_EQ(fetches, 4);
}

// Each thread keeps its own copy: one that has not asked since a write still fetches.
TEST_F(StampedCacheTest, EachThreadFetchesItsOwnCopyAfterAWrite)
{
    settings::StampedCache<int> cache;
    int value = 1;
    auto asked = [&] {
        thread_local settings::ThreadCopy<int> copy;
        return *copy.get([&] { return cache.get([&] { return std::optional(value); }); });
    };
    EXPECT_EQ(asked(), 1);
    int other = 0;
    std::thread([&] { other = asked(); }).join();
    EXPECT_EQ(other, 1);
    value = 2;
    write(1);
    std::thread([&] { other = asked(); }).join();
    EXPECT_EQ(other, 2);
    EXPECT_EQ(asked(), 2);
}

} // namespace
