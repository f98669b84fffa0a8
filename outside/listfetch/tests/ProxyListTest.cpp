// The list format and the shared cursor.

#include "ProxyList.h"

#include "ProxyListStore.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

using listfetch::ProxyEntry;
using listfetch::ProxyList;
using listfetch::ProxyListStore;

TEST(ProxyListFormat, EntriesCommentsBlankAndBadLines)
{
    ProxyList list = ProxyList::parse("# public proxies\r\n"
                                      "10.0.0.1:8080\r\n"
                                      "\r\n"
                                      "   proxy.example.org:3128   \n"
                                      "\t# indented comment\n"
                                      "no-port-here\n"
                                      "host:0\n"
                                      "host:65536\n"
                                      "host:80x\n"
                                      ":8080\n"
                                      "bad host:8080\n"
                                      "host:-1\n"
                                      "last_one:65535");
    ASSERT_EQ(list.entries().size(), 3u);
    EXPECT_EQ(list.entries()[0], (ProxyEntry{"10.0.0.1", 8080}));
    EXPECT_EQ(list.entries()[1], (ProxyEntry{"proxy.example.org", 3128}));
    EXPECT_EQ(list.entries()[2], (ProxyEntry{"last_one", 65535}));
    EXPECT_EQ(list.skipped(), 7u);
    EXPECT_EQ(list.format(), "10.0.0.1:8080\nproxy.example.org:3128\nlast_one:65535\n");
}

TEST(ProxyListFormat, HostsThatCannotFitTheCallersBufferAreSkipped)
{
    std::string longHost(ProxyList::MaxHostLength + 1, 'a');
    ProxyList list = ProxyList::parse(longHost + ":80\n" + std::string(253, 'b') + ":80\n");
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.skipped(), 1u);
}

TEST(ProxyListFormat, EmptyAndBinaryTextGiveNoEntries)
{
    EXPECT_TRUE(ProxyList::parse("").entries().empty());
    std::string binary("\x00\x01\xff:80\n<html>:80\n", 16);
    EXPECT_TRUE(ProxyList::parse(binary).entries().empty());
}

TEST(ProxyListFormat, ListIsBounded)
{
    std::string text;
    for (std::size_t i = 0; i < ProxyList::MaxEntries + 10; ++i) {
        text += "h" + std::to_string(i) + ":80\n";
    }
    ProxyList list = ProxyList::parse(text);
    EXPECT_EQ(list.entries().size(), ProxyList::MaxEntries);
    EXPECT_EQ(list.skipped(), 10u);
}

TEST(ProxyListCursor, CyclesAndRestartsWithANewList)
{
    ProxyListStore store;
    ProxyEntry entry;
    EXPECT_EQ(store.count(), 0);
    EXPECT_FALSE(store.next(entry));
    store.replace({{"a", 1}, {"b", 2}});
    std::string seen;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(store.next(entry));
        seen += entry.host;
    }
    EXPECT_EQ(seen, "ababa");
    store.replace({{"c", 3}});
    ASSERT_TRUE(store.next(entry));
    EXPECT_EQ(entry, (ProxyEntry{"c", 3}));
    EXPECT_FALSE(store.replaceIfNeverSet({{"d", 4}}));
    EXPECT_EQ(store.count(), 1);
}

TEST(ProxyListCursor, ConcurrentCallersShareOneCursor)
{
    ProxyListStore store;
    store.replace({{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}});
    constexpr int Threads = 8;
    constexpr int Calls = 1000; // a multiple of the list size
    std::vector<std::map<std::string, int>> counts(Threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&, t] {
            ProxyEntry entry;
            for (int i = 0; i < Calls; ++i) {
                store.next(entry);
                ++counts[t][entry.host];
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::map<std::string, int> total;
    for (const auto& perThread : counts) {
        for (const auto& [host, n] : perThread) {
            total[host] += n;
        }
    }
    // One shared cursor: every entry is handed out equally often.
    ASSERT_EQ(total.size(), 4u);
    for (const auto& [host, n] : total) {
        EXPECT_EQ(n, Threads * Calls / 4) << host;
    }
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
